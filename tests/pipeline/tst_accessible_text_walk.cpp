#include "pipeline/AccessibleTextWalk.h"

#include <QTest>

using namespace AccessibleTextWalk;
using OptionalText = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalText)
Q_DECLARE_METATYPE(TextOffsetUnit)

namespace {

// One element of a scripted tree; its parent is the next element of the chain.
struct ElementScript {
    OptionalText selected;
    OptionalText text;
    std::optional<TextSelectionRange> range;
    bool ownParent = false; // a broken tree whose parent is the element itself
};
using Chain = QList<ElementScript>;

struct FakeTree;

class FakeElement : public AccessibleNode {
public:
    FakeElement(FakeTree& tree, int index) : m_tree(tree), m_index(index) {}
    OptionalText selectedText() override;
    OptionalText text() override;
    std::optional<TextSelectionRange> selectionRange() override;
    QString role() override { return QStringLiteral("role%1").arg(m_index); }
    std::unique_ptr<AccessibleNode> parent() override;
    bool isSameElement(const AccessibleNode& other) const override {
        return static_cast<const FakeElement&>(other).m_index == m_index;
    }

private:
    bool call();
    FakeTree& m_tree;
    int m_index;
};

struct FakeTree : AccessibleSession {
    Chain chain;
    int calls = 0;          // including those made after an interruption
    int timeoutAtCall = -1; // the call that "times out", counted from 1
    bool focusedInApp = true;
    bool focusedOnDesktop = true;
    std::optional<QString> reason;

    std::unique_ptr<AccessibleNode> focusedElement(qint64) override {
        return focusedInApp && !chain.isEmpty() ? std::make_unique<FakeElement>(*this, 0) : nullptr;
    }
    // The desktop's focus is the chain's last element, so that the answer tells which was asked.
    std::unique_ptr<AccessibleNode> systemFocusedElement() override {
        return focusedOnDesktop && !chain.isEmpty()
                   ? std::make_unique<FakeElement>(*this, int(chain.size()) - 1)
                   : nullptr;
    }
    std::optional<QString> interruption() const override { return reason; }
};

bool FakeElement::call() {
    ++m_tree.calls;
    if (m_tree.reason)
        return false;
    if (m_tree.calls == m_tree.timeoutAtCall) {
        m_tree.reason = QStringLiteral("GetText 超时（250 ms）");
        return false;
    }
    return true;
}
OptionalText FakeElement::selectedText() {
    return call() ? m_tree.chain[m_index].selected : std::nullopt;
}
OptionalText FakeElement::text() {
    return call() ? m_tree.chain[m_index].text : std::nullopt;
}
std::optional<TextSelectionRange> FakeElement::selectionRange() {
    return call() ? m_tree.chain[m_index].range : std::nullopt;
}
std::unique_ptr<AccessibleNode> FakeElement::parent() {
    if (!call())
        return nullptr;
    if (m_tree.chain[m_index].ownParent)
        return std::make_unique<FakeElement>(m_tree, m_index);
    return m_index + 1 < m_tree.chain.size() ? std::make_unique<FakeElement>(m_tree, m_index + 1) : nullptr;
}

ElementScript selected(const QString& text) {
    return {text, {}, {}, false};
}
ElementScript valueAndRange(const QString& text, qint64 start, qint64 end, qint64 count = -1) {
    return {QString(), text, TextSelectionRange{start, end, count}, false};
}
ElementScript empty() {
    return {};
}

} // namespace

class TestAccessibleTextWalk : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void substring_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("location");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<TextOffsetUnit>("unit");
        QTest::addColumn<OptionalText>("expected");
        const auto chars = TextOffsetUnit::Characters;
        const auto utf16 = TextOffsetUnit::Utf16;
        const QString astral = QStringLiteral("😀a😀bcdef");
        QTest::newRow("length 0") << "hello" << 1LL << 0LL << chars << OptionalText();
        QTest::newRow("negative location") << "hello" << -1LL << 2LL << chars << OptionalText();
        QTest::newRow("huge length") << "hello" << 1LL << std::numeric_limits<qint64>::max() << chars
                                     << OptionalText();
        // AT-SPI counts characters: an emoji is one offset.
        QTest::newRow("characters end at the end") << astral << 3LL << 5LL << chars << OptionalText("bcdef");
        QTest::newRow("characters past the end") << astral << 3LL << 6LL << chars << OptionalText();
        // Qt's bridge counts UTF-16 units.
        QTest::newRow("utf16 end at the end") << astral << 5LL << 5LL << utf16 << OptionalText("bcdef");
        QTest::newRow("utf16 past the end") << astral << 5LL << 6LL << utf16 << OptionalText();
    }
    void substring() {
        QFETCH(QString, text);
        QFETCH(qint64, location);
        QFETCH(qint64, length);
        QFETCH(TextOffsetUnit, unit);
        QFETCH(OptionalText, expected);
        QCOMPARE(substringInRange(text, location, length, unit), expected);
    }

    void walk_data() {
        QTest::addColumn<Chain>("chain");
        QTest::addColumn<int>("timeoutAtCall");
        QTest::addColumn<OptionalText>("expected");
        const QString astral = QStringLiteral("😀a😀bcdef");

        QTest::newRow("selected text") << Chain{selected("Hi there")} << -1 << OptionalText("Hi there");
        QTest::newRow("value and range")
            << Chain{valueAndRange("hello world", 6, 11)} << -1 << OptionalText("world");
        QTest::newRow("range past the end, parent answers")
            << Chain{valueAndRange("hello", 2, 9), selected("parent text")} << -1
            << OptionalText("parent text");
        QTest::newRow("empty range, parent answers")
            << Chain{valueAndRange("hello", 2, 2), empty(), selected("up two")} << -1
            << OptionalText("up two");
        // AT-SPI counts characters; Qt's bridge counts UTF-16 units, told by a count that matches them.
        QTest::newRow("astral text counted in characters")
            << Chain{valueAndRange(astral, 3, 6, 8)} << -1 << OptionalText("bcd");
        QTest::newRow("astral text, count unknown")
            << Chain{valueAndRange(astral, 3, 6)} << -1 << OptionalText("bcd");
        QTest::newRow("astral text, count of another text")
            << Chain{valueAndRange(astral, 3, 6, 42)} << -1 << OptionalText("bcd");
        QTest::newRow("astral text counted in UTF-16 (Qt)")
            << Chain{valueAndRange(astral, 3, 6, 10)} << -1 << OptionalText("😀b");
        QTest::newRow("range past an astral text (Qt)")
            << Chain{valueAndRange(astral, 5, 11, 10)} << -1 << OptionalText();
        QTest::newRow("element is its own parent")
            << Chain{ElementScript{{}, {}, {}, true}, selected("never reached")} << -1 << OptionalText();
        QTest::newRow("no parent") << Chain{empty()} << -1 << OptionalText();

        Chain tenDeep(9, empty());
        tenDeep.append(selected("at depth 9"));
        QTest::newRow("ninth ancestor") << tenDeep << -1 << OptionalText("at depth 9");
        Chain elevenDeep(10, empty());
        elevenDeep.append(selected("at depth 10"));
        QTest::newRow("tenth ancestor is too far") << elevenDeep << -1 << OptionalText();

        // selectedText, text, parent at depth 0, then the parent's selectedText: no call after it.
        QTest::newRow("timeout stops the walk")
            << Chain{empty(), selected("unreached")} << 4 << OptionalText();
    }
    void walk() {
        QFETCH(Chain, chain);
        QFETCH(int, timeoutAtCall);
        QFETCH(OptionalText, expected);
        FakeTree tree;
        tree.chain = chain;
        tree.timeoutAtCall = timeoutAtCall;
        QCOMPARE(getSelectedTextViaAccessibility(tree, 42, [](const QString&) {}), expected);
        if (timeoutAtCall > 0)
            QCOMPARE(tree.calls, timeoutAtCall);
    }

    // Which element the walk starts from: the source program's focus, else the desktop's.
    void focusedElement_data() {
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<bool>("inApp");
        QTest::addColumn<bool>("onDesktop");
        QTest::addColumn<OptionalText>("expected");
        QTest::newRow("application's focus") << 42LL << true << true << OptionalText("app");
        QTest::newRow("desktop's focus instead") << 42LL << false << true << OptionalText("desktop");
        QTest::newRow("neither") << 42LL << false << false << OptionalText();
        QTest::newRow("no source program") << 0LL << true << true << OptionalText("desktop");
        QTest::newRow("no source program, no focus") << 0LL << true << false << OptionalText();
    }
    void focusedElement() {
        QFETCH(qint64, pid);
        QFETCH(bool, inApp);
        QFETCH(bool, onDesktop);
        QFETCH(OptionalText, expected);
        FakeTree tree;
        tree.chain = {selected("app"), selected("desktop")};
        tree.focusedInApp = inApp;
        tree.focusedOnDesktop = onDesktop;
        QCOMPARE(getSelectedTextViaAccessibility(tree, pid, [](const QString&) {}), expected);
    }
};

QTEST_GUILESS_MAIN(TestAccessibleTextWalk)
#include "tst_accessible_text_walk.moc"
