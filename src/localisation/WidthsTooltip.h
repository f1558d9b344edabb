// A floating table that compares the on-screen size of one text in every
// language: width and height in the form's font, with ratios to the smallest
// non-empty one, so that translators see which language needs more room.
// One process-wide window; main thread only.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QRect>
#include <QString>
#include <QStringList>

class QWidget;

namespace zor {

class TsiLangDispatcher;

// Shows the table for ATexts (one per language, named by ALangNames) next to
// ARect (global coordinates): right of it and below, or left / above where
// the screen ends. The window follows ADispatcher when given, else shows
// language ALang (1-based) of its own texts. Missing texts count as empty.
ZOR_EXPORT void ShowWidthTooltip(const QStringList &ALangNames, const QStringList &ATexts, const QRect &ARect,
                                 int ALang, TsiLangDispatcher *ADispatcher);
// Stores the window's column widths and destroys it.
ZOR_EXPORT void HideWidthTooltip();
// Measures language AIndex (0-based) again with AText; ignored without the
// window or for an index out of range.
ZOR_EXPORT void UpdateLanguageWidthTooltip(int AIndex, const QString &AText);

// The window, or null when it is not shown.
ZOR_EXPORT QWidget *WidthTooltipWindow();
// Text of a cell of the table: row 0 is the header, row 1 + i language i;
// empty outside the table or without the window.
ZOR_EXPORT QString WidthTooltipCell(int ARow, int ACol);

namespace detail {
void WidthsTooltipStartup();
} // namespace detail

} // namespace zor
