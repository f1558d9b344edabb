#include "WidgetCollection.h"

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QObject>

namespace zor::designer {

namespace {

std::vector<WidgetDescription> &registry()
{
    static std::vector<WidgetDescription> widgets;
    return widgets;
}

// The object name Designer gives the first widget of a class on a form:
// "zor::TAnimatedProgressBar" -> "animatedProgressBar".
QString defaultObjectName(const QString &AClassName)
{
    QString name = AClassName.section(QStringLiteral("::"), -1);
    if (name.size() > 1 && name[0] == u'T' && name[1].isUpper())
        name.remove(0, 1);
    if (!name.isEmpty())
        name[0] = name[0].toLower();
    return name;
}

class DescribedWidget : public QObject, public QDesignerCustomWidgetInterface
{
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)
public:
    DescribedWidget(const WidgetDescription &ADescription, QObject *AParent)
        : QObject(AParent), FDescription(ADescription)
    {
    }

    QString name() const override { return FDescription.ClassName; }
    QString group() const override { return cWidgetGroup; }
    QString toolTip() const override { return FDescription.ToolTip; }
    QString whatsThis() const override { return FDescription.WhatsThis; }
    QString includeFile() const override { return FDescription.IncludeFile; }
    QIcon icon() const override { return FDescription.Icon ? FDescription.Icon() : QIcon(); }
    bool isContainer() const override { return false; }
    QWidget *createWidget(QWidget *AParent) override { return FDescription.Create(AParent); }
    bool isInitialized() const override { return FInitialized; }
    void initialize(QDesignerFormEditorInterface *) override { FInitialized = true; }

    QString domXml() const override
    {
        QString xml = QStringLiteral("<ui language=\"c++\">\n <widget class=\"%1\" name=\"%2\">\n")
                          .arg(FDescription.ClassName, defaultObjectName(FDescription.ClassName));
        if (!FDescription.DefaultSize.isEmpty())
            xml += QStringLiteral("  <property name=\"geometry\">\n   <rect><x>0</x><y>0</y>"
                                  "<width>%1</width><height>%2</height></rect>\n  </property>\n")
                       .arg(FDescription.DefaultSize.width())
                       .arg(FDescription.DefaultSize.height());
        xml += QStringLiteral(" </widget>\n</ui>\n");
        return xml;
    }

private:
    WidgetDescription FDescription;
    bool FInitialized = false;
};

// What Designer loads: the plugin's one object, listing every registered widget.
class WidgetCollection : public QObject, public QDesignerCustomWidgetCollectionInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)
public:
    explicit WidgetCollection(QObject *AParent = nullptr) : QObject(AParent)
    {
        for (const WidgetDescription &w : registry())
            FWidgets.append(new DescribedWidget(w, this));
    }

    QList<QDesignerCustomWidgetInterface *> customWidgets() const override { return FWidgets; }

private:
    QList<QDesignerCustomWidgetInterface *> FWidgets;
};

} // namespace

bool RegisterWidget(WidgetDescription ADescription)
{
    registry().push_back(std::move(ADescription));
    return true;
}

const std::vector<WidgetDescription> &RegisteredWidgets()
{
    return registry();
}

} // namespace zor::designer

#include "WidgetCollection.moc"
