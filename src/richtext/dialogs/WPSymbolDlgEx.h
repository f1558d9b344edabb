// Symbols: a font, a Unicode block and a grid of the block's characters;
// "Insert" (or a double click) puts the chosen one at the caret in that
// font, as often as the user likes, each insertion one undo step. The form
// opens on the font and block used last.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

#include <memory>

namespace zor {

class ZOR_EXPORT TWPSymbolDlgEx : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPSymbolDlgEx(QObject *owner = nullptr);
    ~TWPSymbolDlgEx() override;

    // True when at least one symbol was inserted.
    bool Execute() override;

    // Inserts the character (a code point) at the caret in font family
    // (empty: the caret's); false when the editor refuses.
    bool InsertSymbol(char32_t code, const QString &family);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zor
