// Rulers for the word-processor control: TWPRuler above it shows the text
// width of the caret's page (margins grey), the indents and tab stops of the
// caret's paragraph and, in a table, the borders of its columns; TWPVertRuler
// at its left shows the top and bottom margins of the caret's page.
//
// Everything shown can be dragged: margins change the caret's section
// (the text is laid out again), indents and tab stops the selected
// paragraphs and column borders the table, each as one undo step. A click
// on the lower half adds a tab stop of the kind the selector at the left end
// shows (a click there cycles left, centre, right, decimal); a tab stop
// dragged off the ruler is removed. Units follow the locale (centimetres or
// inches) unless set.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QPointer>
#include <QTextOption>
#include <QWidget>

#include <memory>

namespace zor {

class TWPRichText;

enum class TWPRulerUnit { Centimetre, Inch };

class ZOR_EXPORT TWPRuler : public QWidget
{
    Q_OBJECT

public:
    explicit TWPRuler(QWidget *parent = nullptr);
    ~TWPRuler() override;

    TWPRichText *RichText() const;
    void SetRichText(TWPRichText *editor);

    TWPRulerUnit Unit() const;
    void SetUnit(TWPRulerUnit unit);

    // The kind of tab stop a click adds.
    QTextOption::TabType TabKind() const;
    void SetTabKind(QTextOption::TabType kind);

    // Where the markers are, in the ruler's x (for tests and tooltips);
    // -1 when not shown.
    enum TMarker { mkMarginLeft, mkMarginRight, mkFirstIndent, mkLeftIndent, mkRightIndent };
    int MarkerX(TMarker marker) const;
    QList<int> TabStopXs() const;
    QList<int> ColumnBorderXs() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

class ZOR_EXPORT TWPVertRuler : public QWidget
{
    Q_OBJECT

public:
    explicit TWPVertRuler(QWidget *parent = nullptr);
    ~TWPVertRuler() override;

    TWPRichText *RichText() const;
    void SetRichText(TWPRichText *editor);
    TWPRulerUnit Unit() const;
    void SetUnit(TWPRulerUnit unit);

    // The y of the top and bottom margins of the caret's page, in the
    // ruler's coordinates; -1 outside the page layout.
    int MarginTopY() const;
    int MarginBottomY() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
