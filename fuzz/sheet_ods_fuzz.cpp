// Feeds arbitrary bytes to the .ods reader, and what it read to the writer
// and back: no crash, no unbounded allocation, and a book we wrote must load.
#include "FuzzText.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/SheetFiles.h>

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1 << 20))
        return 0;
    zor::TSheetBook book;
    QString err;
    if (!zor::LoadOds(book, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &err))
        return 0;
    QByteArray out;
    fuzz::check(zor::SaveOds(book, out, &err));
    zor::TSheetBook again;
    fuzz::check(zor::LoadOds(again, out, &err));
    fuzz::check(again.SheetCount() == book.SheetCount());
    return 0;
}
