// The "Spreadsheet" page: the invoice workbook with its script beside it.
// Its cells ask the application for the order's data (DBVALUE, answered
// here) and the script for values (SCRIPT). "Apply script" compiles the
// editor's text; an error shows with its line and column and puts the cursor
// there. "Edit in a form" opens the workbook in a window of its own whose
// Save and Close reach this page through form callbacks: Save brings the
// form's cells back here.
// Headless, --sheet FILE.png shows the calculated invoice, a script error's
// position and the form's callbacks, and saves a picture of the page.
#include "GalleryPage.h"

#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/reporting/ZORFormCallBackHandler.h>
#include <ZorCompCore/reporting/widgets/ZORSpreadSheet.h>
#include <ZorCompCore/sheet/Book.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextStream>
#include <QVBoxLayout>

using namespace zor;

namespace {

QString sheetsFolder()
{
    return QDir::cleanPath(QStringLiteral(ZOR_GALLERY_IMAGES "/../sheets"));
}

// The order the invoice's DBVALUE cells ask for.
void answerData(TZORSpreadSheet &sheet)
{
    sheet.OnGetDataSetFieldValue = [](QObject *, const QString &set, const QString &field, bool, Variant &value,
                                      bool &result) {
        if (set.compare(QLatin1String("Orders"), Qt::CaseInsensitive) != 0)
            return;
        if (field.compare(QLatin1String("Number"), Qt::CaseInsensitive) == 0)
            value = Variant(QStringLiteral("2026-0042")), result = true;
        else if (field.compare(QLatin1String("Customer"), Qt::CaseInsensitive) == 0)
            value = Variant(QStringLiteral("Ada Lovelace")), result = true;
    };
}

// A form of its own for the workbook: Save and Close tell whoever handed
// out the callback.
class SheetForm : public QWidget
{
public:
    SheetForm(const IPtr<IZORFormCallback> &callback, const QString &file) : callback(callback)
    {
        setWindowTitle(QStringLiteral("Invoice"));
        setAttribute(Qt::WA_DeleteOnClose);
        auto *layout = new QVBoxLayout(this);
        sheet = new TZORSpreadSheet(this);
        answerData(*sheet);
        sheet->LoadFromFile(file);
        layout->addWidget(sheet, 1);
        auto *buttons = new QHBoxLayout;
        auto *save = new QPushButton(QStringLiteral("Save"));
        auto *close = new QPushButton(QStringLiteral("Close"));
        buttons->addStretch(1);
        buttons->addWidget(save);
        buttons->addWidget(close);
        layout->addLayout(buttons);
        connect(save, &QPushButton::clicked, this, [this] { this->callback->Do_FormCallBack(this, fcaSave); });
        connect(close, &QPushButton::clicked, this, [this] { QWidget::close(); });
        resize(760, 480);
    }

    TZORSpreadSheet *sheet = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        callback->Do_FormCallBack(this, fcaClose);
        QWidget::closeEvent(event);
    }

private:
    IPtr<IZORFormCallback> callback;
};

class SheetPage : public QWidget
{
public:
    explicit SheetPage(QWidget *parent = nullptr) : QWidget(parent), handler(new TZORFormCallBackHandler(this))
    {
        auto *layout = new QVBoxLayout(this);
        auto *top = new QHBoxLayout;
        auto *open = new QPushButton(QStringLiteral("Open…"));
        auto *save = new QPushButton(QStringLiteral("Save as…"));
        language = new QComboBox;
        language->addItems({QStringLiteral("PascalScript"), QStringLiteral("C++Script"), QStringLiteral("BasicScript"),
                            QStringLiteral("JScript")});
        auto *apply = new QPushButton(QStringLiteral("Apply script"));
        auto *form = new QPushButton(QStringLiteral("Edit in a form"));
        for (QWidget *w : std::initializer_list<QWidget *>{open, save, language, apply, form})
            top->addWidget(w);
        top->addStretch(1);
        layout->addLayout(top);

        auto *split = new QSplitter(Qt::Horizontal);
        sheet = new TZORSpreadSheet;
        answerData(*sheet);
        auto *right = new QWidget;
        auto *rightLayout = new QVBoxLayout(right);
        rightLayout->setContentsMargins(0, 0, 0, 0);
        editor = new QPlainTextEdit;
        editor->setLineWrapMode(QPlainTextEdit::NoWrap);
        status = new QLabel;
        status->setWordWrap(true);
        rightLayout->addWidget(editor, 1);
        rightLayout->addWidget(status);
        split->addWidget(sheet);
        split->addWidget(right);
        split->setSizes({620, 380});
        layout->addWidget(split, 1);

        handler->OnCallBack = [this](QObject *, TCustomForm *f, TZORFormCallbackAction action) {
            formCallback(static_cast<SheetForm *>(f), action);
        };
        connect(open, &QPushButton::clicked, this, [this] {
            const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open a workbook"), sheetsFolder(),
                                                              QStringLiteral("Workbooks (*.xlsx *.ods *.csv)"));
            if (!file.isEmpty())
                load(file);
        });
        connect(save, &QPushButton::clicked, this, [this] {
            const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save the workbook"), QString(),
                                                              QStringLiteral("Workbooks (*.xlsx *.ods *.csv)"));
            QString error;
            if (!file.isEmpty())
                status->setText(sheet->SaveToFile(file, &error) ? QStringLiteral("Saved to ") + file : error);
        });
        connect(apply, &QPushButton::clicked, this, [this] { applyScript(); });
        connect(form, &QPushButton::clicked, this, [this] { openForm()->show(); });

        QFile script(sheetsFolder() + QStringLiteral("/invoice.pas"));
        if (script.open(QIODevice::ReadOnly))
            editor->setPlainText(QString::fromUtf8(script.readAll()));
        applyScript();
        load(sheetsFolder() + QStringLiteral("/invoice.xlsx"));
    }

    void load(const QString &file)
    {
        QString error;
        if (!sheet->LoadFromFile(file, &error))
            status->setText(error);
    }

    // Compiles the editor's text; false with the error's place shown.
    bool applyScript()
    {
        TStringList lines;
        lines.SetText(editor->toPlainText());
        try {
            sheet->SetScriptLanguage(language->currentText());
            sheet->SetScriptText(lines);
        } catch (const EZORSpreadSheetScriptException &e) {
            const QPoint at = e.Position(); // x = column, y = line, both from 1
            status->setText(QStringLiteral("%1:%2: %3").arg(at.y()).arg(at.x()).arg(e.Message()));
            const QTextBlock block = editor->document()->findBlockByNumber(qMax(0, at.y() - 1));
            if (block.isValid()) {
                QTextCursor cursor(block);
                cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                                    qBound(0, at.x() - 1, qMax(0, block.length() - 1)));
                editor->setTextCursor(cursor);
            }
            return false;
        }
        sheet->Book().Recalculate(true);
        status->setText(QStringLiteral("Script compiled; the sheet is calculated."));
        return true;
    }

    // The workbook as it stands, in a form of its own.
    SheetForm *openForm()
    {
        QString error;
        const QString file = scratch.filePath(QStringLiteral("form.xlsx"));
        sheet->SaveToFile(file, &error);
        auto *form = new SheetForm(handler->CreateNewCallBackHandler(), file);
        form->sheet->SetScriptLanguage(language->currentText());
        TStringList lines;
        lines.SetText(editor->toPlainText());
        try {
            form->sheet->SetScriptText(lines);
        } catch (const EZORSpreadSheetScriptException &) {
            // the page shows the error already
        }
        return form;
    }

    void formCallback(SheetForm *form, TZORFormCallbackAction action)
    {
        if (action == fcaSave) {
            QString error;
            const QString file = scratch.filePath(QStringLiteral("from-form.xlsx"));
            if (form->sheet->SaveToFile(file, &error) && sheet->LoadFromFile(file, &error))
                log << QStringLiteral("The form saved: its cells are on this page now");
            else
                log << QStringLiteral("The form saved, but: ") + error;
        } else {
            log << QStringLiteral("The form closed");
        }
        status->setText(log.join(u'\n'));
    }

    TZORSpreadSheet *sheet = nullptr;
    QPlainTextEdit *editor = nullptr;
    QComboBox *language = nullptr;
    QLabel *status = nullptr;
    QStringList log;

private:
    TZORFormCallBackHandler *handler;
    QTemporaryDir scratch;
};

// "D12=149.23" as the cell shows it.
QString cell(TZORSpreadSheet &s, const char *name)
{
    int row = 0, col = 0;
    ParseSheetCellName(QString::fromLatin1(name), row, col);
    return QString::fromLatin1(name) + u'=' + s.ActiveSheet()->DisplayText(row, col);
}

int runHeadless(QApplication &app, const QStringList &args)
{
    Q_UNUSED(app)
    QTextStream out(stdout);
    const QString picture = gallery::argValue(args, QStringLiteral("--sheet"));
    SheetPage page;
    page.resize(1100, 640);
    page.show();
    QApplication::processEvents();
    TZORSpreadSheet &s = *page.sheet;
    out << "Invoice: " << cell(s, "B1") << ", " << cell(s, "B2") << ", " << cell(s, "D12") << '\n';
    const bool calculated = s.ActiveSheet()->Value(11, 3).IsNumber();

    // A script error names its line and column, and the editor goes there.
    const QString good = page.editor->toPlainText();
    QString broken = good;
    broken.replace(QStringLiteral("Result := 0.19;"), QStringLiteral("Result := 0.19 *;"));
    page.editor->setPlainText(broken);
    const bool refused = !page.applyScript();
    out << "A broken script: " << page.status->text() << " (cursor at line "
        << page.editor->textCursor().blockNumber() + 1 << ")\n";
    page.editor->setPlainText(good);
    page.applyScript();

    // The form's Save and Close come back through the callbacks.
    SheetForm *form = page.openForm();
    QPointer<SheetForm> alive(form);
    form->show();
    form->sheet->SetCellValue(QStringLiteral("A1"), QStringLiteral("Changed in the form"));
    for (QPushButton *b : form->findChildren<QPushButton *>())
        if (b->text() == u"Save" || b->text() == u"Close")
            b->click(); // Save comes first in the form

    QApplication::processEvents();
    out << page.log.join(QStringLiteral("; ")) << '\n' << "Back on the page: " << cell(s, "A1") << '\n';
    const bool callbacks = page.log.size() == 2 && !alive;

    if (!gallery::savePicture(page, picture, out))
        return 1;
    return calculated && refused && callbacks ? 0 : 1;
}

const bool registered =
    gallery::registerPage({QStringLiteral("Spreadsheet"), 72,
                           [](QWidget *parent) -> QWidget * { return new SheetPage(parent); }})
    && gallery::registerCommand({QStringLiteral("--sheet"),
                                 QStringLiteral("--sheet FILE.png    the invoice workbook with its script, an error and a form"),
                                 runHeadless});

} // namespace
