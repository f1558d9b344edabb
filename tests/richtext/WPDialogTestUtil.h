// Driving the editor's dialogs in tests: an editor with a document, the
// form's widgets by name, and answers given from OnShow (so Execute runs
// without an event loop of its own).
#pragma once

#include "TestUtil.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <functional>

namespace wpdialog_test {

using namespace zor;

// An editor holding rtf (a fragment is wrapped into a document).
inline void Load(TWPRichText &editor, const QString &rtf)
{
    const QString text = rtf.startsWith(u"{\\rtf") ? rtf : u"{\\rtf1\\ansi "_qs + rtf + u'}';
    ASSERT_TRUE(editor.Edit().LoadFromString(text, u"RTF"_qs)) << editor.Edit().LastError().toStdString();
}

// Picks the entry of a combo box by its text (the test fails without it).
inline void Choose(QComboBox *box, const char *text)
{
    const int i = box->findText(QLatin1String(text));
    ASSERT_GE(i, 0) << text;
    box->setCurrentIndex(i);
}

inline QTextDocument *Text(TWPRichText &editor) { return editor.Document().Text(); }

// The text without the empty paragraph an RTF's closing \par leaves.
inline QString Plain(const TWPRichText &editor)
{
    QString s = editor.PlainText();
    if (s.endsWith(u'\n'))
        s.chop(1);
    return s;
}

// Selects [from, to) of the text (to < 0: a caret at from).
inline void Select(TWPRichText &editor, int from, int to = -1)
{
    QTextCursor c(Text(editor));
    c.setPosition(from);
    if (to >= 0)
        c.setPosition(to, QTextCursor::KeepAnchor);
    editor.SetTextCursor(c);
}

// Selects the first occurrence of what.
inline void SelectText(TWPRichText &editor, const QString &what)
{
    const int at = Text(editor)->toPlainText().indexOf(what);
    ASSERT_GE(at, 0) << what.toStdString();
    Select(editor, at, at + int(what.size()));
}

// The character format of the character at position.
inline QTextCharFormat CharAt(TWPRichText &editor, int position)
{
    QTextCursor c(Text(editor));
    c.setPosition(position + 1);
    return c.charFormat();
}

inline QTextBlockFormat BlockAt(TWPRichText &editor, int position)
{
    return Text(editor)->findBlock(position).blockFormat();
}

inline QByteArray Rtf(TWPRichText &editor) { return editor.Edit().SaveToBytes(u"RTF"_qs); }

template <class T>
T *Child(QDialog &form, const char *name)
{
    T *w = form.findChild<T *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

inline void ClickOk(QDialog &form)
{
    Child<QDialogButtonBox>(form, "buttonBox")->button(QDialogButtonBox::Ok)->click();
}

inline void ClickCancel(QDialog &form)
{
    Child<QDialogButtonBox>(form, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
}

// Runs the dialog with its form filled by fill and then confirmed (or
// cancelled) unless fill closed it; shown tells whether the form came up.
inline bool Answer(TWPFormDialog &dlg, const std::function<void(QDialog &)> &fill, bool ok = true,
                   bool *shown = nullptr)
{
    if (shown)
        *shown = false;
    dlg.OnShow = [&](QDialog &form) {
        if (shown)
            *shown = true;
        bool finished = false;
        const auto watch = QObject::connect(&form, &QDialog::finished, &form, [&finished] { finished = true; });
        fill(form);
        QObject::disconnect(watch);
        if (finished)
            return; // fill answered the form itself
        if (ok)
            ClickOk(form);
        else
            ClickCancel(form);
    };
    return dlg.Execute();
}

} // namespace wpdialog_test
