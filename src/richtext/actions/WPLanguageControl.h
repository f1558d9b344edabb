// The engine's own texts in one language: captions and hints of its actions
// (by action name) and numbered strings (input-query captions and prompts,
// combo texts). They are read from small XML tables compiled into the
// library as resources, one per language ("WPTOOLS_DE_XML") and optionally
// one with additions ("WPTOOLS_DE_ADDED_XML"):
//
//   <wptools language="DE">
//     <action name="WPABold1" caption="Fett" hint="Fett"/>
//     <string id="98">Feld einfügen</string>
//     <form name="WPFindDlg">               (a form's object name)
//       <text name="lblFind">&amp;Suchen nach:</text>   (a child's, or the form's title)
//       <text name="cbKind">Kopf,Daten</text>   (a combo box's entries, in order)
//     </form>
//   </wptools>
//
// Loading replaces what was held; appending merges over it. The engine's
// global language is the code of the table loaded last (empty: none yet).
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QHash>
#include <QObject>
#include <QString>

class QAction;
class QWidget;

namespace zor {

class ZOR_EXPORT TWPLanguageControl : public QObject
{
    Q_OBJECT
public:
    explicit TWPLanguageControl(QObject *parent = nullptr);
    ~TWPLanguageControl() override;

    // Reads a table; false (and nothing changed) when it is no such table.
    bool LoadFromXml(const QByteArray &xml, bool append = false);
    void Clear();
    // The language code of the table loaded last ("DE"); empty when none.
    QString Language() const { return m_language; }

    // Empty when the table has none.
    QString Caption(const QString &actionName) const;
    QString Hint(const QString &actionName) const;
    // The numbered string, or defaultText when the table has none.
    QString GetString(int id, const QString &defaultText = {}) const;
    // Gives every action the table knows its caption and hint.
    void ApplyToActions(const QList<QAction *> &actions) const;
    // Gives a form and its children the texts the table has for them (by
    // the form's object name); false when it has none for that form.
    bool ApplyToForm(QWidget *form) const;

private:
    QString m_language;
    QHash<QString, QPair<QString, QString>> m_actions; // lower-case name -> caption, hint
    QHash<int, QString> m_strings;
    QHash<QString, QHash<QString, QString>> m_forms; // lower-case form -> object -> text
};

// The bytes of a language resource by name, matched ignoring case
// ("WPTools_de_XML"); empty when the library has none of that name.
ZOR_EXPORT QByteArray WPLanguageResource(const QString &name);
// The names of the language resources the library carries.
ZOR_EXPORT QStringList WPLanguageResourceNames();

// The engine's global language code ("DE"); empty until one is loaded.
ZOR_EXPORT QString WPGlobalLanguage();
ZOR_EXPORT void SetWPGlobalLanguage(const QString &code);

} // namespace zor
