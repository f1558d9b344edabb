// The module table. Each module keeps a start-up counter: start-up decrements
// it and works only when it was 0; shut-down increments it and works only when
// it reaches 0, so a library initialised through two paths works once and
// undoes once.
//
// Every unit of the library is a module with an optional start-up and
// shut-down action. The list below holds one entry per unit, in start-up
// order (shut-down runs backwards). Units whose folder is left out of a
// partial build (ZOR_ONLY) are left out of the list: ZOR_WITH_<FOLDER> is
// defined for each folder that is built.
//
// Adding a module:
//  - no load/unload work: add {"<unit name>", nullptr, nullptr} to its
//    folder's block;
//  - with work: declare `void <Name>Startup(); void <Name>Shutdown();` in
//    the unit's header, inside namespace zor::detail (either may be left
//    out, pass nullptr), include that header with the others below, and put
//    the entry in the numbered slot reserved for it (the slots fix the order
//    in which the working modules start), inside `#if ZOR_WITH_<FOLDER>`.
//
// Actions run from the library's load hook, which may come before the
// dynamic initialisers of other source files, and from its unload hook,
// which may come after their destructors. So an action must only touch
// globals that are constant-initialised (raw or unique pointers, atomics,
// `constinit` values) or function-local statics.

#include "Package.h"
#include "ModuleTable_p.h"

#include <array>
#include <atomic>
#include <utility>

#if ZOR_WITH_LOCALISATION
#include <ZorCompCore/localisation/DefFonts.h>
#include <ZorCompCore/localisation/Translator.h>
#include <ZorCompCore/localisation/WidthsTooltip.h>
#endif
#if ZOR_WITH_IMAGING_WIDGETS
#include <ZorCompCore/imaging/widgets/Previewers_p.h>
#endif
#if ZOR_WITH_RICHTEXT_ENGINE
#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/richtext/engine/LoadLock.h>
#include <ZorCompCore/richtext/engine/QEWPHTMLWriter.h>
#endif
#if ZOR_WITH_RICHTEXT_ACTIONS
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#endif
#if ZOR_WITH_RICHTEXT_FRAME
#include <ZorCompCore/richtext/frame/frmQEWPRichText.h>
#endif
#if ZOR_WITH_SCRIPT
#include <ZorCompCore/script/FastScriptUtils.h>
#endif
#if ZOR_WITH_WEB
#include <ZorCompCore/web/HtmlEncodeDecode.h>
#include <ZorCompCore/web/MessageEx.h>
#endif
#if ZOR_WITH_CONTROLS
#include <ZorCompCore/controls/QEPopupMenu.h>
#endif
#if ZOR_WITH_REPORTING
#include <ZorCompCore/reporting/SysUtilsRTTI.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>
#endif
#if ZOR_WITH_REPORTING_WIDGETS
#include <ZorCompCore/reporting/widgets/ZORSpreadSheet.h>
#endif

namespace zor::detail {
namespace {

struct ModuleEntry
{
    const char *Name;
    void (*Startup)();
    void (*Shutdown)();
};

// Start-up order; shut-down runs backwards (ORDER MODULES).
constexpr ModuleEntry kModules[] = {
    // --- core: the package frame and the data types everything else uses
    {"_quenlorCustomException", nullptr, nullptr},
    {"quenlor.Tools.Exceptions", nullptr, nullptr},
    {"quenlor.Tools.SyncObjs", nullptr, nullptr},
    {"_LiveTourActionDef", nullptr, nullptr},
    {"_LiveTourDef", nullptr, nullptr},
    {"_LiveTourGlobalRegister", nullptr, nullptr},
    {"_UniqueComponent", nullptr, nullptr},
    {"_UniqueComponentHelper", nullptr, nullptr},
    {"_StreamHelper", nullptr, nullptr},
    {"_SortedLists", nullptr, nullptr},
    {"_VariantUtils", nullptr, nullptr},
    {"_NamedVariantList", nullptr, nullptr},
    {"_InterfaceDataDef", nullptr, nullptr},
    {"_InterfaceData", nullptr, nullptr},
    {"_DataStreamDef", nullptr, nullptr},
    {"_InterfacedStream", nullptr, nullptr},
    {"_BinaryUtils", nullptr, nullptr},

#if ZOR_WITH_UTILITIES
    // --- utilities
    {"quenlor.Hash.Murmur2", nullptr, nullptr},
    {"_FileUtils", nullptr, nullptr},
    {"_ProcessUtils", nullptr, nullptr},
    {"_WindowsKnownFolders", nullptr, nullptr},
    {"_Tools", nullptr, nullptr},
    {"_DateUtils", nullptr, nullptr},
    {"StrUtilsEx", nullptr, nullptr},
    {"FastStrings", nullptr, nullptr},
    {"QEDialogs", nullptr, nullptr},
    {"_JSONUtils", nullptr, nullptr},
    {"_AnsiStringTools", nullptr, nullptr},
    {"_WindowsMessageText", nullptr, nullptr},
    {"_HTTPUtils", nullptr, nullptr},
#endif

#if ZOR_WITH_LOCALISATION
    {"quenlor.Tools.TranslatorCache", nullptr, nullptr},
#endif

#if ZOR_WITH_IMAGING
    // --- imaging: below reporting and web, which use its image formats
    {"_SVGTools", nullptr, nullptr},
    {"_PDFThumbnail", nullptr, nullptr},
    {"_EnvisionUtils", nullptr, nullptr},
    {"quenlor.Tools.ImageListUtils", nullptr, nullptr},
    {"_CategoryColorIcons", nullptr, nullptr},
#endif
#if ZOR_WITH_IMAGING_WIDGETS
    {"quenlor.Tools.ControlsHelper", nullptr, nullptr},
    {"_frmZORImagePreview", nullptr, nullptr},
#endif

#if ZOR_WITH_RICHTEXT_ENGINE
    // --- rich-text engine (_QEWPHTMLWriter is slot 6)
    {"_WPReportHelper", nullptr, nullptr},
#endif

#if ZOR_WITH_WEB
    // --- web: HTML utilities and mail (_HtmlEncodeDecode is slot 13)
    {"_EmailSenderUtils", nullptr, nullptr},
    {"_ZORHTMLViewerHelper", nullptr, nullptr},
#endif

#if ZOR_WITH_CONTROLS
    // --- controls (_QEPopupMenu is slot 2)
    {"_QEGlobalMenuDef", nullptr, nullptr},
    {"_DXPopUpToPopUpMenu", nullptr, nullptr},
    {"_ZORImageSlider", nullptr, nullptr},
    {"_AnimatedProgressBar", nullptr, nullptr},
#endif

    // --- modules with load/unload work, in their fixed order. Slot 1 (the
    // tree-view cell editor registry) belongs to a control library this
    // package does not carry.
#if ZOR_WITH_CONTROLS
    // Slot 2
    {"_QEPopupMenu", &QEPopupMenuStartup, &QEPopupMenuShutdown},
#endif
#if ZOR_WITH_LOCALISATION
    // Slot 3
    {"_deffonts", &DefFontsStartup, &DefFontsShutdown},
    // Slot 4
    {"_WidthsTooltip", &WidthsTooltipStartup, nullptr},
#endif
#if ZOR_WITH_LOCALISATION
    // Slot 5
    {"quenlor.Tools.Translator", &TranslatorStartup, &TranslatorShutdown},
#endif
#if ZOR_WITH_RICHTEXT_ENGINE
    // Slot 6
    {"_QEWPHTMLWriter", &QEWPHTMLWriterStartup, &QEWPHTMLWriterShutdown},
#endif
#if ZOR_WITH_RICHTEXT_ENGINE
    // Slot 7: the editors' shared load lock exists from start-up on. It is
    // never freed: a report thread may still be loading while the package
    // shuts down.
    {"_dWPRichText", [] { (void)WPLoadLock(); }, nullptr},
#endif
#if ZOR_WITH_RICHTEXT_ACTIONS
    // Slot 8: the shared rich-text actions, if anything created them.
    {"_dmQEWPActions", nullptr, &FreeGlobalWPDefaultActions},
#endif
#if ZOR_WITH_RICHTEXT_FRAME
    // Slot 9: rich-text controls elsewhere open the frame as their pop-up editor.
    {"_cxWPToolsRichEditZOREditor", [] { ShowExternalRichEditorHook() = DoShowZORExternalRichEditor; },
     [] { ShowExternalRichEditorHook() = nullptr; }},
#endif
#if ZOR_WITH_IMAGING_WIDGETS
    // Slot 10: the object runtime and the built-in previewers
    {"_WindowsPreviewHandlerControl", &WindowsPreviewHandlerControlStartup, &WindowsPreviewHandlerControlShutdown},
#endif
#if ZOR_WITH_SCRIPT
    // Slot 11
    {"_FastScriptUtils", nullptr, &FastScriptUtilsShutdown},
#endif
#if ZOR_WITH_REPORTING_WIDGETS
    // Slot 12
    {"_ZORSpreadSheet", &ZORSpreadSheetStartup, &ZORSpreadSheetShutdown},
#endif
#if ZOR_WITH_WEB
    // Slot 13
    {"_HtmlEncodeDecode", nullptr, &HtmlEncodeDecodeShutdown},
    // The mail message's "EML" reader for the rich-text engine: after the
    // numbered slots of its folder, so the engine's own modules come first.
    {"_IndyUtils", &IndyUtilsStartup, &IndyUtilsShutdown},
#endif
#if ZOR_WITH_REPORTING
    // Slot 14
    {"_SysUtilsRTTI", &SysUtilsRTTIStartup, &SysUtilsRTTIShutdown},
#endif
#if ZOR_WITH_REPORTING
    // Slot 15
    {"_ZORHtReportDocument", &ZORHtReportDocumentStartup, &ZORHtReportDocumentShutdown},
#endif

    // --- further modules without work go in their folder's block above
};

constexpr int kModuleCount = int(std::size(kModules));

} // namespace
} // namespace zor::detail

namespace {

using namespace zor::detail;

std::atomic<int> g_counters[kModuleCount];
std::atomic<ModuleTraceHook> g_traceHook{nullptr};

void trace(int index, bool startup, bool worked)
{
    if (ModuleTraceHook hook = g_traceHook.load())
        hook(index, startup, worked);
}

template <int I>
void startup()
{
    const bool work = g_counters[I].fetch_sub(1) == 0;
    trace(I, true, work);
    if (work && kModules[I].Startup)
        kModules[I].Startup();
}

template <int I>
void shutdown()
{
    const bool work = g_counters[I].fetch_add(1) == -1;
    trace(I, false, work);
    if (work && kModules[I].Shutdown)
        kModules[I].Shutdown();
}

template <int... I>
constexpr auto makeEntries(std::integer_sequence<int, I...>)
{
    return std::array<ZorPackageUnitEntry, sizeof...(I)>{
        ZorPackageUnitEntry{&startup<I>, &shutdown<I>}...};
}

constexpr auto g_entries = makeEntries(std::make_integer_sequence<int, kModuleCount>{});
constexpr ZorPackageInfoTable g_table{kModuleCount, g_entries.data()};

} // namespace

extern "C" {

void Initialize()
{
    for (const auto &e : g_entries)
        e.Init();
}

void Finalize()
{
    for (auto it = g_entries.rbegin(); it != g_entries.rend(); ++it)
        it->FInit();
}

const ZorPackageInfoTable *GetPackageInfoTable()
{
    return &g_table;
}

} // extern "C"

namespace zor {

int ModuleCount()
{
    return kModuleCount;
}

ModuleInfo ModuleAt(int index)
{
    if (index < 0 || index >= kModuleCount)
        return {nullptr, false, false};
    const auto &m = kModules[index];
    return {m.Name, m.Startup != nullptr, m.Shutdown != nullptr};
}

namespace detail {

void SetModuleTraceHook(ModuleTraceHook hook)
{
    g_traceHook.store(hook);
}

} // namespace detail
} // namespace zor
