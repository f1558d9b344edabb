#include <ZorCompCore/richtext/actions/WPLanguageControl.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

namespace zor {

namespace {
const QString ResourceFolder = QStringLiteral(":/zor/wptools");
QString g_language;
} // namespace

TWPLanguageControl::TWPLanguageControl(QObject *parent) : QObject(parent) {}
TWPLanguageControl::~TWPLanguageControl() = default;

bool TWPLanguageControl::LoadFromXml(const QByteArray &xml, bool append)
{
    QXmlStreamReader r(xml);
    if (!r.readNextStartElement() || r.name() != u"wptools")
        return false;
    QString language = r.attributes().value(QLatin1String("language")).toString();
    QHash<QString, QPair<QString, QString>> actions;
    QHash<int, QString> strings;
    while (r.readNextStartElement()) {
        if (r.name() == u"action") {
            const QString name = r.attributes().value(QLatin1String("name")).toString().toLower();
            actions.insert(name, qMakePair(r.attributes().value(QLatin1String("caption")).toString(),
                                           r.attributes().value(QLatin1String("hint")).toString()));
            r.skipCurrentElement();
        } else if (r.name() == u"string") {
            bool ok = false;
            const int id = r.attributes().value(QLatin1String("id")).toInt(&ok);
            const QString text = r.readElementText();
            if (ok)
                strings.insert(id, text);
        } else {
            r.skipCurrentElement();
        }
    }
    if (r.hasError())
        return false;
    if (!append) {
        m_actions.clear();
        m_strings.clear();
    }
    m_actions.insert(actions);
    m_strings.insert(strings);
    if (!language.isEmpty() || !append)
        m_language = language;
    return true;
}

void TWPLanguageControl::Clear()
{
    m_language.clear();
    m_actions.clear();
    m_strings.clear();
}

QString TWPLanguageControl::Caption(const QString &actionName) const
{
    return m_actions.value(actionName.toLower()).first;
}

QString TWPLanguageControl::Hint(const QString &actionName) const
{
    return m_actions.value(actionName.toLower()).second;
}

QString TWPLanguageControl::GetString(int id, const QString &defaultText) const
{
    return m_strings.value(id, defaultText);
}

void TWPLanguageControl::ApplyToActions(const QList<QAction *> &actions) const
{
    for (QAction *a : actions) {
        const auto it = m_actions.constFind(a->objectName().toLower());
        if (it == m_actions.constEnd())
            continue;
        if (!it->first.isEmpty())
            a->setText(it->first);
        if (!it->second.isEmpty())
            a->setToolTip(it->second);
    }
}

QStringList WPLanguageResourceNames()
{
    return QDir(ResourceFolder).entryList(QDir::Files, QDir::Name);
}

QByteArray WPLanguageResource(const QString &name)
{
    for (const QString &entry : WPLanguageResourceNames()) {
        if (entry.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QFile f(ResourceFolder + u'/' + entry);
        if (f.open(QIODevice::ReadOnly))
            return f.readAll();
    }
    return {};
}

QString WPGlobalLanguage() { return g_language; }
void SetWPGlobalLanguage(const QString &code) { g_language = code; }

} // namespace zor
