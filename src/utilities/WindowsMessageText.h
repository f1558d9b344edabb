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

// The creation record a WM_CREATE message's LParam points at (the layout of
// the Windows record; the texts read the name and the class).
struct TCreateStruct
{
    void *lpCreateParams = nullptr;
    void *hInstance = nullptr;
    void *hMenu = nullptr;
    void *hwndParent = nullptr;
    qint32 cy = 0, cx = 0, y = 0, x = 0;
    qint32 style = 0;
    const char16_t *lpszName = nullptr;  // zero-terminated UTF-16
    const char16_t *lpszClass = nullptr; // zero-terminated UTF-16
    quint32 dwExStyle = 0;
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
// WM_CREATE ("…, Name: <window name>, Class: <class>") and WM_SETTEXT
// ("…, Text: <text>") read what LParam points at, a TCreateStruct and a
// zero-terminated UTF-16 text: LParam must be 0 or such a pointer.
ZOR_EXPORT QString GetWindowMessageText(const TMessage &msg);

} // namespace zor
