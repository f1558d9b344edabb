#include "ControlsHelper.h"

#include <ZorCompCore/imaging/HiDPI.h>
#include <ZorCompCore/platform/MulDiv.h>

#include <QDialog>
#include <QMainWindow>
#include <QVariant>
#include <QWidget>

namespace zor {

bool IsForm(const QWidget *Widget)
{
    return Widget
           && (qobject_cast<const QDialog *>(Widget) || qobject_cast<const QMainWindow *>(Widget)
               || Widget->property("PixelsPerInch").isValid());
}

int FormPixelsPerInch(const QWidget *Form)
{
    bool ok = false;
    const int ppi = Form ? Form->property("PixelsPerInch").toInt(&ok) : 0;
    return ok && ppi > 0 ? ppi : 96;
}

int CurrentPPI(const QWidget *Widget)
{
    return Widget ? ScreenPPI(Widget->screen()) : ScreenPPI();
}

QWidget *TZORControlHelper::GetParentForm(QWidget *Control)
{
    for (QWidget *w = Control; w; w = w->parentWidget())
        if (IsForm(w))
            return w;
    return nullptr;
}

int TZORControlHelper::ScaleDesignDimToDPI(QWidget *Control, int Value, bool UseCurrent)
{
    const QWidget *form = GetParentForm(Control);
    if (!form)
        return MulDiv(Value, ScreenPPI(), 96);
    return MulDiv(Value, UseCurrent ? CurrentPPI(Control) : ScreenPPI(), FormPixelsPerInch(form));
}

int TZORControlHelper::ScaleDimToDesignDPI(QWidget *Control, int Value, bool UseCurrent)
{
    const QWidget *form = GetParentForm(Control);
    if (!form)
        return MulDiv(Value, 96, ScreenPPI());
    return MulDiv(Value, FormPixelsPerInch(form), UseCurrent ? CurrentPPI(Control) : ScreenPPI());
}

int TZORControlHelper::ScaleDimToDPI(QWidget *Control, int Value, int DPI)
{
    return MulDiv(Value, CurrentPPI(Control), DPI);
}

int THiDPIWinControlHelper::ScaleDesignDimToDPI(QWidget *Control, int Value, bool)
{
    return TZORControlHelper::ScaleDesignDimToDPI(Control, Value, true);
}

int THiDPIWinControlHelper::ScaleDimToDesignDPI(QWidget *Control, int Value, bool)
{
    return TZORControlHelper::ScaleDimToDesignDPI(Control, Value, true);
}

int THiDPIWinControlHelper::ScaleDimToDPI(QWidget *Control, int Value, int DPI)
{
    return MulDiv(Value, CurrentPPI(Control), DPI);
}

int THiDPIFormHelper::ScaleDesignDimToDPI(QWidget *Form, int Value, bool UseMonitor)
{
    return MulDiv(Value, UseMonitor ? CurrentPPI(Form) : ScreenPPI(), FormPixelsPerInch(Form));
}

int THiDPIFormHelper::ScaleDimToDesignDPI(QWidget *Form, int Value, bool UseMonitor)
{
    return MulDiv(Value, FormPixelsPerInch(Form), UseMonitor ? CurrentPPI(Form) : ScreenPPI());
}

int THiDPIFormHelper::ScaleDimToDPI(QWidget *Form, int Value, int DPI)
{
    return MulDiv(Value, CurrentPPI(Form), DPI);
}

int THiDPIFormHelper::ScaleDPIToDim(QWidget *Form, int Value, int DPI)
{
    return MulDiv(Value, DPI, CurrentPPI(Form));
}

} // namespace zor
