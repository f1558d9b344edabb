// Number format codes as spreadsheets write them: General, 0.00, #,##0, %,
// 0.00E+00, dates and times (yyyy-mm-dd hh:mm:ss, AM/PM, [h]), @ for text,
// up to four sections (positive;negative;zero;text), quoted and escaped
// literals. One formatter serves TEXT() and the grid. Names are English.
#pragma once

#include <ZorCompCore/sheet/CellValue.h>
#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

ZOR_EXPORT QString FormatSheetNumber(double value, const QString &format);
// Text, booleans and errors go through the text section (or show as they are).
ZOR_EXPORT QString FormatCellValue(const TCellValue &value, const QString &format);
// True when the format shows numbers as dates or times.
ZOR_EXPORT bool IsDateFormat(const QString &format);

} // namespace zor
