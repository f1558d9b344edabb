// zorcc mail: build, show, extract and send e-mail messages (.eml).
#include "Command.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/EmailSenderUtils.h>
#include <ZorCompCore/web/MessageEx.h>
#include <ZorCompCore/web/SMTPSender.h>

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

QString value(const QStringList &args, int &i)
{
    if (i + 1 >= args.size())
        throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(args[i])};
    return args[++i];
}

QList<TMimeAddress> addresses(const QString &list)
{
    return ParseAddressList(list.toUtf8());
}

TSuppressAutoRepsonseTypes suppressSet(const QString &tokens)
{
    TMimeMessage probe;
    probe.Headers.Set("X-Auto-Response-Suppress", tokens.toUtf8());
    return TEmailSenderUtils::GetMessagSuppressAutoResponse(probe);
}

// Sends the bytes as they are (those of the file written or read), with
// the envelope from the message's headers.
void send(const TMimeMessage &m, const QByteArray &bytes, const QString &url, zorcc::Io &io)
{
    TSMTPSender sender;
    sender.URL = url;
    const QUrl u(url);
    // A local sink speaks plain SMTP; anything else must offer STARTTLS.
    const bool local = u.host() == QLatin1String("127.0.0.1") || u.host() == QLatin1String("localhost");
    sender.StartTLS = local ? stlsIfOffered : stlsRequired;
    if (u.scheme().compare(QLatin1String("smtps"), Qt::CaseInsensitive) == 0)
        sender.StartTLS = stlsNone; // TLS from the first byte
    sender.Username = u.userName(QUrl::FullyDecoded);
    sender.Password = u.password(QUrl::FullyDecoded);
    QString from;
    QStringList recipients;
    TSMTPSender::Envelope(m, from, recipients);
    try {
        sender.SendRaw(bytes, from, recipients);
    } catch (const ESMTPError &e) {
        throw zorcc::InputError{QStringLiteral("sending failed: %1").arg(e.Message())};
    }
    io.out << "sent to " << u.host() << '\n';
}

int build(const QStringList &args, zorcc::Io &io)
{
    TMimeMessage m;
    QString text, html, out, sendUrl;
    TStringList inlines, attachments;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--from")
            m.SetAddresses("From", addresses(value(args, i)));
        else if (a == u"--to")
            m.SetAddresses("To", addresses(value(args, i)));
        else if (a == u"--cc")
            m.SetAddresses("Cc", addresses(value(args, i)));
        else if (a == u"--bcc")
            m.SetAddresses("Bcc", addresses(value(args, i)));
        else if (a == u"--subject")
            m.SetSubject(value(args, i));
        else if (a == u"--text")
            text = QString::fromUtf8(zorcc::readFileArg(value(args, i)));
        else if (a == u"--html")
            html = QString::fromUtf8(zorcc::readFileArg(value(args, i)));
        else if (a == u"--inline")
            inlines.Add(value(args, i));
        else if (a == u"--attach") {
            // PATH or PATH=NAME here; the helper wants NAME=PATH.
            const QString v = value(args, i);
            const qsizetype eq = v.indexOf(u'=');
            attachments.Add(eq < 0 ? v : v.mid(eq + 1) + u'=' + v.left(eq));
        } else if (a == u"--suppress") {
            const QString v = value(args, i);
            m.Headers.Set("X-Auto-Response-Suppress",
                          TEmailSenderUtils::GetSuppressAutoResponseHeaderValue(suppressSet(v)).toUtf8());
        } else if (a == u"-o")
            out = value(args, i);
        else if (a == u"--send")
            sendUrl = value(args, i);
        else
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
    }
    if (out.isEmpty() && sendUrl.isEmpty())
        throw zorcc::UsageError{QStringLiteral("build needs -o FILE or --send URL")};
    // Images the HTML names by file name are referred to by content ID:
    // src becomes exactly "cid:" + the ID the part carries.
    for (int k = 0; k < inlines.Count(); ++k) {
        const QString name = QFileInfo(inlines[k]).fileName();
        html.replace(QStringLiteral("src=\"%1\"").arg(name),
                     QStringLiteral("src=\"cid:%1\"").arg(TEmailSenderUtils::PathEncode(name)));
    }
    QByteArray bytes;
    try {
        TEmailSenderUtils::AddBodyToMessage(m, text, html, &inlines, &attachments);
        bytes = m.ToBytes(); // once: the file and the delivery are the same message
    } catch (const Exception &e) {
        throw zorcc::InputError{e.Message()};
    }
    if (!out.isEmpty())
        zorcc::writeFileArg(out, bytes);
    if (!sendUrl.isEmpty())
        send(m, bytes, sendUrl, io);
    return 0;
}

TIdMessageEx load(const QString &path)
{
    TIdMessageEx m;
    m.Parse(zorcc::readFileArg(path));
    return m;
}

const char *const kAutoReplied[] = {"none", "untyped auto-reply", "out of office", "bulk",
                                   "junk", "notification", "auto-generated", "delivery status"};

int show(const QStringList &args, zorcc::Io &io)
{
    if (args.size() < 2 || args.size() > 3 || (args.size() == 3 && args[2] != u"--json"))
        throw zorcc::UsageError{QStringLiteral("expects show <file.eml> [--json]")};
    const TIdMessageEx m = load(args[1]);
    json parts = json::array();
    for (int i = 0; i < m.MessageParts.size(); ++i) {
        const TMimePart &p = m.MessageParts[i];
        const qint64 size = p.IsAttachment ? p.DataSize() : p.Body.Text().toUtf8().size();
        parts.push_back({{"index", i}, {"parent", p.ParentPart}, {"type", p.ContentType().toStdString()},
                         {"name", p.FileName().toStdString()}, {"contentId", TIdMessageEx::GetContentID(p).toStdString()},
                         {"size", size}});
    }
    QString body = TIdMessageEx::GetEmailTextBody(m, QStringLiteral("text/plain"));
    if (body.isEmpty())
        body = TIdMessageEx::GetEmailTextBody(m, QStringLiteral("text/html"));
    const TSuppressAutoRepsonseTypes suppress = TEmailSenderUtils::GetMessagSuppressAutoResponse(m);
    json j = {{"subject", m.Subject().toStdString()},
              {"parts", parts},
              {"body", body.toStdString()},
              {"autoReplied", kAutoReplied[TEmailSenderUtils::GetMessagAutoRepliedType(m)]},
              {"suppress", TEmailSenderUtils::GetSuppressAutoResponseHeaderValue(suppress).toStdString()}};
    if (args.size() == 3) {
        io.out << QString::fromStdString(j.dump(2)) << '\n';
        return 0;
    }
    io.out << "Subject: " << m.Subject() << '\n';
    for (const auto &p : parts)
        io.out << QStringLiteral("%1 parent %2  %3  %4 %5 %6 bytes\n")
                      .arg(p["index"].get<int>())
                      .arg(p["parent"].get<int>())
                      .arg(QString::fromStdString(p["type"].get<std::string>()))
                      .arg(QString::fromStdString(p["name"].get<std::string>()))
                      .arg(QString::fromStdString(p["contentId"].get<std::string>()))
                      .arg(p["size"].get<qint64>());
    io.out << "Auto-reply: " << kAutoReplied[TEmailSenderUtils::GetMessagAutoRepliedType(m)] << '\n'
           << "Suppress: " << QString::fromStdString(j["suppress"].get<std::string>()) << '\n'
           << '\n' << body;
    return 0;
}

int extract(const QStringList &args, zorcc::Io &io)
{
    if (args.size() != 3)
        throw zorcc::UsageError{QStringLiteral("expects extract <file.eml> <folder>")};
    const TIdMessageEx m = load(args[1]);
    QDir dir(args[2]);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        throw zorcc::InputError{QStringLiteral("cannot create %1").arg(args[2])};
    int n = 0;
    for (const TMimePart &p : m.MessageParts) {
        if (!p.IsAttachment)
            continue;
        ++n;
        // Names come from the message: keep them inside the folder.
        QString name = QFileInfo(p.FileName()).fileName();
        if (name.isEmpty() || name == u"." || name == u"..")
            name = QStringLiteral("part%1%2").arg(n).arg(TEmailSenderUtils::GetFileExtByContentType(p.ContentType()));
        zorcc::writeFileArg(dir.filePath(name), p.Data());
        io.out << dir.filePath(name) << '\n';
    }
    return 0;
}

int runMail(const QStringList &args, zorcc::Io &io)
{
    const QString verb = args.value(0);
    if (verb == u"build")
        return build(args, io);
    if (verb == u"show")
        return show(args, io);
    if (verb == u"extract")
        return extract(args, io);
    if (verb == u"send") {
        if (args.size() != 3)
            throw zorcc::UsageError{QStringLiteral("expects send <file.eml> <url>")};
        const QByteArray bytes = zorcc::readFileArg(args[1]);
        TIdMessageEx m;
        m.Parse(bytes);
        send(m, bytes, args[2], io); // as read, byte for byte
        return 0;
    }
    throw zorcc::UsageError{QStringLiteral("expects build, show, extract or send")};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("mail"), QStringLiteral("build, show, extract and send e-mail messages"),
               QStringLiteral(
                   "usage: zorcc mail build [--from A] [--to A] [--cc A] [--bcc A] [--subject S]\n"
                   "                        [--text FILE] [--html FILE] [--inline IMAGE]...\n"
                   "                        [--attach PATH[=NAME]]... [--suppress DR,OOF,...]\n"
                   "                        (-o FILE.eml | --send URL)...\n"
                   "       zorcc mail show FILE.eml [--json]\n"
                   "       zorcc mail extract FILE.eml FOLDER\n"
                   "       zorcc mail send FILE.eml URL\n\n"
                   "build writes mixed[related[alternative[text, html], inline images], attachments];\n"
                   "images the HTML names by file name get \"cid:\" references to their parts.\n"
                   "show prints the part tree (index, parent, type, name, content ID, size), the\n"
                   "text body, the auto-reply type and the suppressed auto responses.\n"
                   "URL: smtp://[user:password@]host:port (STARTTLS required except on this\n"
                   "machine) or smtps://host:port."),
               runMail});
