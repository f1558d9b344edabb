// TWPToolsCustomEditContolAction: an engine action that drives a combo box
// attached to it (a toolbar's font, size, colour, alignment or style box).
// The action fills the box, shows the value at the current editor's caret
// whenever the caret or its format changes, and applies what the user picks
// to the selection (or the caret's format) as one undo step, refusing
// protected text as every other engine action does.
//
// Colour boxes start with "(Automatic)", which removes the colour; HTML
// sizes 1-7 stand for the HTML font sizes (8, 10, 12, 14, 18, 24, 36 pt).
#pragma once

#include <ZorCompCore/richtext/actions/WPEngineActions.h>
#include <ZorCompCore/zor_export.h>

#include <QColor>
#include <QPointer>

class QComboBox;

namespace zor {

enum class TWPComboKind : int {
    Fonts,          // every font family
    ScreenFonts,    // every font family
    PrinterFonts,   // every font family (printers use the same fonts here)
    TrueTypeFonts,  // scalable families only
    FontSize,       // point sizes
    FontSizeManual, // point sizes, any size typed in
    HTMLFontSize,   // 1-7
    FontColor,      // text colour
    BkColor,        // character background
    ParColor,       // paragraph background
    ParAlignment,   // Left, Center, Right, Justified
    StyleNames,     // the document's named styles
};

class ZOR_EXPORT TWPToolsCustomEditContolAction : public TWPToolsAction
{
    Q_OBJECT
public:
    explicit TWPToolsCustomEditContolAction(TWPComboKind kind, QObject *parent = nullptr);
    ~TWPToolsCustomEditContolAction() override;

    TWPComboKind ComboKind() const { return m_kind; }
    // The box the action drives; not owned (null detaches).
    QComboBox *Control() const;
    void SetControl(QComboBox *combo);
    // Refills the box's list (the style names follow the current editor).
    void FillItems();
    // The texts FillItems puts in the list.
    QStringList Items() const;
    // Applies a value as the box shows it ("Arial", "12", "3", "Red",
    // "(Automatic)", "Center", a style name); false when it means nothing
    // or the edit is refused.
    bool ApplyText(const QString &text);
    // The value at the caret as the box shows it; empty when mixed or none.
    QString CurrentText(TWPRichText &editor) const;

    void UpdateFor(TWPRichText *editor) override;

    // The first colour entry and the alignment names ("Left,Center,Right,
    // Justified"), replaced by the engine's language strings.
    QString AutomaticText = QStringLiteral("(Automatic)");
    QString AlignmentNames = QStringLiteral("Left,Center,Right,Justified");

    // Point sizes of the HTML font sizes 1-7.
    static int HTMLSizeToPoints(int size);
    // The HTML size nearest to a point size.
    static int PointsToHTMLSize(qreal points);

protected:
    bool IsEnabledFor(TWPRichText &editor) override;
    void ExecuteOn(TWPRichText &editor) override;

private:
    TWPComboKind m_kind;
    QPointer<QComboBox> m_combo;
    bool m_updating = false;
};

// The named colours of the colour boxes after "(Automatic)", in list order.
ZOR_EXPORT QList<QPair<QString, QColor>> WPComboColors();

} // namespace zor
