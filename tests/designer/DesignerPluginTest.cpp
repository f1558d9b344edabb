// The Designer plugin loaded through QPluginLoader, as Designer loads it: the
// library's widgets under "quenlor", each one built by createWidget and
// described so that a form using it compiles.
#include <ZorCompCore/controls/AnimatedProgressBar.h>
#include <ZorCompCore/controls/ZORImageSlider.h>

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QCoreApplication>
#include <QFileInfo>
#include <QPluginLoader>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

#include <unistd.h>

namespace {

QList<QDesignerCustomWidgetInterface *> loadWidgets(QPluginLoader &loader)
{
    QObject *instance = loader.instance();
    EXPECT_NE(instance, nullptr) << qPrintable(loader.errorString());
    auto *collection = qobject_cast<QDesignerCustomWidgetCollectionInterface *>(instance);
    EXPECT_NE(collection, nullptr) << "the plugin's object is not a widget collection";
    return collection ? collection->customWidgets() : QList<QDesignerCustomWidgetInterface *>();
}

// The class and object name of the widget a new form element starts as.
std::pair<QString, QString> domWidget(const QString &AXml)
{
    QXmlStreamReader xml(AXml);
    while (xml.readNextStartElement()) {
        if (xml.name() == u"widget")
            return {xml.attributes().value(QLatin1String("class")).toString(),
                    xml.attributes().value(QLatin1String("name")).toString()};
        if (xml.name() != u"ui")
            xml.skipCurrentElement();
    }
    return {};
}

#ifdef ZOR_DESIGNER_HTMLEDITOR
// Building the HTML editor starts Qt WebEngine, which wants shared OpenGL
// contexts before the application exists (Designer sets them), and Chromium,
// whose sandbox cannot run as root. Set before the test main runs.
const bool webEngineReady = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return true;
}();
#endif

TEST(DesignerPlugin, ListsTheControlsUnderQuenlorAndBuildsEach)
{
    QPluginLoader loader(QStringLiteral(ZOR_DESIGNER_PLUGIN));
    const QList<QDesignerCustomWidgetInterface *> widgets = loadWidgets(loader);

    // What createWidget must build for each name Designer shows.
    const std::map<QString, const QMetaObject *> expected = {
        {QStringLiteral("zor::TZORLoadingImageAnimation"), &zor::TZORLoadingImageAnimation::staticMetaObject},
        {QStringLiteral("zor::TZORSpriteImageSlider"), &zor::TZORSpriteImageSlider::staticMetaObject},
        {QStringLiteral("zor::TAnimatedProgressBar"), &zor::TAnimatedProgressBar::staticMetaObject},
#ifdef ZOR_DESIGNER_HTMLEDITOR
        // Its own library, not linked here: the class name is checked.
        {QStringLiteral("zor::TZORHtmlEditor"), nullptr},
#endif
    };
    std::map<QString, int> seen;
    for (QDesignerCustomWidgetInterface *w : widgets) {
        SCOPED_TRACE(w->name().toStdString());
        ++seen[w->name()];
        EXPECT_EQ(w->group(), QStringLiteral("quenlor"));
        EXPECT_FALSE(w->isContainer());
        EXPECT_FALSE(w->toolTip().isEmpty());

        QWidget parent;
        QWidget *made = w->createWidget(&parent);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->parentWidget(), &parent);
        EXPECT_EQ(QString::fromLatin1(made->metaObject()->className()), w->name());
        if (auto it = expected.find(w->name()); it != expected.end() && it->second) {
            EXPECT_EQ(made->metaObject(), it->second);
        }

        // uic writes #include <includeFile>, so it must name an installed header.
        const QString header = w->includeFile();
        ASSERT_TRUE(header.startsWith(QStringLiteral("ZorCompCore/")));
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(ZOR_SOURCE_DIR "/src/") + header.mid(12)));

        // The element Designer puts on a form is of the class it lists.
        const auto [cls, name] = domWidget(w->domXml());
        EXPECT_EQ(cls, w->name());
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(name.contains(u':'));
    }
    for (const auto &[name, meta] : expected)
        EXPECT_EQ(seen[name], 1) << qPrintable(name) << " listed " << seen[name] << " times";
    EXPECT_EQ(seen.size(), expected.size());
}

TEST(DesignerPlugin, NewWidgetsStartAsTheyAreMeantToBeUsed)
{
    QPluginLoader loader(QStringLiteral(ZOR_DESIGNER_PLUGIN));
    for (QDesignerCustomWidgetInterface *w : loadWidgets(loader)) {
        SCOPED_TRACE(w->name().toStdString());
        const QString xml = w->domXml();
        // A busy indicator dropped at Designer's default size would show a
        // cut frame: the form starts each widget at the size it is drawn for.
        if (w->name() == u"zor::TAnimatedProgressBar") {
            EXPECT_TRUE(xml.contains(QStringLiteral("<width>200</width><height>9</height>")));
        }
        if (w->name() == u"zor::TZORLoadingImageAnimation") {
            EXPECT_TRUE(xml.contains(QStringLiteral("<width>32</width><height>32</height>")));
            EXPECT_FALSE(w->icon().isNull()); // a frame of the built-in sheet
        }
    }
}

} // namespace
