#include "RtfEdit.h"

#include "Document.h"
#include "HtmlReader.h"
#include "HtmlWriter.h"
#include "PagePainter.h"
#include "RtfReader.h"
#include "RtfWriter.h"
#include "TextReader.h"
#include "TextWriter.h"

#include <ZorCompCore/platform/CodePage.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextDocumentWriter>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace zor {

TWPFormatName ParseFormatName(const QString &formatName)
{
    const QString s = formatName.trimmed();
    qsizetype cut = s.size();
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'-' || s[i] == u',') {
            cut = i;
            break;
        }
    }
    return {s.left(cut).trimmed(), s.mid(cut)};
}

// ---- environment -------------------------------------------------------------

struct TWPToolsEnviroment::Private
{
    mutable QMutex lock;
    QHash<QString, Reader> readers; // by lower-case name
    std::vector<HTMLWriterFactory> writers;
};

TWPToolsEnviroment::TWPToolsEnviroment() : d(std::make_unique<Private>())
{
    d->writers.push_back([] { return std::make_unique<TWPHTMLWriter>(); });
}

TWPToolsEnviroment::~TWPToolsEnviroment() = default;

TWPToolsEnviroment &TWPToolsEnviroment::Global()
{
    // Never destroyed: modules register and unregister from the library's
    // load and unload hooks, which may run after static destructors.
    static TWPToolsEnviroment *const env = new TWPToolsEnviroment;
    return *env;
}

void TWPToolsEnviroment::RegisterReader(const QString &formatName, Reader reader)
{
    QMutexLocker l(&d->lock);
    d->readers.insert(formatName.toLower(), std::move(reader));
}

TWPToolsEnviroment::Reader TWPToolsEnviroment::FindReader(const QString &formatName) const
{
    QMutexLocker l(&d->lock);
    return d->readers.value(formatName.toLower());
}

void TWPToolsEnviroment::RegisterHTMLWriter(HTMLWriterFactory factory)
{
    QMutexLocker l(&d->lock);
    d->writers.push_back(std::move(factory));
}

std::unique_ptr<TWPHTMLWriter> TWPToolsEnviroment::CreateHTMLWriter(const QString &name) const
{
    std::vector<HTMLWriterFactory> writers;
    {
        QMutexLocker l(&d->lock);
        writers = d->writers;
    }
    for (auto it = writers.rbegin(); it != writers.rend(); ++it) {
        std::unique_ptr<TWPHTMLWriter> w = (*it)();
        if (w && w->UseForFilterName(name))
            return w;
    }
    return nullptr;
}

// ---- the editor ----------------------------------------------------------------

namespace {

enum class Format { None, RTF, HTML, TXT, ANSI, ODT, PDF };

Format builtIn(const QString &name)
{
    const QString n = name.toUpper();
    if (n == u"RTF" || n == u"WPTOOLS")
        return Format::RTF;
    if (n == u"HTML" || n == u"HTM")
        return Format::HTML;
    if (n == u"TXT" || n == u"TEXT")
        return Format::TXT;
    if (n == u"ANSI")
        return Format::ANSI;
    if (n == u"ODT")
        return Format::ODT;
    if (n == u"PDF")
        return Format::PDF;
    return Format::None;
}

QString byExtension(const QString &fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"rtf" || ext == u"wpt")
        return u"RTF"_qs;
    if (ext == u"htm" || ext == u"html" || ext == u"xhtml")
        return u"HTML"_qs;
    if (ext == u"txt")
        return u"TXT"_qs;
    if (ext == u"odt")
        return u"ODT"_qs;
    if (ext == u"pdf")
        return u"PDF"_qs;
    return {};
}

// Copies src's text (or the part a fragment holds) in at the cursor, with the
// pictures it shows under names of dst.
void insertInto(const TWPDocument &src, const QTextDocumentFragment &fragment, TWPDocument &dst,
                QTextCursor &at)
{
    QHash<QString, QString> renamed;
    for (const QString &name : src.PictureNames()) {
        const TWPPicture *p = src.Picture(name);
        const QString n = dst.AddPicture(p->Data, p->Kind);
        if (!n.isEmpty())
            renamed.insert(name, n);
    }
    const int start = at.position();
    at.insertFragment(fragment);
    const int end = at.position();
    if (renamed.isEmpty())
        return;
    struct Found
    {
        int Position, Length;
        QTextImageFormat Format;
    };
    std::vector<Found> found;
    for (QTextBlock b = dst.Text()->findBlock(start); b.isValid() && b.position() <= end; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() < end && f.position() + f.length() > start && f.charFormat().isImageFormat())
                found.push_back({f.position(), f.length(), f.charFormat().toImageFormat()});
        }
    QTextCursor c(dst.Text());
    for (Found &f : found) {
        const QString n = renamed.value(f.Format.stringProperty(wpPictureName));
        if (n.isEmpty())
            continue;
        f.Format.setName(n);
        f.Format.setProperty(wpPictureName, n);
        // A picture of the same name just after the insertion shares the
        // fragment: rename the inserted characters only.
        c.setPosition(std::max(f.Position, start));
        c.setPosition(std::min(f.Position + f.Length, end), QTextCursor::KeepAnchor);
        c.setCharFormat(f.Format);
    }
}

} // namespace

struct TWPCustomRtfEdit::Private
{
    TWPDocument doc;
    QTextCursor cursor{doc.Text()};
    QString error;
    QString baseFolder;
    bool readOnly = false;
    bool wantTabs = true;
    bool wordWrap = false;
    int pageCount = -1; // -1: not laid out since the last change

    // Reads data into doc; false with error set when it cannot.
    bool read(const QByteArray &data, const QString &formatName, const QString &fileName,
              TWPDocument &into)
    {
        QString name = ParseFormatName(formatName).Name;
        if (name.isEmpty()) {
            // Bytes that say RTF are RTF, whatever the file is called.
            if (TWPRTFReader::IsRTF(data))
                name = u"RTF"_qs;
            else if (!(name = byExtension(fileName)).isEmpty())
                ;
            else if (TWPHTMLReader::IsHTML(data))
                name = u"HTML"_qs;
            else
                name = u"TXT"_qs;
        }
        if (auto reader = TWPToolsEnviroment::Global().FindReader(name))
            return reader(data, into, error);
        Format f = builtIn(name);
        if (f == Format::None && TWPToolsEnviroment::Global().CreateHTMLWriter(name))
            f = Format::HTML; // a writer's own name reads as what it writes
        switch (f) {
        case Format::RTF: {
            const TWPRTFReadResult r = TWPRTFReader::Read(data, into);
            if (!r.Ok)
                error = r.Error.isEmpty() ? u"the data is not RTF"_qs : r.Error;
            return r.Ok;
        }
        case Format::HTML:
            TWPHTMLReader::ReadBytes(data, into,
                                     fileName.isEmpty() ? baseFolder : QFileInfo(fileName).absolutePath());
            return true;
        case Format::TXT:
        case Format::ANSI:
            TWPTextReader::Read(TWPTextReader::Decode(data, f == Format::ANSI), into);
            return true;
        case Format::ODT:
        case Format::PDF:
            error = u"%1 can be written but not read"_qs.arg(name.toUpper());
            return false;
        case Format::None:
            break;
        }
        error = u"unknown format \"%1\""_qs.arg(name);
        return false;
    }

    bool load(const QByteArray &data, const QString &formatName, const QString &fileName, bool insert)
    {
        error.clear();
        TWPDocument loaded;
        if (!read(data, formatName, fileName, loaded))
            return false;
        if (insert) {
            if (!doc.CanEdit(cursor)) {
                error = u"the text at the cursor is protected"_qs;
                return false;
            }
            cursor.beginEditBlock();
            cursor.removeSelectedText();
            insertInto(loaded, QTextDocumentFragment(loaded.Text()), doc, cursor);
            cursor.endEditBlock();
        } else {
            doc.Swap(loaded);
            cursor = QTextCursor(doc.Text());
            doc.Text()->setModified(false);
        }
        pageCount = -1;
        return true;
    }

    QByteArray write(const TWPDocument &source, const QString &formatName, const QString &fileName)
    {
        const TWPFormatName fn = ParseFormatName(formatName);
        QString name = fn.Name;
        if (name.isEmpty())
            name = byExtension(fileName);
        if (name.isEmpty())
            name = u"RTF"_qs;
        const Format f = builtIn(name);
        switch (f) {
        case Format::RTF: return TWPRTFWriter::Write(source);
        case Format::TXT: return TWPTextWriter::Write(source).toUtf8();
        case Format::ANSI: return ToAnsi(TWPTextWriter::Write(source));
        case Format::PDF: {
            TWPPdfOptions options;
            QByteArray out = TWPPagePainter::WritePdf(source, options);
            if (out.isEmpty())
                error = u"the PDF could not be written"_qs;
            return out;
        }
        case Format::ODT: {
            QByteArray out;
            QBuffer buf(&out);
            buf.open(QIODevice::WriteOnly);
            QTextDocumentWriter w(&buf, "ODF");
            if (!w.write(source.Text())) {
                error = u"the ODT could not be written"_qs;
                return {};
            }
            return out;
        }
        case Format::HTML:
        case Format::None:
            break;
        }
        std::unique_ptr<TWPHTMLWriter> w = TWPToolsEnviroment::Global().CreateHTMLWriter(name);
        if (!w) {
            error = u"unknown format \"%1\""_qs.arg(name);
            return {};
        }
        w->SetOptions(fn.Options);
        if (owner->OnPrepareHTMLWriter)
            owner->OnPrepareHTMLWriter(*w);
        return w->Write(source).toUtf8();
    }

    // The document to write: all of it, or the selection as a document of its
    // own with the page setup and styles of this one.
    QByteArray save(bool selection, const QString &formatName, const QString &fileName)
    {
        error.clear();
        if (!selection || !cursor.hasSelection())
            return write(doc, formatName, fileName);
        TWPDocument part;
        part.PageSetup(0) = doc.PageSetup(doc.SectionAt(cursor.selectionStart()));
        for (const TWPStyle &s : doc.Styles())
            part.SetStyle(s);
        QTextCursor at(part.Text());
        insertInto(doc, cursor.selection(), part, at);
        return write(part, formatName, fileName);
    }

    TWPCustomRtfEdit *owner = nullptr;
};

TWPCustomRtfEdit::TWPCustomRtfEdit() : d(std::make_unique<Private>())
{
    d->owner = this;
}

TWPCustomRtfEdit::~TWPCustomRtfEdit() = default;

TWPDocument &TWPCustomRtfEdit::Document() { return d->doc; }
const TWPDocument &TWPCustomRtfEdit::Document() const { return d->doc; }
QTextCursor &TWPCustomRtfEdit::TextCursor() { return d->cursor; }
QString TWPCustomRtfEdit::LastError() const { return d->error; }
QString TWPCustomRtfEdit::BaseFolder() const { return d->baseFolder; }
void TWPCustomRtfEdit::SetBaseFolder(const QString &folder) { d->baseFolder = folder; }
bool TWPCustomRtfEdit::Modified() const { return d->doc.Text()->isModified(); }
void TWPCustomRtfEdit::SetModified(bool value) { d->doc.Text()->setModified(value); }
bool TWPCustomRtfEdit::ReadOnly() const { return d->readOnly; }
void TWPCustomRtfEdit::SetReadOnly(bool value) { d->readOnly = value; }
bool TWPCustomRtfEdit::WantTabs() const { return d->wantTabs; }
void TWPCustomRtfEdit::SetWantTabs(bool value) { d->wantTabs = value; }
bool TWPCustomRtfEdit::WordWrap() const { return d->wordWrap; }
void TWPCustomRtfEdit::SetWordWrap(bool value) { d->wordWrap = value; }

bool TWPCustomRtfEdit::LoadFromFile(const QString &fileName, bool insert, const QString &formatName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        d->error = u"cannot read %1: %2"_qs.arg(fileName, f.errorString());
        return false;
    }
    if (!d->load(f.readAll(), formatName, fileName, insert))
        return false;
    AfterLoad();
    return true;
}

bool TWPCustomRtfEdit::LoadFromStream(QIODevice &stream, const QString &formatName, bool insert)
{
    if (!stream.isReadable()) {
        d->error = u"the stream cannot be read"_qs;
        return false;
    }
    return LoadFromBytes(stream.readAll(), formatName, insert);
}

bool TWPCustomRtfEdit::LoadFromBytes(const QByteArray &data, const QString &formatName, bool insert)
{
    if (!d->load(data, formatName, {}, insert))
        return false;
    AfterLoad();
    return true;
}

bool TWPCustomRtfEdit::LoadFromString(const QString &text, const QString &formatName)
{
    QString name = ParseFormatName(formatName).Name;
    if (name.isEmpty()) {
        const QString head = text.left(1024).trimmed();
        name = head.startsWith(u"{\\rtf") ? u"RTF"_qs
             : TWPHTMLReader::IsHTML(head.toUtf8()) ? u"HTML"_qs : u"TXT"_qs;
    }
    const Format f = builtIn(name);
    if (f == Format::RTF) // 7-bit by nature: what is beyond Latin-1 was never RTF
        return LoadFromBytes(text.toLatin1(), name);
    if (f != Format::HTML && f != Format::TXT && f != Format::ANSI)
        return LoadFromBytes(text.toUtf8(), name);
    TWPDocument loaded;
    if (f == Format::HTML)
        TWPHTMLReader::Read(text, loaded, d->baseFolder);
    else
        TWPTextReader::Read(text, loaded);
    d->doc.Swap(loaded);
    d->cursor = QTextCursor(d->doc.Text());
    d->doc.Text()->setModified(false); // a text just loaded is unchanged, as after loading bytes
    d->pageCount = -1;
    d->error.clear();
    AfterLoad();
    return true;
}

bool TWPCustomRtfEdit::SaveToFile(const QString &fileName, bool selection, const QString &formatName)
{
    const QByteArray data = d->save(selection, formatName, fileName);
    if (!d->error.isEmpty())
        return false;
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        d->error = u"cannot write %1: %2"_qs.arg(fileName, f.errorString());
        return false;
    }
    if (!selection)
        d->doc.Text()->setModified(false);
    return true;
}

bool TWPCustomRtfEdit::SaveToStream(QIODevice &stream, const QString &formatName)
{
    const QByteArray data = d->save(false, formatName, {});
    if (!d->error.isEmpty())
        return false;
    if (stream.write(data) != data.size()) {
        d->error = u"cannot write the stream: %1"_qs.arg(stream.errorString());
        return false;
    }
    return true;
}

QByteArray TWPCustomRtfEdit::SaveToBytes(const QString &formatName, bool selection)
{
    return d->save(selection, formatName, {});
}

void TWPCustomRtfEdit::ReformatAll()
{
    d->pageCount = TWPPagePainter(d->doc).PageCount();
}

int TWPCustomRtfEdit::PageCount()
{
    if (d->pageCount < 0 || Modified())
        ReformatAll();
    return d->pageCount;
}

void TWPCustomRtfEdit::AfterLoad()
{
    if (!d->wantTabs) {
        QTextDocument *t = d->doc.Text();
        QTextCursor c(t);
        c.beginEditBlock();
        for (QTextCursor found = t->find(u"\t"_qs); !found.isNull(); found = t->find(u"\t"_qs, found))
            found.insertText(u" "_qs);
        c.endEditBlock();
        t->setModified(false);
    }
    if (OnAfterLoadText)
        OnAfterLoadText();
}

} // namespace zor
