// The headless editor: a TWPDocument with a cursor, loading and saving by
// format name, and the registry of readers and writers those names pick from.
//
// Format names compare case-insensitively: "RTF", "WPTOOLS" (our RTF, which
// keeps everything the document holds), "HTML", "TXT" (UTF-8; a byte order
// mark or bytes that are no UTF-8 are read as such), "ANSI" (the ANSI code
// page), "ODT" and "PDF" (both write only). Options follow the name after a
// '-' or ',' ("HTML-nopageinfo,-onlybody,") and go to the writer. An empty
// name picks by the file's extension, else by looking at the bytes.
//
// Writers of HTML are chosen by UseForFilterName from the environment's
// registry, newest first, so a registered writer can claim "HTML" itself or
// a name of its own. Other formats (an e-mail reader, say) register readers
// by name.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QTextCursor>

#include <functional>
#include <memory>

class QIODevice;

namespace zor {

class TWPDocument;
class TWPHTMLWriter;

// A format name split into the name and its options.
struct TWPFormatName
{
    QString Name;     // "HTML"; empty when none was given
    QString Options;  // "-nopageinfo,-onlybody,"
};

ZOR_EXPORT TWPFormatName ParseFormatName(const QString &formatName);

// The registry of readers and writers, one per process; safe to use from
// any thread.
class ZOR_EXPORT TWPToolsEnviroment
{
public:
    // Replaces doc's content with what data holds; false and error set when
    // the data is not of this format.
    using Reader = std::function<bool(const QByteArray &data, TWPDocument &doc, QString &error)>;
    using HTMLWriterFactory = std::function<std::unique_ptr<TWPHTMLWriter>()>;

    static TWPToolsEnviroment &Global();

    // A reader for a format name; a later one for the same name wins.
    void RegisterReader(const QString &formatName, Reader reader);
    Reader FindReader(const QString &formatName) const;

    // HTML writers; asked newest first whether they serve a name.
    void RegisterHTMLWriter(HTMLWriterFactory factory);
    // A writer that serves the name (options already stripped); null: none.
    std::unique_ptr<TWPHTMLWriter> CreateHTMLWriter(const QString &name) const;

    // Called (GUI thread) with each editor dialog and the form it is about
    // to show, before the dialog's own OnShow: a place to adjust every
    // dialog of the application. Wrappers chain onto it (see the actions).
    std::function<void(QObject *Dialog, QObject *Form)> OnDialog;

    TWPToolsEnviroment();
    ~TWPToolsEnviroment();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

class ZOR_EXPORT TWPCustomRtfEdit
{
public:
    TWPCustomRtfEdit();
    virtual ~TWPCustomRtfEdit();
    TWPCustomRtfEdit(const TWPCustomRtfEdit &) = delete;
    TWPCustomRtfEdit &operator=(const TWPCustomRtfEdit &) = delete;

    TWPDocument &Document();
    const TWPDocument &Document() const;
    // The editing cursor, on the document's text.
    QTextCursor &TextCursor();

    // Loads replace the text, or with insert put the loaded text at the
    // cursor. A failed load keeps the old text; LastError says why.
    bool LoadFromFile(const QString &fileName, bool insert = false, const QString &formatName = {});
    bool LoadFromStream(QIODevice &stream, const QString &formatName = {}, bool insert = false);
    bool LoadFromBytes(const QByteArray &data, const QString &formatName = {}, bool insert = false);
    // Text given as text: RTF and HTML markup are read as such, anything
    // else as plain text.
    bool LoadFromString(const QString &text, const QString &formatName = {});

    // Saves the document, or with selection only the selected text. Files
    // are written to a temporary name and renamed into place.
    bool SaveToFile(const QString &fileName, bool selection = false, const QString &formatName = {});
    bool SaveToStream(QIODevice &stream, const QString &formatName = {});
    // The bytes a save writes; empty with LastError set when it fails.
    QByteArray SaveToBytes(const QString &formatName, bool selection = false);

    QString LastError() const;

    // The base folder of HTML images when loading from bytes or a string.
    QString BaseFolder() const;
    void SetBaseFolder(const QString &folder);

    bool Modified() const;
    void SetModified(bool value);
    bool ReadOnly() const;
    void SetReadOnly(bool value);
    // Off: tabs typed move the focus, tabs loaded become blanks (web pages).
    bool WantTabs() const;
    void SetWantTabs(bool value);
    // On: the text wraps at the window's edge and shows no pages (a page
    // view or preview then works on a copy with it off). Off by default.
    bool WordWrap() const;
    void SetWordWrap(bool value);

    // Lays the document out on its pages again; PageCount then counts them.
    void ReformatAll();
    int PageCount();

    // Called after every successful load.
    std::function<void()> OnAfterLoadText;
    // Called with every HTML writer before it writes (image callback, say).
    std::function<void(TWPHTMLWriter &)> OnPrepareHTMLWriter;

protected:
    // After a load, before OnAfterLoadText: tab clean-up when WantTabs is off.
    virtual void AfterLoad();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zor
