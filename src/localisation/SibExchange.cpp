#include <ZorCompCore/localisation/SibExchange.h>

#include <ZorCompCore/localisation/LanguageCodes.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/Exception.h>

#include <QSet>
#include <QStringDecoder>
#include <QXmlStreamReader>

namespace zor {

static_assert(SIBExtendedType == StringsTypeCount, "extended items follow the collections");

namespace {

const QLatin1String ExtendedTypeName("Extended");

[[noreturn]] void readError(qint64 line, const QString &what)
{
    throw EReadError(QStringLiteral("line %1: %2").arg(line).arg(what));
}

QString typeName(int AType)
{
    return AType == SIBExtendedType ? QString(ExtendedTypeName) : StringsTypeName(TStringsType(AType));
}

// "<type>:<ID>", the part of a message's key after the form.
QString textKey(int AType, const QString &AID)
{
    return typeName(AType) + u':' + AID;
}

bool parseTextKey(QStringView AKey, int &AType, QString &AID)
{
    const qsizetype colon = AKey.indexOf(u':');
    if (colon <= 0)
        return false;
    const QStringView name = AKey.left(colon);
    AType = -1;
    for (int t = 0; t <= SIBExtendedType && AType < 0; ++t)
        if (name.compare(typeName(t), Qt::CaseInsensitive) == 0)
            AType = t;
    AID = AKey.mid(colon + 1).toString();
    return AType >= 0;
}

// A language of an entry by name (ignoring case), else by ISO code; -1 when none.
int languageIndex(const TSIBEntry &AEntry, const QString &ALanguage)
{
    for (int i = 0; i < AEntry.LangNames.size(); ++i)
        if (AEntry.LangNames.at(i).compare(ALanguage, Qt::CaseInsensitive) == 0)
            return i;
    const QString code = LanguageCodeOf(ALanguage);
    if (code.isEmpty())
        return -1;
    for (int i = 0; i < AEntry.LangNames.size(); ++i)
        if (LanguageCodeOf(AEntry.LangNames.at(i)) == code)
            return i;
    return -1;
}

QString codeOrName(const QString &ALanguage)
{
    const QString code = LanguageCodeOf(ALanguage);
    return code.isEmpty() ? ALanguage : code;
}

// --- TS ----------------------------------------------------------------------

bool xmlCanCarry(char32_t c)
{
    return c == 0x9 || c == 0xA || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) || c >= 0x10000;
}

void appendXmlText(QString &AOut, const QString &AText)
{
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText.at(i);
        if (c.isHighSurrogate() && i + 1 < AText.size() && AText.at(i + 1).isLowSurrogate()) {
            AOut += c;
            AOut += AText.at(++i);
            continue;
        }
        switch (c.unicode()) {
        case '&': AOut += QLatin1String("&amp;"); break;
        case '<': AOut += QLatin1String("&lt;"); break;
        case '>': AOut += QLatin1String("&gt;"); break;
        case '"': AOut += QLatin1String("&quot;"); break;
        case '\'': AOut += QLatin1String("&apos;"); break;
        default:
            if (xmlCanCarry(c.unicode()))
                AOut += c;
            else // control characters, lone surrogates, U+FFFE/U+FFFF
                AOut += QStringLiteral("<byte value=\"x%1\"/>").arg(c.unicode(), 0, 16);
        }
    }
}

QString xmlText(const QString &AText)
{
    QString out;
    appendXmlText(out, AText);
    return out;
}

// A <byte value="xHH"/> (or decimal) element as the UTF-16 unit it stands for.
QChar tsByte(QXmlStreamReader &r)
{
    const QStringView v = r.attributes().value(QLatin1String("value"));
    bool ok = false;
    const uint value = v.startsWith(u'x') ? v.mid(1).toUInt(&ok, 16) : v.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF)
        readError(r.lineNumber(), QStringLiteral("bad <byte value=\"%1\"/>").arg(v.toString()));
    return QChar(char16_t(value));
}

// The text of the current element up to its end tag, with <byte> elements
// decoded; other elements inside give their text.
QString readTsText(QXmlStreamReader &r)
{
    QString text;
    int level = 1;
    while (level > 0 && !r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::Characters:
            text += r.text();
            break;
        case QXmlStreamReader::StartElement:
            if (r.name() == QLatin1String("byte"))
                text += tsByte(r);
            ++level;
            break;
        case QXmlStreamReader::EndElement:
            --level;
            break;
        default:
            break;
        }
    }
    return text;
}

struct TsMessage
{
    QString source, comment, translation;
    bool unfinished = false, skip = false;
};

TsMessage readTsMessage(QXmlStreamReader &r)
{
    TsMessage m;
    bool haveTranslation = false;
    while (r.readNextStartElement()) {
        const QStringView name = r.name();
        if (name == QLatin1String("source")) {
            m.source = readTsText(r);
        } else if (name == QLatin1String("comment")) {
            m.comment = readTsText(r);
        } else if (name == QLatin1String("translation")) {
            const QStringView type = r.attributes().value(QLatin1String("type"));
            if (type == QLatin1String("obsolete") || type == QLatin1String("vanished"))
                m.skip = true;
            m.unfinished = type == QLatin1String("unfinished");
            // Plural forms: the first one.
            QString text;
            bool numerus = false;
            while (!r.atEnd()) {
                const auto token = r.readNext();
                if (token == QXmlStreamReader::Characters && !numerus) {
                    text += r.text();
                } else if (token == QXmlStreamReader::StartElement) {
                    if (r.name() == QLatin1String("numerusform")) {
                        const QString form = readTsText(r);
                        if (!numerus)
                            text = form;
                        numerus = true;
                    } else if (r.name() == QLatin1String("byte")) {
                        const QChar c = tsByte(r);
                        if (!numerus)
                            text += c;
                        r.skipCurrentElement();
                    } else if (r.name() == QLatin1String("lengthvariant")) {
                        const QString variant = readTsText(r);
                        if (!numerus) {
                            text = variant;
                            numerus = true; // later variants are not the text
                        }
                    } else {
                        r.skipCurrentElement();
                    }
                } else if (token == QXmlStreamReader::EndElement) {
                    break;
                }
            }
            m.translation = text;
            haveTranslation = true;
        } else {
            r.skipCurrentElement(); // extracomment, location, translatorcomment, extra-*
        }
    }
    if (!haveTranslation)
        m.unfinished = true;
    return m;
}

// --- PO ----------------------------------------------------------------------

void appendPoString(QByteArray &AOut, const char *AKeyword, const QString &AText)
{
    QByteArray escaped;
    const QByteArray utf8 = AText.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '"': escaped += "\\\""; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default:
            if (uchar(c) < 0x20 || c == 0x7F) {
                char octal[5];
                qsnprintf(octal, sizeof octal, "\\%03o", uint(uchar(c)));
                escaped += octal;
            } else {
                escaped += c;
            }
        }
    }
    AOut += AKeyword;
    // Several lines after an empty first one, broken after each line break,
    // the way gettext's tools lay out texts with line breaks.
    if (escaped.contains("\\n") && escaped.indexOf("\\n") != escaped.size() - 2) {
        AOut += " \"\"\n";
        qsizetype start = 0;
        while (start < escaped.size()) {
            qsizetype end = escaped.indexOf("\\n", start);
            // "\\n" could be the tail of an escaped backslash: count them.
            while (end >= 0) {
                qsizetype slashes = 0;
                for (qsizetype k = end - 1; k >= start && escaped.at(k) == '\\'; --k)
                    ++slashes;
                if (slashes % 2 == 0)
                    break;
                end = escaped.indexOf("\\n", end + 1);
            }
            end = end < 0 ? escaped.size() : end + 2;
            AOut += '"' + escaped.mid(start, end - start) + "\"\n";
            start = end;
        }
    } else {
        AOut += " \"" + escaped + "\"\n";
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One PO string (the quoted text of a line), unescaped to bytes.
QByteArray unquotePo(QByteArrayView ALine, qint64 ALineNo)
{
    const QByteArrayView s = ALine.trimmed();
    if (s.size() < 2 || s.front() != '"' || s.back() != '"')
        readError(ALineNo, QStringLiteral("expected a quoted string"));
    QByteArray out;
    for (qsizetype i = 1; i < s.size() - 1; ++i) {
        const char c = s.at(i);
        if (c == '"')
            readError(ALineNo, QStringLiteral("a quote inside a string must be escaped"));
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= s.size() - 1)
            readError(ALineNo, QStringLiteral("the string ends in a backslash"));
        const char e = s.at(i);
        switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'a': out += '\a'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'v': out += '\v'; break;
        case '\\': case '"': case '\'': case '?': out += e; break;
        case 'x': {
            uint value = 0;
            int digits = 0;
            for (int d; digits < 4 && i + 1 < s.size() - 1 && (d = hexDigit(s.at(i + 1))) >= 0; ++digits, ++i)
                value = value * 16 + uint(d);
            if (digits == 0 || value > 0xFF)
                readError(ALineNo, QStringLiteral("bad \\x escape"));
            out += char(value);
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                uint value = uint(e - '0');
                for (int d = 0; d < 2 && i + 1 < s.size() - 1 && s.at(i + 1) >= '0' && s.at(i + 1) <= '7'; ++d)
                    value = value * 8 + uint(s.at(++i) - '0');
                if (value > 0xFF)
                    readError(ALineNo, QStringLiteral("bad octal escape"));
                out += char(value);
            } else {
                readError(ALineNo, QStringLiteral("unknown escape \\%1").arg(QLatin1Char(e)));
            }
        }
    }
    return out;
}

struct PoEntry
{
    qint64 line = 0;   // where it starts
    bool hasContext = false, hasId = false, hasStr = false, fuzzy = false, obsolete = false;
    QByteArray context, id, str;
};

QString decodePo(const QByteArray &ABytes, qint64 ALine)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(ABytes);
    if (decoder.hasError())
        readError(ALine, QStringLiteral("the text is not UTF-8"));
    return text;
}

// msgctxt is "<form>|<type>:<ID>" with '~' and '|' inside either part
// written as "~~" and "~|", as Qt's lconvert joins a context and a comment.
QString escapeContextPart(const QString &APart)
{
    QString out;
    out.reserve(APart.size());
    for (const QChar c : APart) {
        if (c == u'~' || c == u'|')
            out += u'~';
        out += c;
    }
    return out;
}

bool splitContext(const QString &AContext, QString &AForm, QString &AKey)
{
    AForm.clear();
    AKey.clear();
    QString *part = &AForm;
    bool split = false;
    for (qsizetype i = 0; i < AContext.size(); ++i) {
        const QChar c = AContext.at(i);
        if (c == u'~' && i + 1 < AContext.size()) {
            *part += AContext.at(++i);
        } else if (c == u'|' && !split) {
            split = true;
            part = &AKey;
        } else {
            *part += c;
        }
    }
    return split && !AForm.isEmpty();
}

// A header field ("Language: fr\n…") or empty.
QString headerField(const QString &AHeader, QLatin1String AName)
{
    for (QStringView line : QStringView(AHeader).split(u'\n')) {
        if (line.startsWith(AName, Qt::CaseInsensitive) && line.mid(AName.size()).startsWith(u':'))
            return line.mid(AName.size() + 1).trimmed().toString();
    }
    return {};
}

} // namespace

TSIBExchangeFile SIBExchangeExtract(const TSIBFileManager &AFiles, const QString &ALanguage, const QString &AOwner)
{
    TSIBExchangeFile file;
    file.Language = codeOrName(ALanguage);
    bool found = false;
    QStringList without;
    for (int e = 0; e < AFiles.Count(); ++e) {
        const TSIBEntry &entry = AFiles.Entry(e);
        if (!AOwner.isEmpty() && entry.OwnerName.compare(AOwner, Qt::CaseInsensitive) != 0)
            continue;
        const int lang = languageIndex(entry, ALanguage);
        if (lang < 0) {
            without << entry.OwnerName;
            continue;
        }
        if (lang == 0)
            throw EArgumentException(QStringLiteral("%1 is the design language of %2: its texts are the sources")
                                         .arg(ALanguage, entry.OwnerName));
        if (!found)
            file.SourceLanguage = codeOrName(entry.LangNames.value(0));
        found = true;
        QSet<QString> seen;
        auto add = [&](int type, const QStringList &fields) {
            const QString source = fields.value(1);
            const QString key = textKey(type, fields.value(0));
            if (source.isEmpty() || seen.contains(key))
                return; // nothing to translate, or a later line lookups never reach
            seen.insert(key);
            file.Messages.append({entry.OwnerName, type, fields.value(0), source, fields.value(lang + 1), false});
        };
        for (int t = 0; t < StringsTypeCount; ++t)
            for (const QStringList &fields : entry.Lines[t])
                add(t, fields);
        for (const QStringList &fields : entry.Extended)
            add(SIBExtendedType, fields);
    }
    if (!found)
        throw EArgumentException(without.isEmpty()
                                     ? QStringLiteral("no texts of %1").arg(AOwner.isEmpty() ? QStringLiteral("any form") : AOwner)
                                     : QStringLiteral("no form has the language %1 (%2)")
                                           .arg(ALanguage, without.join(QStringLiteral(", "))));
    return file;
}

QByteArray SIBExchangeToTS(const TSIBExchangeFile &AFile)
{
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n<TS version=\"2.1\"");
    if (!AFile.Language.isEmpty())
        out += QStringLiteral(" language=\"%1\"").arg(xmlText(AFile.Language));
    if (!AFile.SourceLanguage.isEmpty())
        out += QStringLiteral(" sourcelanguage=\"%1\"").arg(xmlText(AFile.SourceLanguage));
    out += QLatin1String(">\n");
    // One context per form, in the order the forms first appear.
    QStringList owners;
    for (const TSIBExchangeMessage &m : AFile.Messages)
        if (!owners.contains(m.Owner))
            owners << m.Owner;
    for (const QString &owner : owners) {
        out += QLatin1String("<context>\n    <name>") + xmlText(owner) + QLatin1String("</name>\n");
        for (const TSIBExchangeMessage &m : AFile.Messages) {
            if (m.Owner != owner)
                continue;
            out += QLatin1String("    <message>\n        <source>") + xmlText(m.Source)
                   + QLatin1String("</source>\n        <comment>") + xmlText(textKey(m.Type, m.ID))
                   + QLatin1String("</comment>\n        <translation");
            if (m.Unfinished || m.Translation.isEmpty())
                out += QLatin1String(" type=\"unfinished\"");
            out += u'>' + xmlText(m.Translation) + QLatin1String("</translation>\n    </message>\n");
        }
        out += QLatin1String("</context>\n");
    }
    out += QLatin1String("</TS>\n");
    return out.toUtf8();
}

TSIBExchangeFile SIBExchangeFromTS(const QByteArray &AData)
{
    QXmlStreamReader r(AData);
    TSIBExchangeFile file;
    if (!r.readNextStartElement() || r.name() != QLatin1String("TS")) {
        if (r.hasError())
            readError(r.lineNumber(), r.errorString());
        readError(r.lineNumber(), QStringLiteral("not a Qt Linguist file (no <TS> element)"));
    }
    file.Language = r.attributes().value(QLatin1String("language")).toString();
    file.SourceLanguage = r.attributes().value(QLatin1String("sourcelanguage")).toString();
    while (r.readNextStartElement()) {
        if (r.name() == QLatin1String("extra-po-header-language") && file.Language.isEmpty()) {
            file.Language = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            continue;
        }
        if (r.name() != QLatin1String("context")) {
            r.skipCurrentElement();
            continue;
        }
        QString owner;
        bool haveName = false;
        while (r.readNextStartElement()) {
            if (r.name() == QLatin1String("name")) {
                owner = readTsText(r);
                haveName = true;
            } else if (r.name() == QLatin1String("message")) {
                const qint64 line = r.lineNumber();
                if (!haveName)
                    readError(line, QStringLiteral("a message before the context's <name>"));
                const TsMessage m = readTsMessage(r);
                if (m.skip)
                    continue;
                TSIBExchangeMessage msg;
                if (!parseTextKey(m.comment, msg.Type, msg.ID))
                    readError(line, QStringLiteral("comment '%1' is not <type>:<ID>").arg(m.comment));
                msg.Owner = owner;
                msg.Source = m.source;
                msg.Translation = m.translation;
                msg.Unfinished = m.unfinished;
                file.Messages.append(msg);
            } else {
                r.skipCurrentElement();
            }
        }
    }
    if (r.hasError())
        readError(r.lineNumber(), r.errorString());
    return file;
}

QByteArray SIBExchangeToPO(const TSIBExchangeFile &AFile)
{
    QByteArray out = "msgid \"\"\nmsgstr \"\"\n\"MIME-Version: 1.0\\n\"\n"
                     "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                     "\"Content-Transfer-Encoding: 8bit\\n\"\n";
    // Header values are single lines: drop line breaks a name might hold.
    auto field = [&](const char *name, QString value) {
        value.remove(u'\n');
        if (value.isEmpty())
            return;
        QByteArray line;
        appendPoString(line, "", QStringLiteral("%1: %2\n").arg(QLatin1String(name), value));
        out += line.mid(1); // without the separating blank
    };
    field("Language", AFile.Language);
    field("X-Language", AFile.Language);
    field("X-Source-Language", AFile.SourceLanguage);
    out += "\"X-Qt-Contexts: true\\n\"\n";
    for (const TSIBExchangeMessage &m : AFile.Messages) {
        out += '\n';
        if (m.Unfinished && !m.Translation.isEmpty())
            out += "#, fuzzy\n";
        appendPoString(out, "msgctxt", escapeContextPart(m.Owner) + u'|' + escapeContextPart(textKey(m.Type, m.ID)));
        appendPoString(out, "msgid", m.Source);
        appendPoString(out, "msgstr", m.Translation);
    }
    return out;
}

TSIBExchangeFile SIBExchangeFromPO(const QByteArray &AData)
{
    QByteArrayView data(AData);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    TSIBExchangeFile file;
    bool headerSeen = false;
    PoEntry entry;
    QByteArray *target = nullptr; // the string that continuation lines extend
    QByteArray discarded;         // plural texts after the first
    qint64 lineNo = 0;

    auto finish = [&] {
        target = nullptr;
        if (!entry.hasId && !entry.hasContext && !entry.hasStr) {
            entry = {};
            return;
        }
        if (!entry.hasId || !entry.hasStr)
            readError(entry.line, entry.hasId ? QStringLiteral("msgid without msgstr")
                                              : QStringLiteral("msgstr or msgctxt without msgid"));
        const PoEntry e = std::exchange(entry, {});
        if (e.obsolete)
            return;
        if (!e.hasContext && e.id.isEmpty()) {
            if (headerSeen)
                readError(e.line, QStringLiteral("a second header"));
            headerSeen = true;
            const QString header = decodePo(e.str, e.line);
            const QString charset = headerField(header, QLatin1String("Content-Type"))
                                        .section(QLatin1String("charset="), 1).section(u';', 0, 0).trimmed();
            if (!charset.isEmpty() && charset.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) != 0
                && charset.compare(QLatin1String("CHARSET"), Qt::CaseInsensitive) != 0
                && charset.compare(QLatin1String("ASCII"), Qt::CaseInsensitive) != 0)
                readError(e.line, QStringLiteral("charset %1: only UTF-8 files can be read").arg(charset));
            file.Language = headerField(header, QLatin1String("Language"));
            if (file.Language.isEmpty())
                file.Language = headerField(header, QLatin1String("X-Language"));
            file.SourceLanguage = headerField(header, QLatin1String("X-Source-Language"));
            return;
        }
        const QString context = decodePo(e.context, e.line);
        QString key;
        TSIBExchangeMessage m;
        if (!e.hasContext || !splitContext(context, m.Owner, key) || !parseTextKey(key, m.Type, m.ID))
            readError(e.line, QStringLiteral("msgctxt '%1' is not <form>|<type>:<ID>").arg(context));
        m.Source = decodePo(e.id, e.line);
        m.Translation = decodePo(e.str, e.line);
        m.Unfinished = e.fuzzy;
        file.Messages.append(m);
    };

    qsizetype pos = 0;
    while (pos < data.size()) {
        qsizetype end = data.indexOf('\n', pos);
        if (end < 0)
            end = data.size();
        QByteArrayView line = data.sliced(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (line.endsWith('\r'))
            line.chop(1);
        line = line.trimmed();
        bool obsolete = false;
        if (line.startsWith("#~")) {
            obsolete = true;
            line = line.sliced(2).trimmed();
            if (line.startsWith('|'))
                continue; // previous text of an obsolete message
        }
        if (line.isEmpty()) {
            if (!obsolete)
                finish();
            continue;
        }
        if (line.startsWith('#')) {
            if (entry.hasStr)
                finish();
            if (line.startsWith("#,")) {
                for (const QByteArray &flag : line.sliced(2).toByteArray().split(','))
                    if (flag.trimmed() == "fuzzy")
                        entry.fuzzy = true;
            }
            target = nullptr;
            continue;
        }
        if (line.startsWith('"')) {
            if (!target)
                readError(lineNo, QStringLiteral("a string without a keyword before it"));
            *target += unquotePo(line, lineNo);
            continue;
        }
        const qsizetype space = line.indexOf(' ');
        const QByteArrayView keyword = space < 0 ? line : line.first(space);
        const QByteArrayView rest = space < 0 ? QByteArrayView() : line.sliced(space + 1);
        if (keyword == "msgctxt" || keyword == "msgid") {
            if (entry.hasStr || (keyword == "msgctxt" && (entry.hasContext || entry.hasId))
                || (keyword == "msgid" && entry.hasId))
                finish();
            if (entry.line == 0)
                entry.line = lineNo;
            entry.obsolete = entry.obsolete || obsolete;
            if (keyword == "msgctxt") {
                entry.hasContext = true;
                target = &entry.context;
            } else {
                entry.hasId = true;
                target = &entry.id;
            }
        } else if (keyword == "msgid_plural") {
            if (!entry.hasId || entry.hasStr)
                readError(lineNo, QStringLiteral("msgid_plural without msgid"));
            discarded.clear();
            target = &discarded;
        } else if (keyword == "msgstr" || keyword.startsWith("msgstr[")) {
            if (!entry.hasId)
                readError(lineNo, QStringLiteral("msgstr without msgid"));
            const bool first = keyword == "msgstr" || keyword == "msgstr[0]";
            if (keyword != "msgstr" && !(keyword.endsWith(']') && keyword.size() > 8))
                readError(lineNo, QStringLiteral("unknown keyword %1").arg(QString::fromUtf8(keyword)));
            if (first) {
                if (entry.hasStr)
                    readError(lineNo, QStringLiteral("a second msgstr"));
                entry.hasStr = true;
                target = &entry.str;
            } else {
                discarded.clear();
                target = &discarded;
            }
        } else {
            readError(lineNo, QStringLiteral("unknown keyword %1").arg(QString::fromUtf8(keyword.first(qMin<qsizetype>(40, keyword.size())))));
        }
        *target += unquotePo(rest, lineNo);
    }
    finish();
    return file;
}

TSIBMergeResult SIBExchangeMerge(TSIBFileManager &AFiles, const TSIBExchangeFile &AFile, const QString &ALanguage)
{
    const QString language = ALanguage.isEmpty() ? AFile.Language : ALanguage;
    if (language.isEmpty())
        throw EArgumentException(QStringLiteral("the file does not say its language"));
    TSIBMergeResult result;
    for (const TSIBExchangeMessage &m : AFile.Messages) {
        const int e = AFiles.IndexOfOwner(m.Owner);
        if (e < 0) {
            result.NotFound << m.Owner + u' ' + textKey(m.Type, m.ID);
            continue;
        }
        TSIBEntry &entry = AFiles.Entry(e);
        QList<QStringList> &lines = m.Type == SIBExtendedType ? entry.Extended : entry.Lines[m.Type];
        QStringList *fields = nullptr;
        for (QStringList &l : lines) {
            if (l.value(0) == m.ID) {
                fields = &l;
                break;
            }
        }
        if (!fields) {
            result.NotFound << entry.OwnerName + u' ' + textKey(m.Type, m.ID);
            continue;
        }
        if (m.Translation.isEmpty()) {
            ++result.Untranslated;
            continue;
        }
        int lang = languageIndex(entry, language);
        if (lang == 0)
            throw EArgumentException(QStringLiteral("%1 is the design language of %2: its texts are the sources")
                                         .arg(language, entry.OwnerName));
        if (lang < 0) {
            const QString name = ALanguage.isEmpty() && !LanguageNameOf(language).isEmpty()
                                     ? LanguageNameOf(language) : language;
            entry.LangNames.append(name);
            lang = int(entry.LangNames.size()) - 1;
            result.LanguageAddedTo << entry.OwnerName;
        }
        if (fields->value(1) != m.Source)
            ++result.SourceChanged;
        while (fields->size() <= lang + 1)
            fields->append(QString());
        if ((*fields)[lang + 1] == m.Translation) {
            ++result.Unchanged;
        } else {
            (*fields)[lang + 1] = m.Translation;
            ++result.Changed;
        }
    }
    return result;
}

} // namespace zor
