// Feeds arbitrary text to the formula compiler and evaluator: any input ends
// in a value, an error value or a rejected formula. A formula that compiles
// must give back text that compiles to the same text again (so what we write
// into files reads back the same).
#include "FuzzText.h"

#include <ZorCompCore/sheet/Book.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const QString text = fuzz::textOf(data, size);
    static zor::TSheetBook *book = [] {
        auto *b = new zor::TSheetBook;
        zor::TSheet *s = b->AddSheet(QStringLiteral("S"));
        b->AddSheet(QStringLiteral("Q 2"));
        for (int r = 0; r < 10; ++r) {
            s->SetValue(r, 0, zor::TCellValue::Number(r));
            s->SetValue(r, 1, zor::TCellValue::Text(QString::number(r * 7)));
        }
        return b;
    }();
    zor::TSheet *s = book->Sheet(0);
    QString err;
    if (s->SetFormula(20, 3, u'=' + text, &err)) {
        const QString once = s->Formula(20, 3);
        fuzz::check(s->SetFormula(20, 3, once, &err));
        fuzz::check(s->Formula(20, 3) == once);
        // Copies move relative references; off the grid they turn to #REF!.
        s->CopyCell(20, 3, 0, 0);
        s->CopyCell(20, 3, 1048575, 16383);
        s->ClearCell(0, 0);
        s->ClearCell(1048575, 16383);
    }
    s->ClearCell(20, 3);
    return 0;
}
