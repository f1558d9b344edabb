// Feeds arbitrary bytes to the BinHTML reader, with files written to a
// content folder. Whatever the bytes, every file lands directly inside that
// folder (nothing beside it, no sub-folders), the names read are exactly the
// files there, and packing what was read gives a block that reads back the
// same page and names.
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/ZORHTMLViewerHelper.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "binhtml_fuzz: %s\n", what);
    abort();
}

QSet<QString> entries(const QString &folder)
{
    const QStringList list = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    return QSet<QString>(list.begin(), list.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    static const QString content = root.filePath(QStringLiteral("content"));
    QDir().mkpath(content);

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    using zor::TZORHTMLViewerHelper;

    // In memory only, with embedding.
    zor::TStringList embeddedNames;
    const QString embedded = TZORHTMLViewerHelper::ConvertBinHTMLToHTML(bytes, QString(), &embeddedNames, true);

    // To the content folder.
    zor::TStringList names;
    QString html;
    bool refused = false;
    try {
        html = TZORHTMLViewerHelper::ConvertBinHTMLToHTML(bytes, content, &names, false);
    } catch (const zor::EFCreateError &) {
        refused = true; // a name the file system refuses (too long, say)
    }
    if (entries(root.path()) != QSet<QString>{QStringLiteral("content")})
        fail("something was written beside the content folder");
    if (!QDir(content).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty())
        fail("a folder appeared in the content folder");
    const QStringList files = QDir(content).entryList(QDir::Files | QDir::Hidden | QDir::System);
    QSet<QString> listed;
    for (int i = 0; i < names.Count(); ++i) // as the file system spells it (lone surrogates)
        listed.insert(QFile::decodeName(QFile::encodeName(names.Get(i))));
    for (const QString &f : files)
        if (!listed.contains(f))
            fail("a file was written that was not listed");
    if (!refused) {
        if (listed.size() != files.size())
            fail("a listed file was not written");
        if (embeddedNames.Text() != names.Text())
            fail("embedding changed the names read");
        if (names.Count() == 0 && embedded != html)
            fail("embedding changed a page without files");
        // Pack what was read and read it again.
        zor::TMemoryStream again;
        TZORHTMLViewerHelper::WriteToBinaryStream(again, html, content, &names);
        zor::TStringList names2;
        QString html2;
        again.SetPosition(0);
        TZORHTMLViewerHelper::ReadFromBinaryStream(again, html2, QString(), &names2, false);
        if (html2 != html || names2.Text() != names.Text())
            fail("a block packed from what was read reads back differently");
    }

    for (const QString &f : files)
        QFile::remove(content + u'/' + f);
    return 0;
}
