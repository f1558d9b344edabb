// Reading and writing workbooks: .xlsx (Office Open XML) and .ods
// (OpenDocument) by our own code over libzip and Qt's XML streams.
//
// Kept: sheets, values, shared and inline strings, formulas (shared ones and
// the "_xlfn." prefix), cached values, number formats, column widths and
// merges. A formula we cannot parse, or one that calls a function we lack,
// keeps its text and cached value and is written back as it was. What is
// dropped (charts, images, macros …) is listed in the book's LoadWarnings().
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QChar>
#include <QString>

namespace zor {

class TSheet;
class TSheetBook;

// CSV as RFC 4180 has it. Input is UTF-8 with or without a byte-order mark;
// input that is no valid UTF-8 is read as Windows-1252.
struct TCsvOptions
{
    QChar delimiter;            // null: detected among , ; and tab
    bool decimalComma = false;  // "1,5" is 1.5 (use with ; or tab)
    bool formulas = false;      // "=…" is a formula; otherwise it stays text
};

// Fills the sheet from row 1; false with *error when the data is too big for the grid.
ZOR_EXPORT bool LoadCsv(TSheet &sheet, const QByteArray &data, const TCsvOptions &options = {},
                        QString *error = nullptr);
// The sheet's values as shown (number formats applied), CRLF line ends.
ZOR_EXPORT QByteArray SaveCsv(const TSheet &sheet, const TCsvOptions &options = {});

// Replaces the book's content. False with *error set on failure (the book is then empty).
ZOR_EXPORT bool LoadXlsx(TSheetBook &book, const QByteArray &data, QString *error = nullptr);
ZOR_EXPORT bool SaveXlsx(const TSheetBook &book, QByteArray &data, QString *error = nullptr);

// Replaces the book's content. Empty rows and cells repeated by count cost
// nothing, whatever the count.
ZOR_EXPORT bool LoadOds(TSheetBook &book, const QByteArray &data, QString *error = nullptr);
ZOR_EXPORT bool SaveOds(const TSheetBook &book, QByteArray &data, QString *error = nullptr);

// OpenFormula ("of:=SUM([.A1:.B2];1)") into the book's formula syntax
// ("=SUM(A1:B2,1)") and back.
ZOR_EXPORT QString OdfFormulaToA1(const QString &formula);
ZOR_EXPORT QString A1FormulaToOdf(const QString &formula);

// By extension (.xlsx, .ods, .csv for the first sheet); files are written to a temporary name and renamed into place.
ZOR_EXPORT bool LoadSheetFile(TSheetBook &book, const QString &fileName, QString *error = nullptr);
ZOR_EXPORT bool SaveSheetFile(const TSheetBook &book, const QString &fileName, QString *error = nullptr);

} // namespace zor
