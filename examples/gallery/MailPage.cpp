// The "E-mail" page: the sample newsletter (text and HTML bodies, the logo
// inline, a PDF attached) built and read back from the bytes it would be sent
// as, or any .eml file opened. The part tree sits beside the HTML body, whose
// cid: pictures come from the message's own inline parts; nothing is fetched
// from the network. "Save inline pictures…" writes the pictures the HTML
// shows into a folder.
// Headless, --mail FILE.png builds the newsletter, prints its part tree and
// the pictures the body showed, and saves a picture of the page.
#include "GalleryPage.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/EmailSenderUtils.h>
#include <ZorCompCore/web/MessageEx.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextStream>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

using namespace zor;

namespace {

QString mailFolder()
{
    return QDir::cleanPath(QStringLiteral(ZOR_GALLERY_IMAGES "/../mail"));
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The newsletter as the showcase builds it, as the bytes it would be sent as.
QByteArray sampleMessage()
{
    TMimeMessage m;
    m.SetAddresses("From", ParseAddressList("Werkstatt <news@example.org>"));
    m.SetAddresses("To", ParseAddressList("Leser <leser@example.org>"));
    m.SetSubject(QStringLiteral("Neuigkeiten im Dezember"));
    const QString logo = mailFolder() + QStringLiteral("/L\u00f6go.png");
    QString html = readText(mailFolder() + QStringLiteral("/newsletter.html"));
    const QString name = QFileInfo(logo).fileName();
    html.replace(QStringLiteral("src=\"%1\"").arg(name),
                 QStringLiteral("src=\"cid:%1\"").arg(TEmailSenderUtils::PathEncode(name)));
    TStringList inlines, attachments;
    inlines.Add(logo);
    attachments.Add(QStringLiteral("Programm.pdf=") + mailFolder() + QStringLiteral("/programm.pdf"));
    TEmailSenderUtils::AddBodyToMessage(m, readText(mailFolder() + QStringLiteral("/newsletter.txt")), html,
                                        &inlines, &attachments);
    return m.ToBytes();
}

// A body viewer that takes cid: pictures from the message and nothing from
// anywhere else: a mail must not reach out to the network when it is shown.
class CidBrowser : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    const TIdMessageEx *message = nullptr;
    QStringList shown; // the content IDs of the pictures shown

    QVariant loadResource(int type, const QUrl &url) override
    {
        if (type != QTextDocument::ImageResource || !message
            || url.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) != 0)
            return QVariant();
        const QString wanted = QUrl::fromPercentEncoding(url.path(QUrl::FullyEncoded).toUtf8());
        for (const TMimePart &p : message->MessageParts) {
            const QString id = TIdMessageEx::GetContentID(p);
            if (!p.IsAttachment || id.isEmpty() || QUrl::fromPercentEncoding(id.toUtf8()) != wanted)
                continue;
            QImage image;
            if (!image.loadFromData(p.Data()))
                return QVariant();
            shown << id;
            return image;
        }
        return QVariant();
    }
};

class MailPage : public QWidget
{
public:
    explicit MailPage(QWidget *parent = nullptr) : QWidget(parent)
    {
        auto *layout = new QVBoxLayout(this);
        auto *top = new QHBoxLayout;
        auto *sample = new QPushButton(QStringLiteral("Build the newsletter"));
        auto *open = new QPushButton(QStringLiteral("Open .eml…"));
        auto *save = new QPushButton(QStringLiteral("Save inline pictures…"));
        top->addWidget(sample);
        top->addWidget(open);
        top->addWidget(save);
        top->addStretch(1);
        layout->addLayout(top);
        headers = new QLabel;
        headers->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(headers);

        auto *split = new QSplitter(Qt::Horizontal);
        parts = new QTreeWidget;
        parts->setHeaderLabels({QStringLiteral("Part"), QStringLiteral("Type"), QStringLiteral("Name"),
                                QStringLiteral("Content ID"), QStringLiteral("Size")});
        parts->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        body = new CidBrowser;
        body->setOpenLinks(false);
        split->addWidget(parts);
        split->addWidget(body);
        split->setSizes({440, 560});
        layout->addWidget(split, 1);

        connect(sample, &QPushButton::clicked, this, [this] { showSample(); });
        connect(open, &QPushButton::clicked, this, [this] {
            const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open a message"), mailFolder(),
                                                              QStringLiteral("Messages (*.eml);;All files (*)"));
            QFile f(file);
            if (!file.isEmpty() && f.open(QIODevice::ReadOnly))
                showBytes(f.readAll());
        });
        connect(save, &QPushButton::clicked, this, [this] {
            const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Save inline pictures to"));
            if (!dir.isEmpty())
                headers->setText(headers->text() + QStringLiteral("<br>Saved: ")
                                 + message.SaveInlineAttachementsToPath(dir).join(QStringLiteral(", ")).toHtmlEscaped());
        });
        showSample();
    }

    // False when the sample files are missing.
    bool showSample()
    {
        try {
            showBytes(sampleMessage());
            return true;
        } catch (const Exception &e) {
            headers->setText(e.Message().toHtmlEscaped());
            return false;
        }
    }

    void showBytes(const QByteArray &bytes)
    {
        message.Parse(bytes);
        headers->setText(QStringLiteral("<b>From:</b> %1<br><b>To:</b> %2<br><b>Subject:</b> %3")
                             .arg(message.Headers.Text("From").toHtmlEscaped(),
                                  message.Headers.Text("To").toHtmlEscaped(), message.Subject().toHtmlEscaped()));
        fillParts();
        body->shown.clear();
        body->message = &message;
        const QString html = TIdMessageEx::GetEmailTextBody(message, QStringLiteral("text/html"));
        if (!html.isEmpty())
            body->setHtml(html);
        else
            body->setPlainText(TIdMessageEx::GetEmailTextBody(message, QStringLiteral("text/plain")));
    }

    TIdMessageEx message;
    QLabel *headers = nullptr;
    QTreeWidget *parts = nullptr;
    CidBrowser *body = nullptr;

private:
    // The message is the root. Parts come depth first, each after its
    // container; an index that does not point back (a hostile file) hangs
    // the part from the root.
    void fillParts()
    {
        parts->clear();
        auto *root = new QTreeWidgetItem({QStringLiteral("message"), message.ContentType(), QString(), QString(),
                                          QString::number(message.Body.Text().toUtf8().size())});
        parts->addTopLevelItem(root);
        QList<QTreeWidgetItem *> items;
        for (int i = 0; i < message.MessageParts.size(); ++i) {
            const TMimePart &p = message.MessageParts[i];
            const qint64 size = p.IsAttachment ? p.DataSize() : p.Body.Text().toUtf8().size();
            auto *item = new QTreeWidgetItem({QString::number(i), p.ContentType(), p.FileName(),
                                              TIdMessageEx::GetContentID(p), QString::number(size)});
            (p.ParentPart >= 0 && p.ParentPart < i ? items[p.ParentPart] : root)->addChild(item);
            items << item;
        }
        parts->expandAll();
    }
};

void printTree(QTextStream &out, QTreeWidgetItem *item, int depth)
{
    out << QString(depth * 2, u' ') << item->text(0) << ' ' << item->text(1);
    if (!item->text(2).isEmpty())
        out << " \"" << item->text(2) << '"';
    if (!item->text(3).isEmpty())
        out << " <" << item->text(3) << '>';
    out << ", " << item->text(4) << " bytes\n";
    for (int i = 0; i < item->childCount(); ++i)
        printTree(out, item->child(i), depth + 1);
}

int runHeadless(QApplication &app, const QStringList &args)
{
    Q_UNUSED(app)
    QTextStream out(stdout);
    const QString picture = gallery::argValue(args, QStringLiteral("--mail"));
    MailPage page;
    page.resize(1000, 700);
    page.show();
    QApplication::processEvents();
    out << "Subject: " << page.message.Subject() << '\n';
    for (int i = 0; i < page.parts->topLevelItemCount(); ++i)
        printTree(out, page.parts->topLevelItem(i), 1);
    out << "Pictures the body showed from the message: " << page.body->shown.join(QStringLiteral(", ")) << '\n';
    if (page.body->shown.isEmpty())
        return 1;
    if (!gallery::savePicture(page, picture, out))
        return 1;
    return 0;
}

const bool registered =
    gallery::registerPage({QStringLiteral("E-mail"), 75, [](QWidget *parent) -> QWidget * { return new MailPage(parent); }})
    && gallery::registerCommand({QStringLiteral("--mail"),
                                 QStringLiteral("--mail FILE.png     the sample newsletter on the E-mail page, its logo from the message"),
                                 runHeadless});

} // namespace
