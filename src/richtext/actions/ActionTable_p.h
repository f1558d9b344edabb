// The action table of TdmQEWPActions: every action of StdActions, in list
// order, with what the module sets up from it. Private to the module.
// scripts/gen_wpactions_texts.py derives the language tables, the module's
// form texts and the icon copies from it: run it after editing the table.
#pragma once

#include <ZorCompCore/richtext/actions/dmQEWPActions.h>

#include <QKeySequence>

#include <span>

namespace zor {

struct TWPActionDef
{
    const char *Name;      // object name ("WPABold1", "XA_New")
    const char *ClassName; // engine action class ("TWPABold"); null for a module action
    const char *Category;  // "" for none
    const char *German;    // design caption
    const char *English;
    const char *Icon;      // Breeze icon name; null for none
    int Tag = 0;
    bool Checkable = false;
    QKeySequence::StandardKey Key = QKeySequence::UnknownKey;
    void (TdmQEWPActions::*Handler)(QObject *Sender) = nullptr;
    const char *Dialog = nullptr; // the module dialog the action needs
    int Combo = -1;               // TWPComboKind of a combo action
    bool Disabled = false;        // never enabled
};

std::span<const TWPActionDef> WPActionTable();
// The distinct icon names of the table, in first-use order (StdIcons' order).
QStringList WPActionIconNames();

} // namespace zor
