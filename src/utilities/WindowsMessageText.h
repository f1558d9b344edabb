// Readable texts for window messages and virtual-key codes, for logs and
// debugging of code that exchanges Windows-style messages.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace zor {

// A message record: number and its two parameters.
struct TMessage
{
    quint32 Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
};

// One row of the virtual-key table.
struct TVirtualKeyInfo
{
    QByteArray Name;        // "VK_RETURN"
    qint32 Code = 0;        // 13
    QByteArray Description; // "ENTER key"
};

// The 119 rows of the key table, in table order.
ZOR_EXPORT const TVirtualKeyInfo *VirtualKeyTable(int &count);
// "VK_RETURN (ENTER key)", or the decimal code when the table lacks it.
ZOR_EXPORT QString GetVirtualKeyText(int code);
// "WM_KEYDOWN, WParam: VK_RETURN (ENTER key), LParam: 1", "UNKNOWN: 4d2 (1234)" …
ZOR_EXPORT QString GetWindowMessageText(const TMessage &msg);

} // namespace zor
