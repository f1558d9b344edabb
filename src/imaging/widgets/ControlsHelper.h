// DPI arithmetic for widgets and forms: design-time pixel values (counted at
// the form's PixelsPerInch, 96 unless the form says otherwise) scaled to the
// resolution of the screen a widget is on, and back.
//
// A form is a QDialog, a QMainWindow or any widget carrying the dynamic
// property "PixelsPerInch" (IsForm). A widget's current PPI is that of its
// screen: round(logical DPI × device pixel ratio). Results are device pixels;
// Qt already scales widget geometry, so use them for pixmaps and pixel-exact
// drawing. Every division is MulDiv (halves away from zero).
#pragma once

#include <ZorCompCore/zor_export.h>

class QWidget;

namespace zor {

// True for widgets that count as forms (see above).
ZOR_EXPORT bool IsForm(const QWidget *Widget);
// The "PixelsPerInch" property of a form; 96 when unset, 0 or not a number.
ZOR_EXPORT int FormPixelsPerInch(const QWidget *Form);
// The PPI of the screen the widget is on (ScreenPPI without a widget).
ZOR_EXPORT int CurrentPPI(const QWidget *Widget);

class ZOR_EXPORT TZORControlHelper
{
public:
    // The nearest form from the control upwards (the control itself when it
    // is one), not necessarily the top-level window; nullptr when none.
    static QWidget *GetParentForm(QWidget *Control);
    // Without a parent form: MulDiv(Value, ScreenPPI, 96); else
    // MulDiv(Value, UseCurrent ? the control's PPI : ScreenPPI, Form.PixelsPerInch).
    static int ScaleDesignDimToDPI(QWidget *Control, int Value, bool UseCurrent);
    // The inverse of ScaleDesignDimToDPI.
    static int ScaleDimToDesignDPI(QWidget *Control, int Value, bool UseCurrent);
    // MulDiv(Value, the control's PPI, DPI); ScreenPPI without a control.
    static int ScaleDimToDPI(QWidget *Control, int Value, int DPI);
};

// The control-helper forms with the current PPI always used.
class ZOR_EXPORT THiDPIWinControlHelper
{
public:
    static int ScaleDesignDimToDPI(QWidget *Control, int Value, bool UseCurrent = true);
    static int ScaleDimToDesignDPI(QWidget *Control, int Value, bool UseCurrent = true);
    static int ScaleDimToDPI(QWidget *Control, int Value, int DPI);
};

class ZOR_EXPORT THiDPIFormHelper
{
public:
    // MulDiv(Value, UseMonitor ? the form's screen PPI : ScreenPPI, Form.PixelsPerInch).
    static int ScaleDesignDimToDPI(QWidget *Form, int Value, bool UseMonitor);
    static int ScaleDimToDesignDPI(QWidget *Form, int Value, bool UseMonitor);
    // MulDiv(Value, the form's current PPI, DPI) and its inverse.
    static int ScaleDimToDPI(QWidget *Form, int Value, int DPI);
    static int ScaleDPIToDim(QWidget *Form, int Value, int DPI);
};

} // namespace zor
