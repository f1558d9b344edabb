// The widget collection Qt Designer loads: every widget of the library,
// under the group "quenlor". Each widget folder describes its widgets in a
// <folder>_widgets.cpp of this folder and registers them at load time:
//
//   const bool registered = zor::designer::RegisterWidget({
//       QStringLiteral("zor::TAnimatedProgressBar"),
//       QStringLiteral("ZorCompCore/controls/AnimatedProgressBar.h"), ...,
//       [](QWidget *parent) -> QWidget * { return new TAnimatedProgressBar(parent); }});
//
// The collection then offers one Designer widget interface per description.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace zor::designer {

// The Designer group all of the library's widgets appear under.
inline const QString cWidgetGroup = QStringLiteral("quenlor");

struct WidgetDescription
{
    QString ClassName;   // with its namespace, as generated code names it
    QString IncludeFile; // as applications include it: "ZorCompCore/<folder>/<Unit>.h"
    QString ToolTip;     // one line for the widget box
    QString WhatsThis;   // a few sentences
    QSize DefaultSize;   // of a new widget on the form; empty: its size hint
    std::function<QWidget *(QWidget *AParent)> Create;
    std::function<QIcon()> Icon; // may be empty (Designer's default icon)
};

bool RegisterWidget(WidgetDescription ADescription);
const std::vector<WidgetDescription> &RegisteredWidgets();

} // namespace zor::designer
