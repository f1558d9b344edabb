#include "WPFormDialog.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QDoubleSpinBox>
#include <QLocale>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>
#include <memory>
#include <vector>

namespace zor {

TWPFormDialog::TWPFormDialog(QObject *owner)
    : TWPCustomDialog(owner)
{
}

TWPFormDialog::~TWPFormDialog() = default;

QWidget *TWPFormDialog::ParentWindow() const
{
    TWPRichText *editor = EditBox();
    return editor ? editor->window() : nullptr;
}

bool TWPFormDialog::MayChange() const
{
    TWPRichText *editor = EditBox();
    if (!editor)
        return false;
    if (editor->ReadOnly()) {
        Q_EMIT editor->EditRefused();
        return false;
    }
    return true;
}

bool TWPFormDialog::MayEdit(const QTextCursor &cursor) const
{
    if (!MayChange())
        return false;
    TWPRichText *editor = EditBox();
    if (!editor->Document().CanEdit(cursor)) {
        Q_EMIT editor->EditRefused();
        return false;
    }
    return true;
}

bool TWPFormDialog::Run(QDialog &form)
{
    return RunForResult(form) == QDialog::Accepted;
}

int TWPFormDialog::RunForResult(QDialog &form)
{
    bool answered = false;
    const auto watch = QObject::connect(&form, &QDialog::finished, &form, [&answered] { answered = true; });
    if (const auto &environment = TWPToolsEnviroment::Global().OnDialog)
        environment(this, &form);
    if (OnShow)
        OnShow(form);
    QObject::disconnect(watch);
    return answered ? form.result() : form.exec();
}

void TWPFormDialog::Show(QDialog &form)
{
    if (const auto &environment = TWPToolsEnviroment::Global().OnDialog)
        environment(this, &form);
    if (OnShow)
        OnShow(form);
    form.show();
    form.raise();
    form.activateWindow();
}

QTextCursor WPBlockSpan(const QTextCursor &cursor)
{
    QTextDocument *doc = cursor.document();
    QTextCursor span(doc);
    if (!doc)
        return span;
    const QTextBlock first = doc->findBlock(cursor.selectionStart());
    QTextBlock last = doc->findBlock(cursor.selectionEnd());
    // A selection that ends where a paragraph starts does not take it in.
    if (cursor.hasSelection() && last != first && last.position() == cursor.selectionEnd())
        last = last.previous();
    span.setPosition(first.position());
    span.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    return span;
}

void WPChangeCharFormats(QTextCursor &cursor, const std::function<void(QTextCharFormat &)> &change)
{
    if (!cursor.hasSelection()) {
        QTextCharFormat f = cursor.charFormat();
        change(f);
        cursor.setCharFormat(f);
        return;
    }
    struct Run
    {
        int From;
        int To;
        QTextCharFormat Format;
    };
    std::vector<Run> runs;
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QTextDocument *doc = cursor.document();
    // Gathered first: setting formats splits and merges the fragments.
    for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() < end; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fr = it.fragment();
            const int from = std::max(start, fr.position());
            const int to = std::min(end, fr.position() + fr.length());
            if (from >= to)
                continue;
            QTextCharFormat f = fr.charFormat();
            change(f);
            runs.push_back({from, to, f});
        }
    }
    QTextCursor c(doc);
    c.beginEditBlock();
    for (const Run &r : runs) {
        c.setPosition(r.From);
        c.setPosition(r.To, QTextCursor::KeepAnchor);
        c.setCharFormat(r.Format);
    }
    c.endEditBlock();
}

void WPChangeBlockFormats(const QTextCursor &cursor, const std::function<void(QTextBlockFormat &)> &change)
{
    const QTextCursor span = WPBlockSpan(cursor);
    QTextDocument *doc = span.document();
    if (!doc)
        return;
    const QTextBlock last = doc->findBlock(span.selectionEnd());
    QTextCursor c(doc);
    c.beginEditBlock();
    for (QTextBlock b = doc->findBlock(span.selectionStart()); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        change(f);
        c.setPosition(b.position());
        c.setBlockFormat(f);
        if (b == last)
            break;
    }
    c.endEditBlock();
}

namespace {

constexpr const char *kBasicColors[][2] = {
    {"Black", "#000000"},  {"Maroon", "#800000"}, {"Green", "#008000"}, {"Olive", "#808000"},
    {"Navy", "#000080"},   {"Purple", "#800080"}, {"Teal", "#008080"},  {"Gray", "#808080"},
    {"Silver", "#c0c0c0"}, {"Red", "#ff0000"},    {"Lime", "#00ff00"},  {"Yellow", "#ffff00"},
    {"Blue", "#0000ff"},   {"Fuchsia", "#ff00ff"}, {"Aqua", "#00ffff"}, {"White", "#ffffff"}};

constexpr int kOtherColorRole = Qt::UserRole + 1;

QIcon swatch(const QColor &color)
{
    QPixmap p(16, 12);
    p.fill(color);
    return QIcon(p);
}

} // namespace

void WPFillColorBox(QComboBox *box, const QString &noneText)
{
    box->clear();
    box->addItem(noneText);
    for (const auto &c : kBasicColors) {
        const QColor color = QColor::fromString(QLatin1String(c[1]));
        box->addItem(swatch(color), TWPFormDialog::tr(c[0]), color);
    }
    box->addItem(TWPFormDialog::tr("Other..."));
    box->setItemData(box->count() - 1, true, kOtherColorRole);
    auto last = std::make_shared<int>(0);
    QObject::connect(box, &QComboBox::activated, box, [box, last](int index) {
        if (!box->itemData(index, kOtherColorRole).toBool()) {
            *last = index;
            return;
        }
        const QColor picked = QColorDialog::getColor(Qt::black, box->window());
        if (picked.isValid())
            WPSelectColor(box, picked);
        else
            box->setCurrentIndex(*last);
    });
}

void WPSelectColor(QComboBox *box, const QColor &color)
{
    if (!color.isValid()) {
        box->setCurrentIndex(0);
        return;
    }
    for (int i = 1; i < box->count(); ++i) {
        const QVariant v = box->itemData(i);
        if (v.typeId() == QMetaType::QColor && v.value<QColor>().rgb() == color.rgb()) {
            box->setCurrentIndex(i);
            return;
        }
    }
    const int at = std::max(1, box->count() - 1);
    box->insertItem(at, swatch(color), color.name(), QColor(color.rgb()));
    box->setCurrentIndex(at);
}

QColor WPBoxColor(const QComboBox *box)
{
    const QVariant v = box->currentData();
    return v.typeId() == QMetaType::QColor ? v.value<QColor>() : QColor();
}

TWPLengthUnit WPLengthUnit(bool fine)
{
    if (QLocale().measurementSystem() == QLocale::ImperialUSSystem
        || QLocale().measurementSystem() == QLocale::ImperialUKSystem)
        return {QStringLiteral(" in"), 1440.0, 2, fine ? 0.1 : 0.25};
    if (fine)
        return {QStringLiteral(" cm"), 1440.0 / 2.54, 2, 0.1};
    return {QStringLiteral(" mm"), 144.0 / 2.54, 1, 1.0};
}

void WPSetUnit(QDoubleSpinBox *box, const TWPLengthUnit &unit, int minTwips, int maxTwips)
{
    box->setDecimals(unit.Decimals);
    box->setSingleStep(unit.Step);
    box->setSuffix(unit.Suffix);
    box->setRange(minTwips / unit.TwipsPerUnit, maxTwips / unit.TwipsPerUnit);
}

int WPSpinTwips(const QDoubleSpinBox *box, const TWPLengthUnit &unit)
{
    return int(std::lround(box->value() * unit.TwipsPerUnit));
}

void WPSetSpinTwips(QDoubleSpinBox *box, const TWPLengthUnit &unit, int twips)
{
    box->setValue(twips / unit.TwipsPerUnit);
}

} // namespace zor

namespace zor {

QTextCursor TWPFormDialog::EditorCursor() const
{
    return EditBox() ? EditBox()->TextCursor() : QTextCursor();
}

QTextBlockFormat TWPFormDialog::FirstBlockFormat(const QTextCursor &c)
{
    return c.document()->findBlock(c.selectionStart()).blockFormat();
}

void TWPFormDialog::RefreshEditor(TWPRichText *editor)
{
    // The caret's formats changed under it: the editor tells its listeners.
    editor->SetTextCursor(editor->TextCursor());
}

} // namespace zor
