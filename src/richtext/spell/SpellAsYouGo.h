// Marks misspelt words of a QTextDocument while it is edited, without
// touching the document: the wavy underlines are additional formats of the
// blocks' QTextLayouts, so they are never saved, never undone and never part
// of the document's modified state.
//
// Unlike QSyntaxHighlighter, which formats every block in one pass when it is
// attached (and freezes on a 1,000-page text), blocks are checked in slices
// from a zero-interval timer: the blocks a view shows first (SetVisibleRange),
// then the rest from the top. An edit queues only the blocks it touched.
#pragma once

#include <ZorCompCore/richtext/spell/SpellController.h>
#include <ZorCompCore/zor_export.h>

#include <QObject>
#include <QTextFormat>

#include <memory>

class QTextDocument;

namespace zor {

class ZOR_EXPORT TWPSpellAsYouGo : public QObject
{
    Q_OBJECT
public:
    // The format property that tells our ranges from other additional
    // formats of a layout (a highlighter's, say), which are left alone.
    static constexpr int MarkProperty = QTextFormat::UserProperty + 0x5E11;

    // How marks are drawn; msHidden keeps them (MisspellingAt still answers)
    // but draws nothing, for views that must not show them.
    enum TMarkStyle { msWavy, msDotted, msHidden };

    // AController must outlive this object or be destroyed with it.
    explicit TWPSpellAsYouGo(TWPSpellController *AController, QObject *AParent = nullptr);
    ~TWPSpellAsYouGo() override;  // removes its marks

    // Starts marking ADocument; null stops. Marks drawn on a previous
    // document are removed.
    void Attach(QTextDocument *ADocument);
    QTextDocument *Document() const;
    // Document positions a view shows; their blocks go first.
    void SetVisibleRange(int AFrom, int ATo);
    // 0 (the default) follows the controller's current language.
    void SetLanguage(int ALcid);
    int Language() const;
    // Characters checked per slice before the event loop gets its turn
    // (a slice also ends after a few milliseconds).
    void SetSliceSize(int AChars);
    int SliceSize() const;

    // Changing the style redraws the marks already made.
    void SetMarkStyle(TMarkStyle AStyle);
    TMarkStyle MarkStyle() const;

    // True when no block waits for a check.
    bool IsIdle() const;
    // Queues every block again; the controller's Changed signal does this.
    void Recheck();
    // The marked word at a document position (Start is a document position);
    // Length 0 when the position is on no mark.
    TWPSpellError MisspellingAt(int APosition) const;

Q_SIGNALS:
    // A block was checked; APosition is its first position.
    void BlockChecked(int APosition);
    // Every queued block has been checked.
    void Finished();

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
