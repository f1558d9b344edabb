// zorcc rtf spell FILE [--language L] [--json] [--no-suggestions]
// Misspelt words of a rich-text document's main text: their positions (as
// the editor's caret counts them), the words and Hunspell's suggestions. The
// language is an LCID (1031, 1033, 2057, 1036, 1040) or a code (de_DE);
// without one, the spell checker's setting (German until changed). The
// personal word lists "Add" wrote are used, as in the editors.
#include "richtext_rtfspell.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>

#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;
using namespace zor;

int zorcc::runRtfSpell(const QStringList &args, Io &io)
{
    QStringList files;
    QString language;
    bool asJson = false, suggestions = true;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--json") {
            asJson = true;
        } else if (args[i] == u"--no-suggestions") {
            suggestions = false;
        } else if (args[i] == u"--language") {
            if (++i >= args.size())
                throw UsageError{QStringLiteral("--language needs a value")};
            language = args[i];
        } else if (args[i].startsWith(u"--")) {
            throw UsageError{QStringLiteral("unknown option %1").arg(args[i])};
        } else {
            files << args[i];
        }
    }
    if (files.size() != 1)
        throw UsageError{QStringLiteral("spell needs one FILE")};

    TWPSpellController speller;
    speller.SetActive(true);
    // --language is for this run: it must not become the user's setting.
    int lcid = speller.CurrentLanguage();
    if (!language.isEmpty()) {
        lcid = TWPSpellController::LanguageId(language);
        if (!lcid)
            throw UsageError{QStringLiteral("unknown language '%1' (1031 de_DE, 1033 en_US, 2057 en_GB, "
                                            "1036 fr_FR, 1040 it_IT)").arg(language)};
    }
    if (!speller.LanguageAvailable(lcid))
        throw InputError{speller.LastError()};

    TWPCustomRtfEdit edit;
    if (!edit.LoadFromFile(files[0]))
        throw InputError{edit.LastError()};

    json list = json::array();
    QHash<QString, QStringList> suggested;  // a word wrong twice is looked up once
    const QTextDocument *doc = edit.Document().Text();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (const TWPSpellError &e : speller.CheckText(b.text(), lcid)) {
            if (suggestions && !suggested.contains(e.Word))
                suggested.insert(e.Word, speller.Suggest(e.Word, lcid));
            json s = json::array();
            for (const QString &w : suggested.value(e.Word))
                s.push_back(w.toStdString());
            list.push_back({{"offset", b.position() + e.Start}, {"length", e.Length},
                            {"word", e.Word.toStdString()}, {"suggestions", s}});
        }
    }
    if (asJson) {
        const json j = {{"file", files[0].toStdString()}, {"language", lcid},
                        {"languageCode", TWPSpellController::LanguageCode(lcid).toStdString()},
                        {"misspellings", list}};
        io.out << QString::fromStdString(j.dump(2)) << '\n';
        return 0;
    }
    for (const json &m : list) {
        QStringList s;
        for (const json &w : m["suggestions"])
            s << QString::fromStdString(w.get<std::string>());
        io.out << m["offset"].get<int>() << '\t' << QString::fromStdString(m["word"].get<std::string>()) << '\t'
               << s.join(QStringLiteral(", ")) << '\n';
    }
    return 0;
}
