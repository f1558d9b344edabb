#include <ZorCompCore/localisation/WidthsTooltip.h>

#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Registry.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/platform/Variant.h>
#include "ui_WidthsTooltip.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>

namespace zor {

namespace {

// Column widths at 96 dpi, used until the user has resized them.
constexpr int kColumnWidths[3] = {110, 160, 100};
constexpr int kMinColumnWidth = 16, kMaxColumnWidth = 2000;
constexpr const char16_t kSettingsKey[] = u"\\Software\\Verbacomp\\TsiLang\\EditorForm";

QString columnValueName(int AColumn)
{
    return QStringLiteral("WidthsTooltipColumn%1").arg(AColumn);
}

class TfrmWidthsTooltip;
// Reset by the module's start-up action, which may run before this file's
// dynamic initialisers: it must stay constant-initialised.
constinit TfrmWidthsTooltip *g_tooltip = nullptr;

class TfrmWidthsTooltip : public QWidget
{
public:
    TfrmWidthsTooltip()
        : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        ui.setupUi(this);
        ui.grdWidths->verticalHeader()->setMinimumSectionSize(1);
        ui.grdWidths->horizontalHeader()->setHighlightSections(false);
        lang = new TsiLangLinked(this);
        lang->setObjectName(QStringLiteral("siLangLinked_frmWidthsTooltip"));
        // The header and the cells are filled from free texts, see fillTexts.
        lang->SetHandlesType(stDisplayLabels, false);
        siLoadFormTexts(lang, QStringLiteral("WidthsTooltip"));
        lang->OnChangeLanguage = [this](TsiCustomLang &) { fillTexts(); };
        siInitEditorForm(this, lang);
    }

    ~TfrmWidthsTooltip() override
    {
        if (g_tooltip == this)
            g_tooltip = nullptr;
    }

    void measure(int AIndex)
    {
        const QString &text = texts.at(AIndex);
        QSize size(0, 0);
        if (!text.isEmpty()) {
            // The bounding rectangle of the text as drawn: lines stack, tabs expand.
            size = QFontMetrics(font())
                       .boundingRect(QRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, text)
                       .size();
        }
        widths[AIndex] = size.width();
        heights[AIndex] = size.height();
    }

    // Header, width and height cells in the active language.
    void fillTexts()
    {
        QTableWidget *grid = ui.grdWidths;
        grid->setHorizontalHeaderLabels({lang->GetText(QStringLiteral("IDS_2")), lang->GetText(QStringLiteral("IDS_3")),
                                         lang->GetText(QStringLiteral("IDS_4"))});
        int w0 = 0, h0 = 0;
        for (int i = 0; i < widths.size(); ++i) {
            if (widths[i] > 0 && (w0 == 0 || widths[i] < w0))
                w0 = widths[i];
            if (heights[i] > 0 && (h0 == 0 || heights[i] < h0))
                h0 = heights[i];
        }
        const QString empty = lang->GetText(QStringLiteral("IDS_0"));
        for (int i = 0; i < widths.size(); ++i) {
            QString width, height;
            const int w = widths[i], h = heights[i];
            const int length = int(texts[i].size());
            if (w0 == 0 || w == 0)
                width = empty;
            else if (w == w0)
                width = Format(lang->GetText(QStringLiteral("IDS_7")), {w, length});
            else
                width = Format(QStringLiteral("%d (x %.2f) - %d "), {w, double(w) / w0, length}) +
                        lang->GetText(QStringLiteral("IDS_8"));
            // Without any visible text there is nothing to compare heights with.
            if (w0 > 0)
                height = Format(QStringLiteral("%d (x %.2f)"), {h, h0 > 0 ? double(h) / h0 : 0.0});
            setCell(i, 1, width);
            setCell(i, 2, height);
        }
    }

    void setCell(int ARow, int ACol, const QString &AText)
    {
        QTableWidgetItem *item = ui.grdWidths->item(ARow, ACol);
        if (!item) {
            item = new QTableWidgetItem;
            ui.grdWidths->setItem(ARow, ACol, item);
        }
        item->setText(AText);
    }

    void restoreSettings()
    {
        const double scale = logicalDpiX() / 96.0;
        int columns[3];
        std::copy(std::begin(kColumnWidths), std::end(kColumnWidths), columns);
        try {
            TRegistry reg(KEY_READ);
            if (reg.OpenKeyReadOnly(QString::fromUtf16(kSettingsKey))) {
                for (int c = 0; c < 3; ++c) {
                    if (reg.GetDataType(columnValueName(c)) == rdInteger)
                        columns[c] = qBound(kMinColumnWidth, reg.ReadInteger(columnValueName(c)), kMaxColumnWidth);
                }
            }
        } catch (const Exception &) {
            // Stored widths are a convenience; the defaults serve.
        }
        for (int c = 0; c < 3; ++c)
            ui.grdWidths->setColumnWidth(c, qRound(columns[c] * scale));
    }

    void saveSettings()
    {
        const double scale = logicalDpiX() / 96.0;
        try {
            TRegistry reg;
            if (!reg.OpenKey(QString::fromUtf16(kSettingsKey), true))
                return;
            for (int c = 0; c < 3; ++c)
                reg.WriteInteger(columnValueName(c), qRound(ui.grdWidths->columnWidth(c) / scale));
        } catch (const Exception &) {
            // A read-only store keeps the previous widths.
        }
    }

    // The window as large as the table, beside ARect on its screen.
    void place(const QRect &ARect)
    {
        QTableWidget *grid = ui.grdWidths;
        const int frame = 2 * grid->frameWidth();
        int width = frame, height = frame + grid->horizontalHeader()->sizeHint().height();
        for (int c = 0; c < grid->columnCount(); ++c)
            width += grid->columnWidth(c);
        for (int r = 0; r < grid->rowCount(); ++r)
            height += grid->rowHeight(r);
        resize(width, height);

        QScreen *screen = QGuiApplication::screenAt(ARect.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const QRect avail = screen ? screen->availableGeometry() : QRect(ARect.topLeft(), QSize(width, height));
        const QSize outer = frameGeometry().size().expandedTo(QSize(width, height));
        int x = ARect.right() + 1, y = ARect.bottom() + 1;
        if (x + outer.width() > avail.right() + 1)
            x = ARect.left() - outer.width();
        if (y + outer.height() > avail.bottom() + 1)
            y = ARect.top() - outer.height();
        // Where neither side has room, the table may cover ARect but stays on screen.
        move(qMax(x, avail.left()), qMax(y, avail.top()));
    }

    Ui::WidthsTooltip ui;
    TsiLangLinked *lang = nullptr;
    QStringList texts;
    QList<int> widths, heights;
};

} // namespace

void ShowWidthTooltip(const QStringList &ALangNames, const QStringList &ATexts, const QRect &ARect, int ALang,
                      TsiLangDispatcher *ADispatcher)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    const bool created = !g_tooltip;
    if (created)
        g_tooltip = new TfrmWidthsTooltip;
    TfrmWidthsTooltip &w = *g_tooltip;

    // Measure in the size the translator sees the texts in.
    QFont font = QApplication::font();
    if (QWidget *active = QApplication::activeWindow(); active && active != &w) {
        const QFont activeFont = active->font();
        if (activeFont.pointSizeF() > 0)
            font.setPointSizeF(activeFont.pointSizeF());
        else if (activeFont.pixelSize() > 0)
            font.setPixelSize(activeFont.pixelSize());
    }
    w.setFont(font);

    // A call without dispatcher also ends the link of an earlier call.
    w.lang->SetLangDispatcher(ADispatcher);
    if (!ADispatcher)
        w.lang->SetActiveLanguage(ALang);

    const int count = int(ALangNames.size());
    w.texts.clear();
    for (int i = 0; i < count; ++i)
        w.texts.append(i < ATexts.size() ? ATexts.at(i) : QString());
    w.widths.fill(0, count);
    w.heights.fill(0, count);

    QTableWidget *grid = w.ui.grdWidths;
    grid->clearContents();
    grid->setRowCount(count);
    grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
    for (int i = 0; i < count; ++i) {
        w.setCell(i, 0, ALangNames.at(i));
        w.measure(i);
    }
    w.fillTexts();

    if (created)
        w.restoreSettings();
    w.place(ARect);
    if (w.isHidden())
        w.show();
    w.raise();
}

void HideWidthTooltip()
{
    if (!g_tooltip)
        return;
    g_tooltip->saveSettings();
    delete g_tooltip;
}

void UpdateLanguageWidthTooltip(int AIndex, const QString &AText)
{
    if (!g_tooltip || AIndex < 0 || AIndex >= g_tooltip->texts.size())
        return;
    g_tooltip->texts[AIndex] = AText;
    g_tooltip->measure(AIndex);
    g_tooltip->fillTexts();
}

QWidget *WidthTooltipWindow()
{
    return g_tooltip;
}

QString WidthTooltipCell(int ARow, int ACol)
{
    if (!g_tooltip)
        return {};
    QTableWidget *grid = g_tooltip->ui.grdWidths;
    if (ACol < 0 || ACol >= grid->columnCount() || ARow < 0 || ARow > grid->rowCount())
        return {};
    const QTableWidgetItem *item = ARow == 0 ? grid->horizontalHeaderItem(ACol) : grid->item(ARow - 1, ACol);
    return item ? item->text() : QString();
}

namespace detail {

void WidthsTooltipStartup()
{
    g_tooltip = nullptr;
}

} // namespace detail

} // namespace zor
