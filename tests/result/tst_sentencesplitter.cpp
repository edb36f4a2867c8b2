#include "result/SentenceSplitter.h"

#include <QTest>

class TestSentenceSplitter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void split_data() {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sentences");
        auto en = [](const char* name, const QString& text, const QStringList& sentences) {
            QTest::newRow(name) << false << text << sentences;
        };
        auto zh = [](const char* name, const QString& text, const QStringList& sentences) {
            QTest::newRow(name) << true << text << sentences;
        };
        en("abbreviations",
           "Mr. Smith went home. It was 5 p.m. Then he left. The U.S. Army came. See No. 5 here.",
           {"Mr. Smith went home.", "It was 5 p.m. Then he left.", "The U.S. Army came.", "See No. 5 here."});
        en("abbreviations are case-sensitive", "I saw mr. Smith.", {"I saw mr.", "Smith."});
        en("initials", "Ask J. Smith now. Ask E\u0301. Smith.", {"Ask J. Smith now.", "Ask E\u0301. Smith."});
        en("numbers", "Pi is 3.14 today. Chapter one ends. 2 remain.",
           {"Pi is 3.14 today.", "Chapter one ends.", "2 remain."});
        en("terminators", "He left. then he came back. Wait... What? Stop! Mr! Yes",
           {"He left. then he came back.", "Wait...", "What?", "Stop!", "Mr!", "Yes"});
        en("no space after terminator", "Hi!Bob is here", {"Hi!Bob is here"});
        en("quotes", "He said \"Stop.\" \"Why?\" she asked.", {"He said \"Stop.\"", "\"Why?\" she asked."});
        en("curly quotes", "“Go.” “Now,” she said.", {"“Go.”", "“Now,” she said."});
        en("opening bracket before capital", "It ended. (See below.) Fine.",
           {"It ended.", "(See below.)", "Fine."});
        en("opening marks up to the end", "Done. ((", {"Done. (("});
        en("blanks around, unterminated end", "  One.\tTwo.   Three ", {"One.", "Two.", "Three"});
        en("empty", QString(), {});
        en("only blanks", " \t\n\n \n", {});
        en("lines form a run, blank line ends it", "This is a\n  line that wraps. Next\n\nsecond paragraph",
           {"This is a line that wraps.", "Next", "second paragraph"});
        en("CRLF line ends", "One line\r\nwraps. Next.\r\n\r\nnew paragraph",
           {"One line wraps.", "Next.", "new paragraph"});
        en("book attributions dropped",
           "He smiled. 摘录来自《Dune》 p. 3\nIt was late.\n摘录来自《Dune》 Frank Herbert\n",
           {"He smiled.", "It was late."});
        en("attribution needs a title", "摘录来自《》 x", {"摘录来自《》 x"});
        en("unclosed attribution kept", "摘录来自《Dune", {"摘录来自《Dune"});
        en("combining mark and emoji after a period", "Hello.\u0301 World. \U0001F600 Next",
           {"Hello.\u0301 World. \U0001F600 Next"});
        en("astral capital decides", "Done. \U0001D400lpha", {"Done.", "\U0001D400lpha"});
        en("space with astral modifier is kept", "\u0020\U0001F3FBx. Y", {"\u0020\U0001F3FBx.", "Y"});
        // U+0600 prefixes the character that follows, here the space: both ends keep it.
        en("space after a prefix mark is kept", "Ab\u0600 ", {"Ab\u0600 "});
        zh("space after a prefix mark is kept", "你好\u0600 ", {"你好\u0600 "});
        zh("every terminator ends", "你好。真的？！我很好", {"你好。", "真的？", "！", "我很好"});
        zh("ellipsis stays together", "等等……然后好。……嗯", {"等等……", "然后好。……", "嗯"});
        zh("closing marks kept", "他说：“走吧。”然后「好。」他说",
           {"他说：“走吧。”", "然后「好。」", "他说"});
        zh("lines split on their own, trimmed", " 第一行 \n第二行。 第三句\t",
           {"第一行", "第二行。", "第三句"});
        zh("ASCII period is no terminator", "版本 2.0 发布了。", {"版本 2.0 发布了。"});
        zh("only blank lines", "\n \n\t\n", {});
        zh("CRLF", "你好。\r\n再见", {"你好。", "再见"});
    }
    void split() {
        QFETCH(bool, chinese);
        QFETCH(QString, text);
        QFETCH(QStringList, sentences);
        QCOMPARE(chinese ? SentenceSplitter::splitChinese(text) : SentenceSplitter::splitEnglish(text),
                 sentences);
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
        // A piece counted inside the whole text can hold other clusters than the same piece
        // counted alone; both ways of pairing must weigh it the same.
        row("pieces weighed as they stand alone", QStringLiteral("b. Hh\uFFFD\uFFFD"),
            QStringLiteral("\uFFFD\n\u0F1F\uFF01\uFFFD\uFFFD\u0301\uFFFD"),
            {{"b.", QStringLiteral("\uFFFD")},
             {QStringLiteral("Hh\uFFFD\uFFFD"), QStringLiteral("\u0F1F\uFF01\n\uFFFD\uFFFD\u0301\uFFFD")}});
        row("no English length left", "Aa. B.", "一。二。三。四。五。六。七。",
            {{"Aa.", "一。\n二。\n三。\n四。"}, {"B.", "五。\n六。\n七。"}});
    }
    void pair() {
        QFETCH(QString, original);
        QFETCH(QString, translation);
        QFETCH(QList<SplitPair>, pairs);
        QCOMPARE(SentenceSplitter::pair(original, translation), pairs);
        QCOMPARE(SentenceSplitter::pairSentences(SentenceSplitter::splitEnglish(original),
                                                 SentenceSplitter::splitChinese(translation)),
                 pairs);
    }
};

QTEST_GUILESS_MAIN(TestSentenceSplitter)
#include "tst_sentencesplitter.moc"
