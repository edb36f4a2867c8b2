#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// A text seen as user-perceived characters (extended grapheme clusters), indexed by cluster.
// Keeps a view on the text: the text must outlive it.
class GraphemeText {
public:
    explicit GraphemeText(QStringView text);

    qsizetype size() const { return qsizetype(m_bounds.size()) - 1; }
    QStringView at(qsizetype i) const { return slice(i, i + 1); }
    // Clusters [from, to) as one contiguous piece of the text.
    QStringView slice(qsizetype from, qsizetype to) const {
        return m_text.mid(m_bounds[size_t(from)], m_bounds[size_t(to)] - m_bounds[size_t(from)]);
    }
    // True when cluster i is exactly the one character ch (not ch with marks attached).
    bool is(qsizetype i, char16_t ch) const {
        return m_bounds[size_t(i) + 1] - m_bounds[size_t(i)] == 1 && m_text[m_bounds[size_t(i)]] == ch;
    }
    // The cluster's only code unit, or 0 when it has more than one.
    char16_t single(qsizetype i) const {
        return m_bounds[size_t(i) + 1] - m_bounds[size_t(i)] == 1 ? m_text[m_bounds[size_t(i)]].unicode() : 0;
    }

    bool isLetter(qsizetype i) const;
    bool isUpper(qsizetype i) const;
    bool isNumber(qsizetype i) const;

    // Number of clusters in text.
    static qsizetype length(QStringView text);

private:
    char32_t firstCodePoint(qsizetype i) const;

    QStringView m_text;
    std::vector<qsizetype> m_bounds; // cluster starts, then the text's end
};
