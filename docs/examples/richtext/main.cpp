// Rich text in an application: reading RTF, writing HTML with its pictures
// beside it, PDF with document information, checking spelling, and the
// editor control on a form.
// Exits with 1 when a result is not the one shown in the guide.
#include <ZorCompCore/richtext/dWPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/richtext/engine/ReportHelper.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

QString dataFile(const char *name)
{
    return qEnvironmentVariable("ZOR_GUIDE_DATA") + u'/' + QLatin1String(name);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;

    // 1. Reading: the format comes from the bytes; the text as plain text.
    TWPRichTextReportHelper helper;
    if (!helper.LoadFromFile(dataFile("letter.rtf")))
        out << "cannot load: " << helper.LastError() << '\n';
    const QString text = QString::fromUtf8(helper.SaveToBytes(QStringLiteral("TXT")));
    out << "sections: " << helper.Document().SectionCount() << ", pictures: "
        << helper.Document().PictureNames().size() << ", title: " << helper.Document().Info(QStringLiteral("title"))
        << '\n';
    check(text.contains(u"Quarterly letter") && text.contains(u"Καλημέρα"), "the letter's text");

    // 2. HTML with the pictures written beside it, named "img" + prefix + number.
    const QString html = dir.filePath(QStringLiteral("letter.html"));
    check(helper.SaveToHTMLFile(html, QStringLiteral("letter")), "HTML written");
    out << "pictures written: " << helper.HTMLFileList().Text();
    check(helper.HTMLFileList().Count() == 1 && QFile::exists(dir.filePath(helper.HTMLFileList()[0])),
          "one picture beside the page");

    // 3. PDF: pages laid out as printed, document information in the file.
    TWPPdfOptions pdf;
    pdf.Title = QStringLiteral("Quarterly letter");
    pdf.Author = QStringLiteral("Accounts");
    const QByteArray bytes = TWPPagePainter::WritePdf(helper.Document(), pdf);
    const TWPPagePainter pages(helper.Document());
    out << "PDF: " << pages.PageCount() << " page(s), A4 is " << pages.PageSize().toSize().width() << " x "
        << pages.PageSize().toSize().height() << " units\n";
    check(bytes.startsWith("%PDF") && bytes.contains("/Title <FEFF"), "a PDF with its title in UTF-16");

    // 4. Spelling: misspelt words with their place, and suggestions.
    TWPSpellController speller;
    const QList<TWPSpellError> errors = speller.CheckText(QStringLiteral("The recieved colour"), wpLangEnglishUK);
    for (const TWPSpellError &e : errors)
        out << "misspelt at " << e.Start << ": " << e.Word << " -> "
            << speller.Suggest(e.Word, wpLangEnglishUK).value(0) << '\n';
    check(errors.size() == 1 && errors[0].Word == u"recieved", "British spelling");

    // 5. The editor control on a form: loads hold the process-wide lock, and
    // zoom codes follow the window.
    TdWPRichText editor;
    editor.resize(800, 600);
    editor.SetWantTabs(false); // a web page: tabs become blanks
    editor.LoadFromString(QStringLiteral("a\tb"), QStringLiteral("TXT"));
    check(editor.PlainText() == u"a b", "tabs cleaned up");
    editor.LoadFromFile(dataFile("letter.rtf"));
    editor.SetZoomMode(wpZoomPageWidth);
    out << "page width in an 800 pixel window: " << editor.Zoom() << "%\n";
    check(editor.Zoom() > 50 && editor.Zoom() < 150, "fitted to the width");

    return failures ? 1 : 0;
}
