// Word wrapping of plain text at a column, as used to lay out message texts
// and to count the words of a translation (wrap at column 1, count lines).
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

// Inserts BreakStr into Line so that no line grows past MaxCol characters
// where that can be helped. The rules:
// - A break goes after the last break character (one of BreakChars) of the
//   current line, when the next character that is not a break character would
//   make the line longer than MaxCol. A run of break characters therefore
//   stays at the end of the line it closes; none is carried to the start of
//   the next one, and no character of Line is dropped.
// - Break characters at the start of a line (before its first other
//   character) are no break points, so leading blanks never make a line of
//   their own.
// - No break goes inside a string quoted with ' or "; a quote still open at
//   the end of a line ends there.
// - Line ends already in Line (BreakStr itself, CR LF, CR or LF) are kept and
//   start a new line.
// - A word longer than MaxCol stays whole: lines only break at break points.
// MaxCol below 1 counts as 1. An empty BreakStr leaves Line unchanged.
ZOR_EXPORT QString WrapText(const QString &Line, const QString &BreakStr, const QString &BreakChars,
                            int MaxCol);

} // namespace zor
