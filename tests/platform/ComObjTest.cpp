#include <ZorCompCore/platform/ComObj.h>
#include <ZorCompCore/platform/ShellAssoc.h>

#include "TestUtil.h"

#include <functional>

using namespace zor;

namespace {

class IGreeter : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{5B1E0C2A-3D4F-4A6B-8C9D-0E1F2A3B4C5D}");
    virtual QString Where() = 0;
};

class TGreeter final : public TInterfacedObject, public IGreeter
{
public:
    explicit TGreeter(QString where) : FWhere(std::move(where)) {}
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IGreeter>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    int AddRef() override { return TInterfacedObject::AddRef(); }
    int Release() override { return TInterfacedObject::Release(); }
    QString Where() override { return FWhere; }

private:
    QString FWhere;
};

const QUuid kBoth = Guid("{11111111-2222-3333-4444-555555555555}");
const QUuid kInProcOnly = Guid("{11111111-2222-3333-4444-666666666666}");
const QUuid kLocalOnly = Guid("{11111111-2222-3333-4444-777777777777}");
const QUuid kUnknown = Guid("{11111111-2222-3333-4444-888888888888}");

TClassFactory Makes(const char *where)
{
    return [where] { return IPtr<IInterface>(new TGreeter(QString::fromLatin1(where))); };
}

QString Made(const QUuid &clsid, quint32 context, HRESULT *hr = nullptr)
{
    IPtr<IGreeter> g;
    const HRESULT r = CoCreateInstance(clsid, context, g);
    if (hr)
        *hr = r;
    return g ? g->Where() : QStringLiteral("none");
}

HRESULT CodeOf(const std::function<void()> &fn, QString *message = nullptr)
{
    try {
        fn();
    } catch (const EOleSysError &e) {
        if (message)
            *message = e.Message();
        return e.ErrorCode;
    }
    return S_OK;
}

class ComObj : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoRegisterClass(kBoth, {Makes("in"), Makes("out")});
        CoRegisterClass(kInProcOnly, {Makes("in"), nullptr});
        CoRegisterClass(kLocalOnly, {nullptr, Makes("out")});
    }
    void TearDown() override
    {
        for (const QUuid &c : {kBoth, kInProcOnly, kLocalOnly})
            CoRevokeClass(c);
        TakeErrorInfo();
    }
};

} // namespace

// Faults: the local server chosen although in-process is allowed; a context
// without a matching factory falling back to the other kind.
TEST_F(ComObj, ContextPicksTheFactoryInProcessFirst)
{
    const quint32 both = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
    EXPECT_EQ(Made(kBoth, both), u"in");
    EXPECT_EQ(Made(kBoth, CLSCTX_LOCAL_SERVER), u"out");
    EXPECT_EQ(Made(kLocalOnly, both), u"out");
    HRESULT hr = S_OK;
    EXPECT_EQ(Made(kInProcOnly, CLSCTX_LOCAL_SERVER, &hr), u"none");
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(Made(kLocalOnly, CLSCTX_INPROC_SERVER, &hr), u"none");
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(Made(kUnknown, both, &hr), u"none");
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoClassContexts(kBoth), CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER);
    CoRevokeClass(kBoth);
    EXPECT_EQ(Made(kBoth, both, &hr), u"none");
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
}

// Faults: an object handed out without the interface asked for; aggregation
// accepted; a leaked reference when QueryInterface refuses.
TEST_F(ComObj, InterfacesAndAggregation)
{
    void *p = reinterpret_cast<void *>(1);
    EXPECT_EQ(CoCreateInstance(kBoth, nullptr, CLSCTX_INPROC_SERVER, kUnknown, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    IPtr<IGreeter> outer(new TGreeter(QStringLiteral("outer")));
    EXPECT_EQ(CoCreateInstance(kBoth, outer.get(), CLSCTX_INPROC_SERVER, IGreeter::IID, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoCreateInstance(kBoth, nullptr, CLSCTX_INPROC_SERVER, IGreeter::IID, nullptr), E_POINTER);
}

// Faults: a factory's code lost (everything reported as E_FAIL); a local
// server that cannot start reported as an in-process failure; the failing
// object's description dropped, or left behind for the next unrelated call.
TEST_F(ComObj, FailuresKeepTheirCodeAndDescription)
{
    CoRegisterClass(kInProcOnly, {[]() -> IPtr<IInterface> { throw EOleSysError(QStringLiteral("no disk"), E_ACCESSDENIED); },
                                  nullptr});
    CoRegisterClass(kLocalOnly, {nullptr, []() -> IPtr<IInterface> { throw EAbort(QStringLiteral("worker died")); }});
    HRESULT hr = S_OK;
    Made(kInProcOnly, CLSCTX_INPROC_SERVER, &hr);
    EXPECT_EQ(hr, E_ACCESSDENIED);
    QString message;
    EXPECT_EQ(CodeOf([&] { OleCheck(hr); }, &message), E_ACCESSDENIED);
    EXPECT_EQ(message, u"no disk");

    Made(kLocalOnly, CLSCTX_LOCAL_SERVER, &hr);
    EXPECT_EQ(hr, CO_E_SERVER_EXEC_FAILURE);
    EXPECT_EQ(CodeOf([&] { OleCheck(hr); }, &message), CO_E_SERVER_EXEC_FAILURE);
    EXPECT_EQ(message, u"worker died");

    // The description was taken: the next failure speaks the system's text.
    EXPECT_EQ(CodeOf([] { OleCheck(REGDB_E_CLASSNOTREG); }, &message), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(message, u"Class not registered");
    // A success clears a stale description too.
    SetErrorInfo(QStringLiteral("stale"));
    EXPECT_EQ(OleCheck(S_FALSE), S_FALSE);
    OleCheck(S_OK);
    CodeOf([] { OleCheck(E_FAIL); }, &message);
    EXPECT_EQ(message, u"Unspecified error");
}

// Faults: wrong system texts; codes without one giving an empty message.
TEST(ComObjTexts, SystemTextsAndGuids)
{
    EXPECT_EQ(OleErrorText(CO_E_SERVER_EXEC_FAILURE), u"Server execution failed");
    EXPECT_EQ(OleErrorText(qint32(0x86420002u)), u"OLE error 86420002");
    EXPECT_EQ(EOleSysError(QString(), E_NOTIMPL).Message(), u"Not implemented");
    EXPECT_EQ(GUIDToString(Guid("{8895b1c6-b41f-4c1c-a562-0d564250836f}")), u"{8895B1C6-B41F-4C1C-A562-0D564250836F}");
    EXPECT_EQ(StringToGUID(QStringLiteral("{8895b1c6-b41f-4c1c-a562-0d564250836f}")),
              Guid("{8895B1C6-B41F-4C1C-A562-0D564250836F}"));
    EXPECT_EQ(CodeOf([] { StringToGUID(QStringLiteral("8895b1c6-b41f-4c1c-a562-0d564250836f")); }),
              qint32(0x800401F3u));
}

// Faults: hooks run on every CoInitialize, or before the last CoUninitialize.
TEST(ComObjInit, HooksRunOnTheOutermostPair)
{
    // The library's start-up may hold the runtime: let go of it for the test.
    int held = 0;
    while (CoInitialize() == S_FALSE) {
        CoUninitialize();
        CoUninitialize();
        ++held;
    }
    CoUninitialize();
    // Hooks stay registered for the process: they count into statics.
    static int inits = 0, uninits = 0;
    OnCoInitialize([] { ++inits; });
    OnCoUninitialize([] { ++uninits; });
    EXPECT_EQ(CoInitialize(), S_OK);
    EXPECT_EQ(CoInitialize(), S_FALSE);
    EXPECT_EQ(inits, 1);
    CoUninitialize();
    EXPECT_EQ(uninits, 0);
    CoUninitialize();
    EXPECT_EQ(uninits, 1);
    CoUninitialize(); // unbalanced: nothing happens
    EXPECT_EQ(uninits, 1);
    EXPECT_EQ(CoInitialize(), S_OK);
    for (int i = 1; i < held; ++i)
        CoInitialize();
}

namespace {

const QUuid kPreviewIid = Guid("{8895B1C6-B41F-4C1C-A562-0D564250836F}");
const QString kPreviewExtra = QStringLiteral("{8895b1c6-b41f-4c1c-a562-0d564250836f}");

class Assoc : public ComObj
{
protected:
    void TearDown() override
    {
        for (const char *t : {"text/plain", "text/x-csrc", "image/x-xcf", "application/octet-stream"})
            AssocRegisterShellExtension(QLatin1String(t), kPreviewIid, QUuid());
        ComObj::TearDown();
    }
};

} // namespace

// Faults: ancestors not consulted (C sources are text/plain's descendants);
// a nearer type losing to an ancestor; octet-stream making every file match;
// the class text not lower case.
TEST_F(Assoc, MimeTypeThenItsAncestors)
{
    AssocRegisterShellExtension(QStringLiteral("text/plain"), kPreviewIid, kBoth);
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".txt"), kPreviewIid),
              u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".c"), kPreviewIid), u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral("text/x-csrc"), kPreviewIid),
              u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".TXT"), kPreviewIid), u"{11111111-2222-3333-4444-555555555555}");
    AssocRegisterShellExtension(QStringLiteral("text/x-csrc"), kPreviewIid, kInProcOnly);
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".c"), kPreviewIid), u"{11111111-2222-3333-4444-666666666666}");
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".xcf"), kPreviewIid), QString());
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".txt"), kUnknown), QString());

    AssocRegisterShellExtension(QStringLiteral("application/octet-stream"), kPreviewIid, kBoth);
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".xcf"), kPreviewIid), QString());
    EXPECT_EQ(AssocQueryShellExtension(QStringLiteral(".zzzunknown"), kPreviewIid), QString());
}

// Faults: the length protocol (S_FALSE, then the text with its terminator);
// truncation despite ASSOCF_NOTRUNCATE; verification ignoring the class table.
TEST_F(Assoc, QueryStringProtocol)
{
    AssocRegisterShellExtension(QStringLiteral("image/x-xcf"), kPreviewIid, kUnknown);
    quint32 len = 0;
    EXPECT_EQ(AssocQueryStringW(0x61, ASSOCSTR_SHELLEXTENSION, QStringLiteral(".xcf"), kPreviewExtra, nullptr, &len),
              HRESULT_ERROR_NO_ASSOCIATION);
    EXPECT_EQ(AssocQueryStringW(0x21, ASSOCSTR_SHELLEXTENSION, QStringLiteral(".xcf"), kPreviewExtra, nullptr, &len),
              S_FALSE);

    AssocRegisterShellExtension(QStringLiteral("image/x-xcf"), kPreviewIid, kLocalOnly);
    EXPECT_EQ(AssocQueryStringW(0x61, ASSOCSTR_SHELLEXTENSION, QStringLiteral(".xcf"), kPreviewExtra, nullptr, &len),
              S_FALSE);
    EXPECT_EQ(len, 39u);
    char16_t buf[64] = {};
    quint32 small = 10;
    EXPECT_EQ(AssocQueryStringW(0x21, ASSOCSTR_SHELLEXTENSION, QStringLiteral(".xcf"), kPreviewExtra, buf, &small),
              E_POINTER);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(AssocQueryStringW(0x21, ASSOCSTR_SHELLEXTENSION, QStringLiteral(".xcf"), kPreviewExtra, buf, &len), S_OK);
    EXPECT_EQ(QString::fromUtf16(buf), u"{11111111-2222-3333-4444-777777777777}");
    EXPECT_EQ(AssocQueryStringW(0x21, ASSOCSTR_SHELLEXTENSION, QStringLiteral(".xcf"), kPreviewExtra, buf, nullptr),
              E_INVALIDARG);
}
