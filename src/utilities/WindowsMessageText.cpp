#include <ZorCompCore/utilities/WindowsMessageText.h>

#include <algorithm>
#include <iterator>

namespace zor {

namespace {

// Virtual-key codes with their names and descriptions (119 rows, table order).
const TVirtualKeyInfo kKeys[] = {
    {"VK_LBUTTON", 0x01, "Left mouse button"},
    {"VK_RBUTTON", 0x02, "Right mouse button"},
    {"VK_CANCEL", 0x03, "Control-break processing"},
    {"VK_MBUTTON", 0x04, "Middle mouse button (three-button mouse)"},
    {"VK_BACK", 0x08, "BACKSPACE key"},
    {"VK_TAB", 0x09, "TAB key"},
    {"VK_CLEAR", 0x0C, "CLEAR key"},
    {"VK_RETURN", 0x0D, "ENTER key"},
    {"VK_SHIFT", 0x10, "SHIFT key"},
    {"VK_CONTROL", 0x11, "CTRL key"},
    {"VK_MENU", 0x12, "ALT key"},
    {"VK_PAUSE", 0x13, "PAUSE key"},
    {"VK_CAPITAL", 0x14, "CAPS LOCK key"},
    {"VK_ESCAPE", 0x1B, "ESC key"},
    {"VK_SPACE", 0x20, "SPACEBAR"},
    {"VK_PRIOR", 0x21, "PAGE UP key"},
    {"VK_NEXT", 0x22, "PAGE DOWN key"},
    {"VK_END", 0x23, "END key"},
    {"VK_HOME", 0x24, "HOME key"},
    {"VK_LEFT", 0x25, "LEFT ARROW key"},
    {"VK_UP", 0x26, "UP ARROW key"},
    {"VK_RIGHT", 0x27, "RIGHT ARROW key"},
    {"VK_DOWN", 0x28, "DOWN ARROW key"},
    {"VK_SELECT", 0x29, "SELECT key"},
    {"VK_EXECUTE", 0x2B, "EXECUTE key"},
    {"VK_SNAPSHOT", 0x2C, "PRINT SCREEN key"},
    {"VK_INSERT", 0x2D, "INS key"},
    {"VK_DELETE", 0x2E, "DEL key"},
    {"VK_HELP", 0x2F, "HELP key"},
    {"VK_0", 0x30, "0 key"},
    {"VK_1", 0x31, "1 key"},
    {"VK_2", 0x32, "2 key"},
    {"VK_3", 0x33, "3 key"},
    {"VK_4", 0x34, "4 key"},
    {"VK_5", 0x35, "5 key"},
    {"VK_6", 0x36, "6 key"},
    {"VK_7", 0x37, "7 key"},
    {"VK_8", 0x38, "8 key"},
    {"VK_9", 0x39, "9 key"},
    {"VK_A", 0x41, "A key"},
    {"VK_B", 0x42, "B key"},
    {"VK_C", 0x43, "C key"},
    {"VK_D", 0x44, "D key"},
    {"VK_E", 0x45, "E key"},
    {"VK_F", 0x46, "F key"},
    {"VK_G", 0x47, "G key"},
    {"VK_H", 0x48, "H key"},
    {"VK_I", 0x49, "I key"},
    {"VK_J", 0x4A, "J key"},
    {"VK_K", 0x4B, "K key"},
    {"VK_L", 0x4C, "L key"},
    {"VK_M", 0x4D, "M key"},
    {"VK_N", 0x4E, "N key"},
    {"VK_O", 0x4F, "O key"},
    {"VK_P", 0x50, "P key"},
    {"VK_Q", 0x51, "Q key"},
    {"VK_R", 0x52, "R key"},
    {"VK_S", 0x53, "S key"},
    {"VK_T", 0x54, "T key"},
    {"VK_U", 0x55, "U key"},
    {"VK_V", 0x56, "V key"},
    {"VK_W", 0x57, "W key"},
    {"VK_X", 0x58, "X key"},
    {"VK_Y", 0x59, "Y key"},
    {"VK_Z", 0x5A, "Z key"},
    {"VK_LWIN", 0x5B, "Left Windows key (Microsoft Natural keyboard)"},
    {"VK_RWIN", 0x5C, "Right Windows key (Natural keyboard)"},
    {"VK_APPS", 0x5D, "Applications key (Natural keyboard)"},
    {"VK_NUMPAD0", 0x60, "Numeric keypad 0 key"},
    {"VK_NUMPAD1", 0x61, "Numeric keypad 1 key"},
    {"VK_NUMPAD2", 0x62, "Numeric keypad 2 key"},
    {"VK_NUMPAD3", 0x63, "Numeric keypad 3 key"},
    {"VK_NUMPAD4", 0x64, "Numeric keypad 4 key"},
    {"VK_NUMPAD5", 0x65, "Numeric keypad 5 key"},
    {"VK_NUMPAD6", 0x66, "Numeric keypad 6 key"},
    {"VK_NUMPAD7", 0x67, "Numeric keypad 7 key"},
    {"VK_NUMPAD8", 0x68, "Numeric keypad 8 key"},
    {"VK_NUMPAD9", 0x69, "Numeric keypad 9 key"},
    {"VK_MULTIPLY", 0x6A, "Multiply key"},
    {"VK_ADD", 0x6B, "Add key"},
    {"VK_SEPARATOR", 0x6C, "Separator key"},
    {"VK_SUBTRACT", 0x6D, "Subtract key"},
    {"VK_DECIMAL", 0x6E, "Decimal key"},
    {"VK_DIVIDE", 0x6F, "Divide key"},
    {"VK_F1", 0x70, "F1 key"},
    {"VK_F2", 0x71, "F2 key"},
    {"VK_F3", 0x72, "F3 key"},
    {"VK_F4", 0x73, "F4 key"},
    {"VK_F5", 0x74, "F5 key"},
    {"VK_F6", 0x75, "F6 key"},
    {"VK_F7", 0x76, "F7 key"},
    {"VK_F8", 0x77, "F8 key"},
    {"VK_F9", 0x78, "F9 key"},
    {"VK_F10", 0x79, "F10 key"},
    {"VK_F11", 0x7A, "F11 key"},
    {"VK_F12", 0x7B, "F12 key"},
    {"VK_F13", 0x7C, "F13 key"},
    {"VK_F14", 0x7D, "F14 key"},
    {"VK_F15", 0x7E, "F15 key"},
    {"VK_F16", 0x7F, "F16 key"},
    {"VK_F17", 0x80, "F17 key"},
    {"VK_F18", 0x81, "F18 key"},
    {"VK_F19", 0x82, "F19 key"},
    {"VK_F20", 0x83, "F20 key"},
    {"VK_F21", 0x84, "F21 key"},
    {"VK_F22", 0x85, "F22 key"},
    {"VK_F23", 0x86, "F23 key"},
    {"VK_F24", 0x87, "F24 key"},
    {"VK_NUMLOCK", 0x90, "NUM LOCK key"},
    {"VK_SCROLL", 0x91, "SCROLL LOCK key"},
    {"VK_ATTN", 0xF6, "Attn key"},
    {"VK_CRSEL", 0xF7, "CrSel key"},
    {"VK_EXSEL", 0xF8, "ExSel key"},
    {"VK_EREOF", 0xF9, "Erase EOF key"},
    {"VK_PLAY", 0xFA, "Play key"},
    {"VK_ZOOM", 0xFB, "Zoom key"},
    {"VK_NONAME", 0xFC, "Reserved for future use."},
    {"VK_PA1", 0xFD, "PA1 key"},
    {"VK_OEM_CLEAR", 0xFE, "Clear key"},
};

struct MessageName
{
    quint32 Msg;
    const char *Name;
};

// Sorted by number (binary search below).
constexpr MessageName kMessages[] = {
    {0x0000, "WM_NULL"},
    {0x0001, "WM_CREATE"},
    {0x0002, "WM_DESTROY"},
    {0x0003, "WM_MOVE"},
    {0x0005, "WM_SIZE"},
    {0x0006, "WM_ACTIVATE"},
    {0x0007, "WM_SETFOCUS"},
    {0x0008, "WM_KILLFOCUS"},
    {0x000A, "WM_ENABLE"},
    {0x000B, "WM_SETREDRAW"},
    {0x000C, "WM_SETTEXT"},
    {0x000D, "WM_GETTEXT"},
    {0x000E, "WM_GETTEXTLENGTH"},
    {0x000F, "WM_PAINT"},
    {0x0010, "WM_CLOSE"},
    {0x0011, "WM_QUERYENDSESSION"},
    {0x0012, "WM_QUIT"},
    {0x0013, "WM_QUERYOPEN"},
    {0x0014, "WM_ERASEBKGND"},
    {0x0015, "WM_SYSCOLORCHANGE"},
    {0x0016, "WM_ENDSESSION"},
    {0x0017, "WM_SYSTEMERROR"},
    {0x0018, "WM_SHOWWINDOW"},
    {0x0019, "WM_CTLCOLOR"},
    {0x001A, "WM_WININICHANGE"},
    {0x001B, "WM_DEVMODECHANGE"},
    {0x001C, "WM_ACTIVATEAPP"},
    {0x001D, "WM_FONTCHANGE"},
    {0x001E, "WM_TIMECHANGE"},
    {0x001F, "WM_CANCELMODE"},
    {0x0020, "WM_SETCURSOR"},
    {0x0021, "WM_MOUSEACTIVATE"},
    {0x0022, "WM_CHILDACTIVATE"},
    {0x0023, "WM_QUEUESYNC"},
    {0x0024, "WM_GETMINMAXINFO"},
    {0x0026, "WM_PAINTICON"},
    {0x0027, "WM_ICONERASEBKGND"},
    {0x0028, "WM_NEXTDLGCTL"},
    {0x002A, "WM_SPOOLERSTATUS"},
    {0x002B, "WM_DRAWITEM"},
    {0x002C, "WM_MEASUREITEM"},
    {0x002D, "WM_DELETEITEM"},
    {0x002E, "WM_VKEYTOITEM"},
    {0x002F, "WM_CHARTOITEM"},
    {0x0030, "WM_SETFONT"},
    {0x0031, "WM_GETFONT"},
    {0x0032, "WM_SETHOTKEY"},
    {0x0033, "WM_GETHOTKEY"},
    {0x0037, "WM_QUERYDRAGICON"},
    {0x0039, "WM_COMPAREITEM"},
    {0x003D, "WM_GETOBJECT"},
    {0x0041, "WM_COMPACTING"},
    {0x0044, "WM_COMMNOTIFY"},
    {0x0046, "WM_WINDOWPOSCHANGING"},
    {0x0047, "WM_WINDOWPOSCHANGED"},
    {0x0048, "WM_POWER"},
    {0x004A, "WM_COPYDATA"},
    {0x004B, "WM_CANCELJOURNAL"},
    {0x004E, "WM_NOTIFY"},
    {0x0050, "WM_INPUTLANGCHANGEREQUEST"},
    {0x0051, "WM_INPUTLANGCHANGE"},
    {0x0052, "WM_TCARD"},
    {0x0053, "WM_HELP"},
    {0x0054, "WM_USERCHANGED"},
    {0x0055, "WM_NOTIFYFORMAT"},
    {0x007B, "WM_CONTEXTMENU"},
    {0x007C, "WM_STYLECHANGING"},
    {0x007D, "WM_STYLECHANGED"},
    {0x007E, "WM_DISPLAYCHANGE"},
    {0x007F, "WM_GETICON"},
    {0x0080, "WM_SETICON"},
    {0x0081, "WM_NCCREATE"},
    {0x0082, "WM_NCDESTROY"},
    {0x0083, "WM_NCCALCSIZE"},
    {0x0084, "WM_NCHITTEST"},
    {0x0085, "WM_NCPAINT"},
    {0x0086, "WM_NCACTIVATE"},
    {0x0087, "WM_GETDLGCODE"},
    {0x0088, "WM_SYNCPAINT"},
    {0x00A0, "WM_NCMOUSEMOVE"},
    {0x00A1, "WM_NCLBUTTONDOWN"},
    {0x00A2, "WM_NCLBUTTONUP"},
    {0x00A3, "WM_NCLBUTTONDBLCLK"},
    {0x00A4, "WM_NCRBUTTONDOWN"},
    {0x00A5, "WM_NCRBUTTONUP"},
    {0x00A6, "WM_NCRBUTTONDBLCLK"},
    {0x00A7, "WM_NCMBUTTONDOWN"},
    {0x00A8, "WM_NCMBUTTONUP"},
    {0x00A9, "WM_NCMBUTTONDBLCLK"},
    {0x00AB, "WM_NCXBUTTONDOWN"},
    {0x00AC, "WM_NCXBUTTONUP"},
    {0x00AD, "WM_NCXBUTTONDBLCLK"},
    {0x00FF, "WM_INPUT"},
    {0x0100, "WM_KEYDOWN"},
    {0x0101, "WM_KEYUP"},
    {0x0102, "WM_CHAR"},
    {0x0103, "WM_DEADCHAR"},
    {0x0104, "WM_SYSKEYDOWN"},
    {0x0105, "WM_SYSKEYUP"},
    {0x0106, "WM_SYSCHAR"},
    {0x0107, "WM_SYSDEADCHAR"},
    {0x0108, "WM_KEYLAST"},
    {0x0109, "WM_UNICHAR"},
    {0x010D, "WM_IME_STARTCOMPOSITION"},
    {0x010E, "WM_IME_ENDCOMPOSITION"},
    {0x010F, "WM_IME_COMPOSITION"},
    {0x0110, "WM_INITDIALOG"},
    {0x0111, "WM_COMMAND"},
    {0x0112, "WM_SYSCOMMAND"},
    {0x0113, "WM_TIMER"},
    {0x0114, "WM_HSCROLL"},
    {0x0115, "WM_VSCROLL"},
    {0x0116, "WM_INITMENU"},
    {0x0117, "WM_INITMENUPOPUP"},
    {0x011F, "WM_MENUSELECT"},
    {0x0120, "WM_MENUCHAR"},
    {0x0121, "WM_ENTERIDLE"},
    {0x0122, "WM_MENURBUTTONUP"},
    {0x0123, "WM_MENUDRAG"},
    {0x0124, "WM_MENUGETOBJECT"},
    {0x0125, "WM_UNINITMENUPOPUP"},
    {0x0126, "WM_MENUCOMMAND"},
    {0x0127, "WM_CHANGEUISTATE"},
    {0x0128, "WM_UPDATEUISTATE"},
    {0x0129, "WM_QUERYUISTATE"},
    {0x0132, "WM_CTLCOLORMSGBOX"},
    {0x0133, "WM_CTLCOLOREDIT"},
    {0x0134, "WM_CTLCOLORLISTBOX"},
    {0x0135, "WM_CTLCOLORBTN"},
    {0x0136, "WM_CTLCOLORDLG"},
    {0x0137, "WM_CTLCOLORSCROLLBAR"},
    {0x0138, "WM_CTLCOLORSTATIC"},
    {0x0200, "WM_MOUSEMOVE"},
    {0x0201, "WM_LBUTTONDOWN"},
    {0x0202, "WM_LBUTTONUP"},
    {0x0203, "WM_LBUTTONDBLCLK"},
    {0x0204, "WM_RBUTTONDOWN"},
    {0x0205, "WM_RBUTTONUP"},
    {0x0206, "WM_RBUTTONDBLCLK"},
    {0x0207, "WM_MBUTTONDOWN"},
    {0x0208, "WM_MBUTTONUP"},
    {0x0209, "WM_MBUTTONDBLCLK"},
    {0x020A, "WM_MOUSEWHEEL"},
    {0x020B, "WM_XBUTTONDOWN"},
    {0x020C, "WM_XBUTTONUP"},
    {0x020D, "WM_XBUTTONDBLCLK"},
    {0x020E, "WM_MOUSEHWHEEL"},
    {0x0210, "WM_PARENTNOTIFY"},
    {0x0211, "WM_ENTERMENULOOP"},
    {0x0212, "WM_EXITMENULOOP"},
    {0x0213, "WM_NEXTMENU"},
    {0x0214, "WM_SIZING"},
    {0x0215, "WM_CAPTURECHANGED"},
    {0x0216, "WM_MOVING"},
    {0x0218, "WM_POWERBROADCAST"},
    {0x0219, "WM_DEVICECHANGE"},
    {0x0220, "WM_MDICREATE"},
    {0x0221, "WM_MDIDESTROY"},
    {0x0222, "WM_MDIACTIVATE"},
    {0x0223, "WM_MDIRESTORE"},
    {0x0224, "WM_MDINEXT"},
    {0x0225, "WM_MDIMAXIMIZE"},
    {0x0226, "WM_MDITILE"},
    {0x0227, "WM_MDICASCADE"},
    {0x0228, "WM_MDIICONARRANGE"},
    {0x0229, "WM_MDIGETACTIVE"},
    {0x0230, "WM_MDISETMENU"},
    {0x0231, "WM_ENTERSIZEMOVE"},
    {0x0232, "WM_EXITSIZEMOVE"},
    {0x0233, "WM_DROPFILES"},
    {0x0234, "WM_MDIREFRESHMENU"},
    {0x0281, "WM_IME_SETCONTEXT"},
    {0x0282, "WM_IME_NOTIFY"},
    {0x0283, "WM_IME_CONTROL"},
    {0x0284, "WM_IME_COMPOSITIONFULL"},
    {0x0285, "WM_IME_SELECT"},
    {0x0286, "WM_IME_CHAR"},
    {0x0288, "WM_IME_REQUEST"},
    {0x0290, "WM_IME_KEYDOWN"},
    {0x0291, "WM_IME_KEYUP"},
    {0x02A0, "WM_NCMOUSEHOVER"},
    {0x02A1, "WM_MOUSEHOVER"},
    {0x02A2, "WM_NCMOUSELEAVE"},
    {0x02A3, "WM_MOUSELEAVE"},
    {0x0300, "WM_CUT"},
    {0x0301, "WM_COPY"},
    {0x0302, "WM_PASTE"},
    {0x0303, "WM_CLEAR"},
    {0x0304, "WM_UNDO"},
    {0x0305, "WM_RENDERFORMAT"},
    {0x0306, "WM_RENDERALLFORMATS"},
    {0x0307, "WM_DESTROYCLIPBOARD"},
    {0x0308, "WM_DRAWCLIPBOARD"},
    {0x0309, "WM_PAINTCLIPBOARD"},
    {0x030A, "WM_VSCROLLCLIPBOARD"},
    {0x030B, "WM_SIZECLIPBOARD"},
    {0x030C, "WM_ASKCBFORMATNAME"},
    {0x030D, "WM_CHANGECBCHAIN"},
    {0x030E, "WM_HSCROLLCLIPBOARD"},
    {0x030F, "WM_QUERYNEWPALETTE"},
    {0x0310, "WM_PALETTEISCHANGING"},
    {0x0311, "WM_PALETTECHANGED"},
    {0x0312, "WM_HOTKEY"},
    {0x0317, "WM_PRINT"},
    {0x0318, "WM_PRINTCLIENT"},
    {0x0319, "WM_APPCOMMAND"},
    {0x031A, "WM_THEMECHANGED"},
    {0x031D, "WM_CLIPBOARDUPDATE"},
    {0x0358, "WM_HANDHELDFIRST"},
    {0x035F, "WM_HANDHELDLAST"},
    {0x0360, "WM_AFXFIRST"},
    {0x037F, "WM_AFXLAST"},
    {0x0380, "WM_PENWINFIRST"},
    {0x038F, "WM_PENWINLAST"},
    {0x03E0, "WM_DDE_INITIATE"},
    {0x03E1, "WM_DDE_TERMINATE"},
    {0x03E2, "WM_DDE_ADVISE"},
    {0x03E3, "WM_DDE_UNADVISE"},
    {0x03E4, "WM_DDE_ACK"},
    {0x03E5, "WM_DDE_DATA"},
    {0x03E6, "WM_DDE_REQUEST"},
    {0x03E7, "WM_DDE_POKE"},
    {0x03E8, "WM_DDE_EXECUTE"},
    {0x0400, "WM_USER"},
    {0x8000, "WM_APP"},
};

constexpr quint32 WM_CREATE = 0x0001;
constexpr quint32 WM_DESTROY = 0x0002;
constexpr quint32 WM_SETTEXT = 0x000C;
constexpr quint32 WM_KEYDOWN = 0x0100;
constexpr quint32 WM_KEYUP = 0x0101;
constexpr quint32 WM_CHAR = 0x0102;
constexpr quint32 WM_SYSKEYDOWN = 0x0104;
constexpr quint32 WM_SYSKEYUP = 0x0105;
constexpr quint32 WM_SYSCHAR = 0x0106;
constexpr quint32 WM_MOUSEFIRST = 0x0200;
constexpr quint32 WM_MOUSELAST = 0x020E;
constexpr quint32 WM_PARENTNOTIFY = 0x0210;

const char *MessageNameOf(quint32 msg)
{
    const auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), msg,
                                     [](const MessageName &m, quint32 v) { return m.Msg < v; });
    return (it != std::end(kMessages) && it->Msg == msg) ? it->Name : nullptr;
}

QString Params(const TMessage &msg)
{
    return QStringLiteral(", WParam: %1, LParam: %2").arg(msg.WParam).arg(msg.LParam);
}

} // namespace

const TVirtualKeyInfo *VirtualKeyTable(int &count)
{
    count = int(std::size(kKeys));
    return kKeys;
}

QString GetVirtualKeyText(int code)
{
    for (const TVirtualKeyInfo &k : kKeys)
        if (k.Code == code)
            return QString::fromLatin1(k.Name) + QStringLiteral(" (") + QString::fromLatin1(k.Description) + u')';
    return QString::number(code);
}

namespace {
QString textAt(const char16_t *p)
{
    return p ? QString::fromUtf16(p) : QString();
}
} // namespace

QString GetWindowMessageText(const TMessage &msg)
{
    const char *name = MessageNameOf(msg.Msg);
    if (!name)
        return QStringLiteral("UNKNOWN: %1 (%2)").arg(msg.Msg, 0, 16).arg(msg.Msg);
    const QString text = QString::fromLatin1(name);
    switch (msg.Msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        // LParam packs repeat count, scan code and flags: shown in hex.
        return text + QStringLiteral(", WParam: ") + GetVirtualKeyText(int(msg.WParam))
            + QStringLiteral(", LParam: %1").arg(quint32(msg.LParam), 8, 16, QLatin1Char('0'));
    case WM_CHAR:
    case WM_SYSCHAR:
        return text + QStringLiteral(", WParam: %1 ('%2')").arg(msg.WParam).arg(QChar(char16_t(msg.WParam)));
    case WM_CREATE: {
        // LParam points at the creation record, as with the Windows message.
        const auto *cs = reinterpret_cast<const TCreateStruct *>(msg.LParam);
        if (!cs)
            return text + Params(msg);
        return text + QStringLiteral(", Name: ") + textAt(cs->lpszName) + QStringLiteral(", Class: ")
            + textAt(cs->lpszClass);
    }
    case WM_SETTEXT:
        // LParam points at the new text, ended by a zero.
        if (!msg.LParam)
            return text + Params(msg);
        return text + QStringLiteral(", Text: ") + textAt(reinterpret_cast<const char16_t *>(msg.LParam));
    case WM_PARENTNOTIFY: {
        // The event is a message number in the low word of WParam.
        const quint32 event = quint32(msg.WParam & 0xFFFF);
        const char *eventName = MessageNameOf(event);
        QString s = QStringLiteral("WM_PARENTNOTIFY, Event: ")
            + (eventName ? QString::fromLatin1(eventName) : QString::number(event));
        if (event == WM_CREATE || event == WM_DESTROY)
            s += QStringLiteral(", Child ID: %1").arg((msg.WParam >> 16) & 0xFFFF);
        else
            s += QStringLiteral(", X: %1, Y: %2").arg(qint16(msg.LParam & 0xFFFF)).arg(qint16((msg.LParam >> 16) & 0xFFFF));
        return s;
    }
    default:
        break;
    }
    if (msg.Msg >= WM_MOUSEFIRST && msg.Msg <= WM_MOUSELAST)
        return text + QStringLiteral(", X: %1, Y: %2").arg(qint16(msg.LParam & 0xFFFF)).arg(qint16((msg.LParam >> 16) & 0xFFFF));
    return text + Params(msg);
}

} // namespace zor
