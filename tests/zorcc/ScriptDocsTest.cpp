// The script reference pages and sample programs as users meet them: the
// pages under docs/scripts/ are what `zorcc script reference` prints, and
// each sample program prints the output kept beside it.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QFile>

namespace {

const char *const kLanguages[] = {"PascalScript", "C++Script", "BasicScript", "JScript"};

QString sourceFile(const QString &relative)
{
    QFile f(QStringLiteral(ZOR_SOURCE_DIR "/") + relative);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << relative.toStdString();
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

TEST(ZorccScriptDocs, ReferencePagesAreTheGeneratedText)
{
    for (const char *language : kLanguages) {
        const QString name = QString::fromLatin1(language);
        const QString page = u"docs/scripts/"_qs + name.toLower().replace(u"++"_qs, u"pp"_qs) + u".md"_qs;
        SCOPED_TRACE(page.toStdString());
        const ZorccRun r = runZorcc({u"script"_qs, u"reference"_qs, u"--syntax"_qs, name});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(u"## Built-in functions"_qs));
        EXPECT_EQ(sourceFile(page), r.out)
            << "the page is stale: regenerate it with zorcc script reference --syntax " << language << " > " << page.toStdString();
    }
}

TEST(ZorccScriptDocs, SampleProgramsPrintTheSameInvoice)
{
    const QString expected = sourceFile(u"examples/scripts/invoice.expected"_qs);
    ASSERT_FALSE(expected.isEmpty());
    for (const char *file : {"invoice.pas", "invoice.cpps", "invoice.bas", "invoice.js"}) {
        SCOPED_TRACE(file);
        const ZorccRun r = runZorcc({u"script"_qs, u"run"_qs, QStringLiteral(ZOR_SOURCE_DIR "/examples/scripts/") + QLatin1String(file)});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, expected);
    }
}

TEST(ZorccScriptDocs, FunctionListings)
{
    const ZorccRun basic = runZorcc({u"script"_qs, u"functions"_qs, u"--syntax"_qs, u"basicscript"_qs});
    ASSERT_EQ(basic.exitCode, 0) << basic.err.toStdString();
    EXPECT_TRUE(basic.out.contains(u"\n  Function UCase(S As String) As String\n      S in capitals. Same as UpperCase.\n"_qs))
        << basic.out.toStdString();
    EXPECT_TRUE(basic.out.contains(u"Function DateAdd("_qs));

    const ZorccRun pascal = runZorcc({u"script"_qs, u"functions"_qs, u"--syntax"_qs, u"PascalScript"_qs, u"--markdown"_qs});
    ASSERT_EQ(pascal.exitCode, 0);
    EXPECT_TRUE(pascal.out.contains(u"| `function StringReplace(S: String; OldPattern: String; NewPattern: String[; Flags: set]): String` |"_qs))
        << pascal.out.toStdString();
    EXPECT_FALSE(pascal.out.contains(u"UCase"_qs));

    // without a syntax: every row once, with the syntaxes that know it
    const ZorccRun all = runZorcc({u"script"_qs, u"functions"_qs, u"--markdown"_qs});
    ASSERT_EQ(all.exitCode, 0);
    EXPECT_TRUE(all.out.contains(u"| `function UCase(S: String): String` | BasicScript | S in capitals. Same as `UpperCase`. |"_qs))
        << all.out.toStdString();
    EXPECT_TRUE(all.out.contains(u"| PascalScript, C++Script, BasicScript, JScript |"_qs));

    const ZorccRun bad = runZorcc({u"script"_qs, u"functions"_qs, u"--syntax"_qs, u"Klingon"_qs});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(u"PascalScript, C++Script, BasicScript, JScript"_qs)) << bad.err.toStdString();
    const ZorccRun noSyntax = runZorcc({u"script"_qs, u"reference"_qs});
    EXPECT_EQ(noSyntax.exitCode, 2);
    EXPECT_TRUE(noSyntax.err.contains(u"needs --syntax"_qs)) << noSyntax.err.toStdString();
}

} // namespace
