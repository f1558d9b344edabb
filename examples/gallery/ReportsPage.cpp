// The "Reports" page: pick one of the example report templates, edit it,
// set report variables, and render it over its data (the sample database,
// JSON or a data packet); "Refresh dynamic blocks" renders only the blocks
// marked quenlor-dynamicblock again, from the page shown. Collected script
// errors show below the page.
// Headless, --report FILE.png renders the invoices and saves a picture of
// the page.
#include "GalleryPage.h"

#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextStream>
#include <QVBoxLayout>

#include <memory>
#include <vector>

using namespace zor;

namespace {

// The examples sit next to the sample pictures' folder.
QString dataFolder()
{
    return QDir::cleanPath(QStringLiteral(ZOR_GALLERY_IMAGES "/.."));
}

QString reportsFolder()
{
    return QDir::cleanPath(QStringLiteral(ZOR_GALLERY_IMAGES "/../../reports"));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What each example template is rendered over.
struct Example
{
    QString file, language, json, packet;
    QList<QPair<QString, QString>> queries, masters, variables;
};

std::vector<Example> examples()
{
    using P = QPair<QString, QString>;
    return {
        {QStringLiteral("invoice.html"),
         {},
         {},
         {},
         {P(QStringLiteral("Company"), QStringLiteral("select * from company")),
          P(QStringLiteral("Orders"),
            QStringLiteral("select o.id, c.name as customer, c.city, o.order_date, o.status from orders o "
                           "join customers c on c.id = o.customer_id order by o.id")),
          P(QStringLiteral("Items"),
            QStringLiteral("select p.name as product, i.quantity, i.price from order_items i "
                           "join products p on p.id = i.product_id where i.order_id = :id order by i.id"))},
         {P(QStringLiteral("Items"), QStringLiteral("Orders"))},
         {}},
        {QStringLiteral("customers.html"), {}, QStringLiteral("customers.json"), {}, {}, {}, {}},
        {QStringLiteral("packet.html"), {}, {}, QStringLiteral("orders-packet.xml"), {}, {}, {}},
        {QStringLiteral("dashboard.html"),
         QStringLiteral("JScript"),
         {},
         {},
         {P(QStringLiteral("Status"),
            QStringLiteral("select status, count(*) as n from orders group by status order by status")),
          P(QStringLiteral("Orders"), QStringLiteral("select id from orders")),
          P(QStringLiteral("Revenue"), QStringLiteral("select round(sum(quantity * price), 2) as total from order_items"))},
         {},
         {P(QStringLiteral("Period"), QStringLiteral("Q1")), P(QStringLiteral("Target"), QStringLiteral("2000"))}},
    };
}

class ReportsPage : public QWidget
{
public:
    explicit ReportsPage(QWidget *parent = nullptr) : QWidget(parent), FExamples(examples())
    {
        auto *layout = new QVBoxLayout(this);
        auto *top = new QHBoxLayout;
        picker = new QComboBox;
        for (const Example &e : FExamples)
            picker->addItem(e.file);
        auto *render = new QPushButton(QStringLiteral("Render"));
        auto *refresh = new QPushButton(QStringLiteral("Refresh dynamic blocks"));
        top->addWidget(new QLabel(QStringLiteral("Template:")));
        top->addWidget(picker, 1);
        top->addWidget(render);
        top->addWidget(refresh);
        layout->addLayout(top);

        auto *split = new QSplitter(Qt::Horizontal);
        auto *left = new QSplitter(Qt::Vertical);
        editor = new QPlainTextEdit;
        editor->setLineWrapMode(QPlainTextEdit::NoWrap);
        variables = new QTableWidget(0, 2);
        variables->setHorizontalHeaderLabels({QStringLiteral("Variable"), QStringLiteral("Value")});
        variables->horizontalHeader()->setStretchLastSection(true);
        left->addWidget(editor);
        left->addWidget(variables);
        left->setStretchFactor(0, 3);
        auto *right = new QSplitter(Qt::Vertical);
        browser = new QTextBrowser;
        errors = new QPlainTextEdit;
        errors->setReadOnly(true);
        errors->setPlaceholderText(QStringLiteral("Script and expression errors"));
        right->addWidget(browser);
        right->addWidget(errors);
        right->setStretchFactor(0, 4);
        split->addWidget(left);
        split->addWidget(right);
        split->setStretchFactor(1, 1);
        layout->addWidget(split, 1);

        connect(picker, &QComboBox::currentIndexChanged, this, [this](int i) { load(i); });
        connect(render, &QPushButton::clicked, this, [this] { renderPage(false); });
        connect(refresh, &QPushButton::clicked, this, [this] { renderPage(true); });
        load(0);
    }

    void load(int index)
    {
        if (index < 0 || index >= int(FExamples.size()))
            return;
        const Example &e = FExamples[size_t(index)];
        editor->setPlainText(QString::fromUtf8(readAll(reportsFolder() + u'/' + e.file)));
        variables->setRowCount(0);
        for (const auto &[name, value] : e.variables) {
            const int row = variables->rowCount();
            variables->insertRow(row);
            variables->setItem(row, 0, new QTableWidgetItem(name));
            variables->setItem(row, 1, new QTableWidgetItem(value));
        }
        variables->insertRow(variables->rowCount()); // room for another
        FPage.clear();
        browser->clear();
        errors->clear();
    }

    // Renders the editor's template; with dynamicOnly, the last page's
    // dynamic blocks again.
    bool renderPage(bool dynamicOnly)
    {
        const Example &e = FExamples[size_t(std::max(0, picker->currentIndex()))];
        if (dynamicOnly && FPage.isEmpty())
            dynamicOnly = false;
        TZORHtReportDocument doc;
        if (!e.language.isEmpty())
            doc.OnInitScript = [&doc, &e](QObject *) {
                doc.SetScriptLanguage(e.language);
                doc.SetScriptText({});
                doc.InvalidateExpressionCache();
            };
        TSqlConnection conn;
        conn.SetDatabaseName(dataFolder() + QStringLiteral("/sample.sqlite"));
        conn.SetConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        std::vector<std::unique_ptr<TSqlDataSet>> sets;
        for (const auto &[name, sql] : e.queries) {
            sets.push_back(std::make_unique<TSqlDataSet>());
            sets.back()->SetConnection(&conn);
            sets.back()->SetSQL(sql);
            doc.DataSets().AddDataSet(sets.back().get(), name);
        }
        for (const auto &[detail, master] : e.masters)
            if (auto *d = qobject_cast<TSqlDataSet *>(doc.DataSets().GetDataSetByName(detail)))
                d->SetMasterSource(doc.DataSets().GetDataSetByName(master));
        for (int row = 0; row < variables->rowCount(); ++row) {
            const QTableWidgetItem *name = variables->item(row, 0);
            const QTableWidgetItem *value = variables->item(row, 1);
            if (name && !name->text().trimmed().isEmpty())
                doc.AddVariable(name->text().trimmed(), Variant(value ? value->text() : QString()));
        }
        std::unique_ptr<THtXMLNode> context, packet;
        QString html, problems;
        try {
            doc.LoadTemplate(editor->toPlainText());
            if (!e.json.isEmpty()) {
                context = THtXMLNode::FromJson(readAll(reportsFolder() + u'/' + e.json));
                doc.SetReportContext(context.get());
            }
            if (!e.packet.isEmpty()) {
                packet = THtXMLNode::FromXml(readAll(dataFolder() + u'/' + e.packet));
                doc.RegisterVariable(QStringLiteral("Orders"), packet.get());
            }
            html = dynamicOnly ? doc.ReRenderDynamic(FPage) : doc.Render();
        } catch (const EZORHtReportErrorScriptError &err) {
            html = err.Html();
            problems = err.Message();
        } catch (const Exception &err) {
            problems = err.Message();
        }
        if (!html.isEmpty()) {
            FPage = html;
            browser->setHtml(html);
        }
        errors->setPlainText(problems);
        return problems.isEmpty();
    }

    QComboBox *picker = nullptr;
    QPlainTextEdit *editor = nullptr;
    QTableWidget *variables = nullptr;
    QTextBrowser *browser = nullptr;
    QPlainTextEdit *errors = nullptr;

private:
    std::vector<Example> FExamples;
    QString FPage;
};

int runHeadless(QApplication &app, const QStringList &args)
{
    Q_UNUSED(app)
    QTextStream out(stdout);
    const QString picture = gallery::argValue(args, QStringLiteral("--report"));
    ReportsPage page;
    page.resize(1000, 700);
    page.show();
    const bool ok = page.renderPage(false);
    QApplication::processEvents();
    out << page.picker->currentText() << ": " << page.browser->toPlainText().count(QStringLiteral("Invoice "))
        << " invoices rendered" << (ok ? "" : ", with errors") << '\n';
    if (!ok)
        out << page.errors->toPlainText() << '\n';
    if (!gallery::savePicture(page, picture, out))
        return 1;
    return ok ? 0 : 1;
}

const bool registered =
    gallery::registerPage({QStringLiteral("Reports"), 70, [](QWidget *parent) -> QWidget * { return new ReportsPage(parent); }})
    && gallery::registerCommand({QStringLiteral("--report"),
                                 QStringLiteral("--report FILE.png   the invoice report rendered on the Reports page"),
                                 runHeadless});

} // namespace
