// Colours HTML source in the editor's source view: tags, attribute names
// and values, comments, the doctype and character references. Line by line,
// carrying across lines whether a line ends inside a tag, a quoted value or
// a comment, as HTML's own tokenizer states do.
#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace zor {

class TZORHtmlSourceHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    explicit TZORHtmlSourceHighlighter(QTextDocument *ADocument);

    // What a line can end inside of (the block state).
    enum State { Text = 0, InTag, InDoubleQuoted, InSingleQuoted, InComment, InScript, InStyle };

protected:
    void highlightBlock(const QString &AText) override;

private:
    QTextCharFormat m_tag, m_attribute, m_value, m_comment, m_doctype, m_entity;
};

} // namespace zor
