#include <ZorCompCore/richtext/actions/WPLanguageControl.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
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
    QHash<QString, QHash<QString, QString>> forms;
    while (r.readNextStartElement()) {
        if (r.name() == u"action") {
            const QString name = r.attributes().value(QLatin1String("name")).toString().toLower();
            actions.insert(name, qMakePair(r.attributes().value(QLatin1String("caption")).toString(),
                                           r.attributes().value(QLatin1String("hint")).toString()));
            r.skipCurrentElement();
        } else if (r.name() == u"form") {
            QHash<QString, QString> &texts = forms[r.attributes().value(QLatin1String("name")).toString().toLower()];
            while (r.readNextStartElement()) {
                if (r.name() != u"text") {
                    r.skipCurrentElement();
                    continue;
                }
                const QString object = r.attributes().value(QLatin1String("name")).toString();
                texts.insert(object, r.readElementText());
            }
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
        m_forms.clear();
    }
    m_actions.insert(actions);
    m_strings.insert(strings);
    for (auto it = forms.cbegin(); it != forms.cend(); ++it)
        m_forms[it.key()].insert(it.value());
    if (!language.isEmpty() || !append)
        m_language = language;
    return true;
}

void TWPLanguageControl::Clear()
{
    m_language.clear();
    m_forms.clear();
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

namespace zor {

bool TWPLanguageControl::ApplyToForm(QWidget *form) const
{
    if (!form)
        return false;
    const auto it = m_forms.constFind(form->objectName().toLower());
    if (it == m_forms.cend())
        return false;
    for (auto t = it->cbegin(); t != it->cend(); ++t) {
        if (t.key() == form->objectName()) {
            form->setWindowTitle(t.value());
            continue;
        }
        QObject *child = form->findChild<QObject *>(t.key());
        if (auto *label = qobject_cast<QLabel *>(child))
            label->setText(t.value());
        else if (auto *button = qobject_cast<QAbstractButton *>(child))
            button->setText(t.value());
        else if (auto *group = qobject_cast<QGroupBox *>(child))
            group->setTitle(t.value());
        else if (auto *action = qobject_cast<QAction *>(child))
            action->setText(t.value());
        else if (auto *combo = qobject_cast<QComboBox *>(child)) {
            // A list filled in code: its entries in order, separated by commas.
            const QStringList entries = t.value().split(u',');
            for (int i = 0; i < combo->count() && i < entries.size(); ++i)
                combo->setItemText(i, entries[i]);
        }
        else if (auto *page = qobject_cast<QWidget *>(child)) {
            // A tab page: its title is the tab's text.
            page->setWindowTitle(t.value());
            if (auto *tabs = qobject_cast<QTabWidget *>(page->parentWidget() ? page->parentWidget()->parentWidget() : nullptr))
                tabs->setTabText(tabs->indexOf(page), t.value());
        }
    }
    return true;
}

} // namespace zor
