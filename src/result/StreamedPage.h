#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The HTML of an answer body still arriving, as a list of top-level blocks. A block is cut
// only where rendering the parts apart gives the same HTML as rendering them together, so
// once the answer is complete the blocks joined are exactly HTMLRenderer::markdownBodyToHTML
// of it. A block is rendered once, when the text after it shows it cannot change; only the
// unfinished last one is rendered again, and of it only the part that cannot still turn into
// something else (a table whose separator has not arrived, a half row, an open "**" or code
// span, a heading line without its end).
class StreamedBody {
public:
    // `markdown` is the whole text so far; `complete` when nothing more will follow.
    void update(const QString& markdown, bool complete);
    QStringList blocks() const;
    void clear();

private:
    QString renderTail(const QString& tail);

    QString m_committed; // the text the finished blocks came from
    QStringList m_done;
    QString m_tailSource;
    bool m_tailComplete = false;
    QString m_tail;
    // The table growing at the end of the unfinished block: what precedes it, and its rows.
    QString m_tableLeadSource;
    QString m_tableLead;
    QString m_tableHead;
    QString m_tableHeadHTML;
    QStringList m_tableRows;
};

// The page body of an answer still arriving, in the normal (整段) or split (拆分) view.
// In the split view every English sentence of the original is there from the first update
// and each Chinese one is added beneath it as it completes; when the finished answer cannot
// be paired, the page turns to the normal view.
class StreamedPage {
public:
    StreamedPage(const QString& originalText, bool split);

    // Whether the split view can show `originalText` while its answer arrives.
    static bool canStartSplit(const QString& originalText);

    void update(const QString& markdownSoFar);
    // After this, blocks() joined are the body of renderPage or renderSplit of `markdown`.
    void finish(const QString& markdown);

    bool isSplit() const { return m_split; }
    bool isFinished() const { return m_finished; }
    QStringList blocks() const;

    // A page like HTMLRenderer's whose answer part holds `blocks`, one element each, with
    // `notice` (when not empty) as a line above it.
    static QString page(const QStringList& blocks, const QString& notice, bool split,
                        const QString& originalText, bool isDark, int fontSize, const QString& providerLabel);
    // A line of plain text in the style of a warning, as a block.
    static QString warningLine(const QString& text);
    // The script that turns the answer part of page(`shown`) into that of page(`blocks`),
    // replacing the blocks from the first that differs; empty when none does.
    static QString updateScript(const QStringList& shown, const QStringList& blocks);
    static QString fontSizeScript(int fontSize);

private:
    void render(const QString& markdown, bool complete);

    QString m_original;
    QStringList m_english;
    bool m_split;
    bool m_finished = false;
    StreamedBody m_body;  // the normal view, or the split view's sections after the translation
    StreamedBody m_pre;   // the split view's text before the first heading
    QString m_listSource; // the translation section the list was made from
    QString m_list;
    QString m_warning;
};
