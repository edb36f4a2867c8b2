#include "result/SentenceSplitter.h"

#include <QTest>

char* toString(const SplitPair& pair) {
    return QTest::toString(QStringLiteral("(\"%1\", \"%2\")").arg(pair.original, pair.translation));
}

class TestSentenceSplitter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitEnglish_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sentences");
        auto row = [](const char* name, const QString& text, const QStringList& sentences) {
            QTest::newRow(name) << text << sentences;
        };
        row("abbreviation then capital", "Mr. Smith went home. He slept.",
            {"Mr. Smith went home.", "He slept."});
        row("abbreviations are case-sensitive", "I saw mr. Smith.", {"I saw mr.", "Smith."});
        row("p.m. before a capital", "It was 5 p.m. Then he left.", {"It was 5 p.m. Then he left."});
        row("et al", "see Smith et al. The results", {"see Smith et al. The results"});
        row("U.S.", "The U.S. Army came.", {"The U.S. Army came."});
        row("initial", "Ask J. Smith now.", {"Ask J. Smith now."});
        row("e.g.", "Use e.g. this one.", {"Use e.g. this one."});
        row("No. before a number", "See No. 5 here.", {"See No. 5 here."});
        row("decimal number", "Pi is 3.14 today. Yes.", {"Pi is 3.14 today.", "Yes."});
        row("file name", "Open notes.txt now", {"Open notes.txt now"});
        row("lower case after period", "He left. then he came back.", {"He left. then he came back."});
        row("digit after period", "Chapter one ends. 2 remain.", {"Chapter one ends.", "2 remain."});
        row("ellipsis before capital", "Wait... What happened?", {"Wait...", "What happened?"});
        row("ellipsis before lower case", "Wait... and then", {"Wait... and then"});
        row("! and ? end sentences", "Stop! Who? Me.", {"Stop!", "Who?", "Me."});
        row("! ignores abbreviations", "Mr! Yes", {"Mr!", "Yes"});
        row("no space after terminator", "Hi!Bob is here", {"Hi!Bob is here"});
        row("closing quote kept", "He said \"Stop.\" Then he left.", {"He said \"Stop.\"", "Then he left."});
        row("curly quotes", "“Go.” “Now,” she said.", {"“Go.”", "“Now,” she said."});
        row("opening bracket before capital", "It ended. (See below.) Fine.",
            {"It ended.", "(See below.)", "Fine."});
        row("quote then lower case", "He left. \"Why?\" she asked.", {"He left.", "\"Why?\" she asked."});
        row("opening marks up to the end", "Done. ((", {"Done. (("});
        row("trailing text", "One. Two", {"One.", "Two"});
        row("terminator and spaces at the end", "  One.   Two.  ", {"One.", "Two."});
        row("tab is break whitespace", "One.\tTwo.", {"One.", "Two."});
        row("empty", QString(), {});
        row("only blanks", " \t\n\n \n", {});
        row("lines form one run", "This is a\n  line that wraps. Next",
            {"This is a line that wraps.", "Next"});
        row("blank line ends a sentence", "no terminator\n\nsecond paragraph",
            {"no terminator", "second paragraph"});
        row("three line feeds", "one\n\n\ntwo", {"one", "two"});
        row("CRLF line ends", "One line\r\nwraps. Next.\r\n\r\nnew paragraph",
            {"One line wraps.", "Next.", "new paragraph"});
        row("book attribution dropped", "He smiled. It was late.\n摘录来自《Dune》 Frank Herbert\n",
            {"He smiled.", "It was late."});
        row("attribution inside a line", "Read it. 摘录来自《Dune》 p. 3\nThe end.",
            {"Read it.", "The end."});
        row("attribution needs a title", "摘录来自《》 x", {"摘录来自《》 x"});
        row("unclosed attribution kept", "摘录来自《Dune", {"摘录来自《Dune"});
        row("initial with combining accent", "Ask E\u0301. Smith.", {"Ask E\u0301. Smith."});
        row("period with combining mark", "Hello.\u0301 World", {"Hello.\u0301 World"});
        row("astral capital decides", "Done. \U0001D400lpha", {"Done.", "\U0001D400lpha"});
        row("emoji does not decide", "Done. \U0001F600 Next", {"Done. \U0001F600 Next"});
        row("space with combining mark is kept", "\u0020\u0301x. Y", {"\u0020\u0301x.", "Y"});
        row("space with astral modifier is kept", "\u0020\U0001F3FBx. Y", {"\u0020\U0001F3FBx.", "Y"});
    }
    void splitEnglish() {
        QFETCH(QString, text);
        QFETCH(QStringList, sentences);
        QCOMPARE(SentenceSplitter::splitEnglish(text), sentences);
    }

    void splitChinese_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sentences");
        auto row = [](const char* name, const QString& text, const QStringList& sentences) {
            QTest::newRow(name) << text << sentences;
        };
        row("two terminators", "你好。我很好！", {"你好。", "我很好！"});
        row("ellipsis stays together", "等等……然后", {"等等……", "然后"});
        row("every terminator ends", "真的？！", {"真的？", "！"});
        row("closing quote kept", "他说：“走吧。”然后走了。", {"他说：“走吧。”", "然后走了。"});
        row("corner bracket kept", "「好。」他说", {"「好。」", "他说"});
        row("terminator then ellipsis", "好。……嗯", {"好。……", "嗯"});
        row("lines split on their own", "第一行\n第二行。第三句", {"第一行", "第二行。", "第三句"});
        row("trimmed", "  你好。  再见。 \t", {"你好。", "再见。"});
        row("ASCII period is no terminator", "版本 2.0 发布了。", {"版本 2.0 发布了。"});
        row("empty", QString(), {});
        row("only blank lines", "\n \n\t\n", {});
        row("CRLF", "你好。\r\n再见", {"你好。", "再见"});
    }
    void splitChinese() {
        QFETCH(QString, text);
        QFETCH(QStringList, sentences);
        QCOMPARE(SentenceSplitter::splitChinese(text), sentences);
    }

    void pair_data() {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QList<SplitPair>>("pairs");
        auto row = [](const char* name, const QString& original, const QString& translation,
                      const QList<SplitPair>& pairs) {
            QTest::newRow(name) << original << translation << pairs;
        };
        row("both empty", QString(), "\n", {});
        row("no original", QString(), "你好。再见。", {{QString(), "你好。"}, {QString(), "再见。"}});
        row("no translation", "One. Two.", QString(), {{"One.", QString()}, {"Two.", QString()}});
        row("one to one", "One. Two.", "一。二。", {{"One.", "一。"}, {"Two.", "二。"}});
        // 5, 11, 3 against 3, 8: the first Chinese sentence is closest to one English sentence.
        row("last takes the rest", "Aaaa. Bbbbbbbbbb. Cc.", "一二。三四五六七八九。",
            {{"Aaaa.", "一二。"}, {"Bbbbbbbbbb. Cc.", "三四五六七八九。"}});
        // 5, 5, 5, 20 against 10, 20: two English sentences fit the first, a third overshoots.
        row("group grows while closer", "Aaaa. Bbbb. Cccc. Ddddddddddddddddddd.",
            "一二三四五六七八九。一二三四五六七八九十一二三四五六七八九。",
            {{"Aaaa. Bbbb.", "一二三四五六七八九。"},
             {"Cccc. Ddddddddddddddddddd.", "一二三四五六七八九十一二三四五六七八九。"}});
        // 3, 3, 3, 3, 30 against 12, 30: the group could still grow when it reaches its limit.
        row("group capped by the sentences left", "Ab. Cd. Ef. Gh. Iiiiiiiiiiiiiiiiiiiiiiiiiiiii.",
            "一二三四五六七八九十一。一二三四五六七八九十一二三四五六七八九十一二三四五六七八。",
            {{"Ab. Cd. Ef. Gh.", "一二三四五六七八九十一。"},
             {"Iiiiiiiiiiiiiiiiiiiiiiiiiiiii.",
              "一二三四五六七八九十一二三四五六七八九十一二三四五六七八。"}});
        // 3, 3, 2 against 9, 7: ratio 2, target 4.5, both one and two sentences are 1.5 away.
        row("tie keeps the shorter group", "Ab. Cd. Ef", "一二三四五六七八。一二三四五六。",
            {{"Ab.", "一二三四五六七八。"}, {"Cd. Ef", "一二三四五六。"}});
        // 3, 3, 2 against 6, 10 characters; counted in code units the flags would pull Cd. up.
        row("lengths in characters", "Ab. Cd. Ef", "🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳。一二三四五六七八九。",
            {{"Ab.", "🇨🇳🇨🇳🇨🇳🇨🇳🇨🇳。"}, {"Cd. Ef", "一二三四五六七八九。"}});
        row("one English, three Chinese", "One sentence only.", "一。二。三。",
            {{"One sentence only.", "一。\n二。\n三。"}});
        // 10, 10 against 5, 5, 5, 5.
        row("Chinese group", "Abcdefghi. Jklmnopqr.", "一二三四。一二三四。一二三四。一二三四。",
            {{"Abcdefghi.", "一二三四。\n一二三四。"}, {"Jklmnopqr.", "一二三四。\n一二三四。"}});
    }
    void pair() {
        QFETCH(QString, original);
        QFETCH(QString, translation);
        QFETCH(QList<SplitPair>, pairs);
        QCOMPARE(SentenceSplitter::pair(original, translation), pairs);
        const QStringList english = SentenceSplitter::splitEnglish(original);
        const QStringList chinese = SentenceSplitter::splitChinese(translation);
        QCOMPARE(SentenceSplitter::pairSentences(english, chinese), pairs);
    }

    void pairKeepsEverySentenceInOrder_data() {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("translation");
        QTest::newRow("more English") << "A bb. Ccc dd. E f g. Hh. Iii jjj kk. L."
                                      << "一二三。四五。";
        QTest::newRow("more Chinese") << "Short. A much longer sentence here."
                                      << "短。很长。非常长的一句话。再一句。";
        QTest::newRow("no English length left") << "Aa. B."
                                                << "一。二。三。四。五。六。七。";
    }
    void pairKeepsEverySentenceInOrder() {
        QFETCH(QString, original);
        QFETCH(QString, translation);
        const QStringList english = SentenceSplitter::splitEnglish(original);
        const QStringList chinese = SentenceSplitter::splitChinese(translation);
        const QList<SplitPair> pairs = SentenceSplitter::pair(original, translation);
        QCOMPARE(pairs.size(), std::min(english.size(), chinese.size()));
        QStringList originals, translations;
        for (const SplitPair& p : pairs) {
            QVERIFY(!p.original.isEmpty() && !p.translation.isEmpty());
            originals << p.original;
            translations << p.translation;
        }
        QCOMPARE(originals.join(u' '), english.join(u' '));
        QCOMPARE(translations.join(u'\n'), chinese.join(u'\n'));
    }
};

QTEST_GUILESS_MAIN(TestSentenceSplitter)
#include "tst_sentencesplitter.moc"
