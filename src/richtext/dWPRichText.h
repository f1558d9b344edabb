// The editor control the library's forms use, and its e-mail viewer.
//
// TdWPRichText loads under WPLoadLock(), the process-wide lock that report
// helpers in other threads hold too, and lays the text out again before it
// lets go, so loads and their reformatting run one at a time. After every
// load, with WantTabs off (web pages), each tab has become one blank before
// AfterLoadText is called.
//
// TEMLPreviewRichText shows an e-mail message read-only: the message's own
// rendering (its HTML body with inline pictures, else its text body) goes
// through RTF into the control.
#pragma once

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/zor_export.h>

#include <functional>

class QIODevice;

namespace zor {

class TStream;

class ZOR_EXPORT TdWPRichText : public TWPRichText
{
    Q_OBJECT

public:
    explicit TdWPRichText(QWidget *parent = nullptr);
    ~TdWPRichText() override;

    // The engine's loads under the lock, then ReformatAll. False with
    // Edit().LastError() set when the engine refuses (old text kept).
    bool LoadFromFile(const QString &FileName, bool Insert = false, const QString &FormatName = {});
    bool LoadFromStream(QIODevice &Stream, const QString &FormatName = {}, bool Insert = false);
    // Replaces the text with Text, read as the format names it.
    bool LoadFromString(const QString &Text, const QString &FormatName = {});

    bool SaveToFile(const QString &FileName, bool Selection = false, const QString &FormatName = {});
    // A modified text is laid out again (under the lock) before it is written.
    bool SaveToStream(QIODevice &Stream, const QString &FormatName = {});

    // After every load, the lock still held; the sender is this control.
    std::function<void(TdWPRichText *Sender)> AfterLoadText;

protected:
    void DoAfterLoadText() override;
};

class ZOR_EXPORT TEMLPreviewRichText : public TdWPRichText
{
    Q_OBJECT

public:
    explicit TEMLPreviewRichText(QWidget *parent = nullptr);
    ~TEMLPreviewRichText() override;

    // Opens the file denying writes to others; EFOpenError when it cannot.
    bool LoadEMLFile(const QString &FileName);
    // The message from the stream's position on; false when nothing could
    // be shown (the text is then empty).
    bool LoadEMLStream(TStream &Stream);
};

} // namespace zor
