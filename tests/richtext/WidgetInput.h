// Key and mouse events for the rich-text control tests, sent the way the
// window system delivers them (keys to the control, mouse to its viewport).
#pragma once

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QString>

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

namespace richtext_test {

inline void Key(QWidget *w, int key, Qt::KeyboardModifiers mods = {}, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &release);
}

// The platform's first binding of a standard key.
inline void Press(QWidget *w, QKeySequence::StandardKey k, int times = 1)
{
    const QKeyCombination c = QKeySequence(k)[0];
    for (int i = 0; i < times; ++i)
        Key(w, c.key(), c.keyboardModifiers());
}

inline void Type(QWidget *w, const QString &s)
{
    for (QChar c : s)
        Key(w, c.toUpper().unicode(), {}, QString(c));
}

inline void Click(QAbstractScrollArea *w, const QPoint &at, Qt::KeyboardModifiers mods = {})
{
    QWidget *vp = w->viewport();
    const QPointF global = vp->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, mods);
    QApplication::sendEvent(vp, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton, mods);
    QApplication::sendEvent(vp, &release);
}

inline void Drag(QAbstractScrollArea *w, const QPoint &from, const QPoint &to)
{
    QWidget *vp = w->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), vp->mapToGlobal(QPointF(from)), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(vp, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), vp->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), vp->mapToGlobal(QPointF(to)), Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(vp, &release);
}

// A shown control of a fixed size, scroll bars fixed so the viewport is too.
template <class Control>
struct ShownControl
{
    Control w;
    explicit ShownControl(QSize size = {640, 480})
    {
        w.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        w.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        w.resize(size);
        w.show();
        QApplication::processEvents();
    }
};

// The viewport as drawn, one image pixel per logical pixel whatever the
// screen's scale, so positions from the control's rectangles apply.
inline QImage Shot(QAbstractScrollArea &w)
{
    QImage img(w.viewport()->size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    w.viewport()->render(&img);
    return img;
}

// The \cellx edges (twips) of the first table row in the control's saved RTF.
inline QList<int> CellEdges(zor::TWPRichText &w)
{
    const QString rtf = QString::fromLatin1(w.Edit().SaveToBytes(QStringLiteral("RTF")));
    QList<int> edges;
    const QRegularExpression cellx(QStringLiteral("\\\\cellx(\\d+)"));
    for (auto it = cellx.globalMatch(rtf); it.hasNext() && edges.size() < 3;)
        edges << it.next().captured(1).toInt();
    return edges;
}

} // namespace richtext_test
