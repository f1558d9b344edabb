// The HTML editor in Designer's widget box. Placing one starts Qt WebEngine
// (Chromium's helper process) inside Designer, as the running form will.
#include "WidgetCollection.h"

#include <ZorCompCore/htmleditor/ZORHtmlEditor.h>

namespace {

using namespace zor;
using zor::designer::RegisterWidget;

const bool registered =
    RegisterWidget({QStringLiteral("zor::TZORHtmlEditor"),
                    QStringLiteral("ZorCompCore/htmleditor/ZORHtmlEditor.h"),
                    QStringLiteral("HTML editor"),
                    QStringLiteral("A WYSIWYG HTML editor with a source view; the pictures of the text live "
                                   "in an image folder and are saved with it as BinHTML. Remote content is "
                                   "off unless AllowRemoteContent is set."),
                    QSize(480, 320),
                    [](QWidget *parent) -> QWidget * { return new TZORHtmlEditor(parent); },
                    [] { return QIcon::fromTheme(QStringLiteral("text-html")); }});

} // namespace
