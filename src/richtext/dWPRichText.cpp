#include "dWPRichText.h"

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/richtext/engine/LoadLock.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/web/MessageEx.h>

#include <QBuffer>

#include <mutex>

namespace zor {

TdWPRichText::TdWPRichText(QWidget *parent) : TWPRichText(parent) {}
TdWPRichText::~TdWPRichText() = default;

bool TdWPRichText::LoadFromFile(const QString &FileName, bool Insert, const QString &FormatName)
{
    std::lock_guard<TCriticalSection> lock(WPLoadLock());
    const bool ok = Edit().LoadFromFile(FileName, Insert, FormatName);
    ReformatAll();
    return ok;
}

bool TdWPRichText::LoadFromStream(QIODevice &Stream, const QString &FormatName, bool Insert)
{
    std::lock_guard<TCriticalSection> lock(WPLoadLock());
    const bool ok = Edit().LoadFromStream(Stream, FormatName, Insert);
    ReformatAll();
    return ok;
}

bool TdWPRichText::LoadFromString(const QString &Text, const QString &FormatName)
{
    std::lock_guard<TCriticalSection> lock(WPLoadLock());
    const bool ok = Edit().LoadFromString(Text, FormatName);
    ReformatAll();
    return ok;
}

bool TdWPRichText::SaveToFile(const QString &FileName, bool Selection, const QString &FormatName)
{
    return Edit().SaveToFile(FileName, Selection, FormatName);
}

bool TdWPRichText::SaveToStream(QIODevice &Stream, const QString &FormatName)
{
    if (Modified()) {
        std::lock_guard<TCriticalSection> lock(WPLoadLock());
        ReformatAll();
    }
    return Edit().SaveToStream(Stream, FormatName);
}

void TdWPRichText::DoAfterLoadText()
{
    // The engine has already put blanks for tabs when WantTabs is off.
    if (AfterLoadText)
        AfterLoadText(this);
}

// ---- TEMLPreviewRichText -------------------------------------------------------

TEMLPreviewRichText::TEMLPreviewRichText(QWidget *parent) : TdWPRichText(parent)
{
    SetReadOnly(true);
    SetZoomMode(wpZoomWrapToWindow);
}

TEMLPreviewRichText::~TEMLPreviewRichText() = default;

bool TEMLPreviewRichText::LoadEMLFile(const QString &FileName)
{
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    return LoadEMLStream(stream);
}

bool TEMLPreviewRichText::LoadEMLStream(TStream &Stream)
{
    // The message's own rendering is a load as well: both under the lock.
    std::lock_guard<TCriticalSection> lock(WPLoadLock());
    TIdMessageEx message;
    message.LoadFromStream(Stream);
    QByteArray rtf = message.RichData() ? message.RichData()->SaveToBytes(QStringLiteral("WPTOOLS")) : QByteArray();
    if (rtf.isEmpty()) {
        Clear();
        return false;
    }
    QBuffer buffer(&rtf);
    buffer.open(QIODevice::ReadOnly);
    return LoadFromStream(buffer, QStringLiteral("WPTOOLS"));
}

} // namespace zor
