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
    int calls = 0;
    int timeoutAtCall = -1; // the call that "times out", counted from 1
    bool focusedInApp = true;
    bool focusedOnDesktop = true;
    std::optional<QString> reason;

    std::unique_ptr<AccessibleNode> focusedElement(qint64) override {
        return focusedInApp && !chain.isEmpty() ? std::make_unique<FakeElement>(*this, 0) : nullptr;
    }
    std::unique_ptr<AccessibleNode> systemFocusedElement() override {
        return focusedOnDesktop && !chain.isEmpty() ? std::make_unique<FakeElement>(*this, 0) : nullptr;
    }
    std::optional<QString> interruption() const override { return reason; }
};

bool FakeElement::call() {
    if (m_tree.reason)
        return false;
    if (++m_tree.calls == m_tree.timeoutAtCall) {
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
        QTest::newRow("inside") << "hello world" << 6LL << 5LL << chars << OptionalText("world");
        QTest::newRow("past the end") << "hello" << 3LL << 3LL << chars << OptionalText();
        QTest::newRow("length 0") << "hello" << 1LL << 0LL << chars << OptionalText();
        QTest::newRow("negative location") << "hello" << -1LL << 2LL << chars << OptionalText();
        QTest::newRow("huge length") << "hello" << 1LL << std::numeric_limits<qint64>::max() << chars
                                     << OptionalText();
        QTest::newRow("empty text") << "" << 0LL << 1LL << chars << OptionalText();
        // AT-SPI counts characters: an emoji is one offset.
        QTest::newRow("characters after astral") << astral << 3LL << 3LL << chars << OptionalText("bcd");
        QTest::newRow("characters end at the end") << astral << 3LL << 5LL << chars << OptionalText("bcdef");
        QTest::newRow("characters past the end") << astral << 3LL << 6LL << chars << OptionalText();
        // Qt's bridge counts UTF-16 units.
        QTest::newRow("utf16 after astral") << astral << 3LL << 3LL << utf16 << OptionalText("😀b");
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

    void offsetUnit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<TextOffsetUnit>("unit");
        const QString astral = QStringLiteral("😀a😀bcdef"); // 8 characters, 10 UTF-16 units
        QTest::newRow("no astral characters") << "abc" << 3LL << TextOffsetUnit::Characters;
        QTest::newRow("count unknown") << astral << -1LL << TextOffsetUnit::Characters;
        QTest::newRow("count of another text") << astral << 42LL << TextOffsetUnit::Characters;
    }
    void offsetUnit() {
        QFETCH(QString, text);
        QFETCH(qint64, count);
        QFETCH(TextOffsetUnit, unit);
        QCOMPARE(offsetUnitFor(text, count), unit);
    }

    void walk_data() {
        QTest::addColumn<Chain>("chain");
        QTest::addColumn<int>("timeoutAtCall");
        QTest::addColumn<OptionalText>("expected");
        QTest::addColumn<QString>("logged");
        const QString nothing = QStringLiteral("Accessibility：未找到任何文本（含祖先遍历）");
        const QString astral = QStringLiteral("😀a😀bcdef");

        QTest::newRow("selected text") << Chain{selected("Hi there")} << -1 << OptionalText("Hi there")
                                       << "Accessibility：获取选中文本 8 字符（role=role0, depth=0）";
        QTest::newRow("value and range")
            << Chain{valueAndRange("hello world", 6, 11)} << -1 << OptionalText("world")
            << "Accessibility：获取选中文本 5 字符（role=role0, depth=0）";
        QTest::newRow("range past the end, parent answers")
            << Chain{valueAndRange("hello", 2, 9), selected("parent text")} << -1
            << OptionalText("parent text") << "（role=role1, depth=1）";
        QTest::newRow("empty range, parent answers")
            << Chain{valueAndRange("hello", 2, 2), empty(), selected("up two")} << -1
            << OptionalText("up two") << "depth=2）";
        QTest::newRow("astral text counted in characters")
            << Chain{valueAndRange(astral, 3, 6, 8)} << -1 << OptionalText("bcd") << "获取选中文本 3 字符";
        QTest::newRow("astral text counted in UTF-16 (Qt)")
            << Chain{valueAndRange(astral, 3, 6, 10)} << -1 << OptionalText("😀b") << "获取选中文本 2 字符";
        QTest::newRow("range past an astral text (Qt)")
            << Chain{valueAndRange(astral, 5, 11, 10)} << -1 << OptionalText() << nothing;
        QTest::newRow("element is its own parent")
            << Chain{ElementScript{{}, {}, {}, true}, selected("never reached")} << -1 << OptionalText()
            << nothing;
        QTest::newRow("no parent") << Chain{empty()} << -1 << OptionalText() << nothing;

        Chain tenDeep(9, empty());
        tenDeep.append(selected("at depth 9"));
        QTest::newRow("ninth ancestor") << tenDeep << -1 << OptionalText("at depth 9") << "depth=9）";
        Chain elevenDeep(10, empty());
        elevenDeep.append(selected("at depth 10"));
        QTest::newRow("tenth ancestor is too far") << elevenDeep << -1 << OptionalText() << nothing;

        // selectedText, text, parent at depth 0, then the parent's selectedText.
        QTest::newRow("timeout stops the walk")
            << Chain{empty(), selected("unreached")} << 4 << OptionalText()
            << "Accessibility：GetText 超时（250 ms）（depth=1），停止读取";
    }
    void walk() {
        QFETCH(Chain, chain);
        QFETCH(int, timeoutAtCall);
        QFETCH(OptionalText, expected);
        QFETCH(QString, logged);
        FakeTree tree;
        tree.chain = chain;
        tree.timeoutAtCall = timeoutAtCall;
        QStringList log;
        const OptionalText result =
            getSelectedTextViaAccessibility(tree, 42, [&](const QString& line) { log.append(line); });
        QCOMPARE(result, expected);
        QVERIFY2(log.last().contains(logged), qPrintable(log.join('\n')));
    }

    // Which element the walk starts from, and what is logged on the way.
    void focusedElement_data() {
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<bool>("inApp");
        QTest::addColumn<bool>("onDesktop");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("lines");
        const QString fallback = QStringLiteral("Accessibility：无法获取 PID=42 的聚焦元素，回退系统全局");
        QTest::newRow("application's focus") << 42LL << true << false << true << QStringList();
        QTest::newRow("desktop's focus instead") << 42LL << false << true << true << QStringList{fallback};
        QTest::newRow("neither") << 42LL << false << false << false
                                 << QStringList{fallback, "Accessibility：系统全局也无法获取聚焦元素"};
        QTest::newRow("no source program") << 0LL << true << true << true << QStringList();
        QTest::newRow("no source program, no focus")
            << 0LL << true << false << false << QStringList{"Accessibility：无法获取聚焦元素"};
    }
    void focusedElement() {
        QFETCH(qint64, pid);
        QFETCH(bool, inApp);
        QFETCH(bool, onDesktop);
        QFETCH(bool, found);
        QFETCH(QStringList, lines);
        FakeTree tree;
        tree.chain = {selected("text")};
        tree.focusedInApp = inApp;
        tree.focusedOnDesktop = onDesktop;
        QStringList log;
        const OptionalText result =
            getSelectedTextViaAccessibility(tree, pid, [&](const QString& line) { log.append(line); });
        QCOMPARE(result.has_value(), found);
        if (found)
            log.removeLast(); // the "获取选中文本" line
        QCOMPARE(log, lines);
    }
};

QTEST_GUILESS_MAIN(TestAccessibleTextWalk)
#include "tst_accessible_text_walk.moc"
