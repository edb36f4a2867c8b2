// Times pairing of a long answer and splitting of small and very large texts, including inputs
// built to expose steps that grow faster than the text.
#include "result/SentenceSplitter.h"

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class Random {
public:
    uint32_t next(uint32_t bound) {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return uint32_t(m_state >> 33) % bound;
    }

private:
    uint64_t m_state = 42;
};

QString englishSentence(Random& random) {
    static const QStringList words =
        QStringLiteral(
            "the of and to in is was for that with as on by at from his her it an are were which this be "
            "Mr. Dr. e.g. U.S. 3.14 p.m. results study reading window sentence language learner evening")
            .split(u' ');
    QString sentence = QStringLiteral("The");
    const uint32_t count = 4 + random.next(24);
    for (uint32_t i = 0; i < count; ++i)
        sentence += u' ' + words[random.next(uint32_t(words.size()))];
    static const QString ends = QStringLiteral(".!?");
    return sentence + ends[random.next(3)];
}

QString chineseSentence(Random& random) {
    static const QString characters =
        QStringLiteral("我们他她的是在有这个了不人和中大为上们来到说时地也子就道要出会可你对生能而过");
    static const QStringList ends = {QStringLiteral("。"), QStringLiteral("！"), QStringLiteral("？"),
                                     QStringLiteral("……"), QStringLiteral("。”")};
    QString sentence;
    const uint32_t count = 6 + random.next(40);
    for (uint32_t i = 0; i < count; ++i)
        sentence += characters[random.next(uint32_t(characters.size()))];
    return sentence + ends[random.next(uint32_t(ends.size()))];
}

QString englishText(Random& random, qsizetype size) {
    QString text;
    while (text.size() < size)
        text +=
            englishSentence(random) + (random.next(8) == 0 ? QStringLiteral("\n\n") : QStringLiteral(" "));
    return text;
}

QString chineseText(Random& random, qsizetype size) {
    QString text;
    while (text.size() < size)
        text += chineseSentence(random) + (random.next(6) == 0 ? QStringLiteral("\n") : QString());
    return text;
}

QString repeated(const QString& piece, qsizetype size) {
    QString text;
    while (text.size() < size)
        text += piece;
    return text;
}

void report(const char* name, int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::fprintf(stderr, "%-44s runs %4d  median %9.3f ms  p90 %9.3f ms  max %9.3f ms\n", name, runs,
                 ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
}

} // namespace

int main() {
    Random random;
    QStringList english, chinese;
    for (int i = 0; i < 300; ++i)
        english << englishSentence(random);
    for (int i = 0; i < 280; ++i)
        chinese << chineseSentence(random);
    const QString original = english.join(u' ');
    const QString translation = chinese.join(QString());
    std::fprintf(stderr, "pair input: %lld English sentences (%lld chars), %lld Chinese (%lld chars)\n",
                 qlonglong(SentenceSplitter::splitEnglish(original).size()), qlonglong(original.size()),
                 qlonglong(SentenceSplitter::splitChinese(translation).size()),
                 qlonglong(translation.size()));
    report("pair 300 English / 280 Chinese", 300, [&] { SentenceSplitter::pair(original, translation); });
    const QString mirrorOriginal = english.mid(0, 280).join(u' ');
    const QString mirrorTranslation = translation + chinese.mid(0, 20).join(QString());
    report("pair 280 English / 300 Chinese (mirror)", 300,
           [&] { SentenceSplitter::pair(mirrorOriginal, mirrorTranslation); });

    const qsizetype small = 3 * 1024, large = 1024 * 1024;
    const QString english3k = englishText(random, small), english1m = englishText(random, large);
    const QString chinese3k = chineseText(random, small), chinese1m = chineseText(random, large);
    report("splitEnglish 3 KB", 500, [&] { SentenceSplitter::splitEnglish(english3k); });
    report("splitChinese 3 KB", 500, [&] { SentenceSplitter::splitChinese(chinese3k); });
    report("splitEnglish 1 MB", 7, [&] { SentenceSplitter::splitEnglish(english1m); });
    report("splitChinese 1 MB", 7, [&] { SentenceSplitter::splitChinese(chinese1m); });

    // Worst cases for look-behind, look-ahead and the attribution scan.
    const struct {
        const char* name;
        QString text;
    } hostile[] = {
        {"1 MB of \"a. \" (no boundaries)", repeated(QStringLiteral("a. "), large)},
        {"1 MB of \"A. \" (initials)", repeated(QStringLiteral("A. "), large)},
        {"1 MB of periods", repeated(QStringLiteral("."), large)},
        {"1 MB letters, then \". x\"", repeated(QStringLiteral("a"), large) + QStringLiteral(". x")},
        {"1 MB of \".) (\"", repeated(QStringLiteral(".) ("), large)},
        {"1 MB of unclosed attributions", repeated(QStringLiteral("摘录来自《"), large)},
        {"1 MB of attributions", repeated(QStringLiteral("摘录来自《书》 \n"), large)},
        {"1 MB on one line with CR", repeated(QStringLiteral("It ends.\r"), large)},
    };
    for (const auto& h : hostile)
        report(h.name, 3, [&] { SentenceSplitter::splitEnglish(h.text); });
    report("splitChinese 1 MB of \"。…\"", 3,
           [&] { SentenceSplitter::splitChinese(repeated(QStringLiteral("。…"), large)); });
    report("pair 1 MB English of 1-letter sentences", 3, [&] {
        SentenceSplitter::pair(repeated(QStringLiteral("Ab. "), large), QStringLiteral("一。二。"));
    });
    report("pair 1 MB Chinese of 1-char sentences", 3, [&] {
        SentenceSplitter::pair(QStringLiteral("One. Two."), repeated(QStringLiteral("。"), large));
    });
    return 0;
}
