// The controls against plain Qt doing the same work:
//   menus    a 500-item menu in three levels built and opened (and closed)
//            with TQEPopupMenu against QMenu/QAction; 1,000 caption changes
//            of an item bound to a mirroring control against QAction::setText;
//   frames   one frame of the loading animation shown (Step + paint) against
//            QLabel::setPixmap + paint; one tick of the running bar (step +
//            paint) against a busy QProgressBar (Fusion) repainted;
// then repaints per second of the animation and the bar. One run each;
// ratios (ours / Qt, lower is better) print at the end.
#include <ZorCompCore/controls/AnimatedProgressBar.h>
#include <ZorCompCore/controls/QEPopupMenu.h>
#include <ZorCompCore/controls/ZORImageSlider.h>

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <map>

using namespace zor;

namespace {

constexpr int kTop = 10, kMiddle = 10, kLeaves = 4; // 10 + 100 + 400 = 510 items

// Closes whatever popup opened as soon as its event loop runs.
void closeWhenOpen()
{
    QTimer::singleShot(0, [] {
        if (QWidget *w = QApplication::activePopupWidget())
            w->close();
    });
}

void BM_Menu500_Ours(benchmark::State &state)
{
    for (auto _ : state) {
        TQEPopupMenu menu;
        for (int i = 0; i < kTop; ++i) {
            TQEMenuItem *top = menu.CreateItem(true);
            top->SetCaption(QStringLiteral("Top %1").arg(i));
            for (int j = 0; j < kMiddle; ++j) {
                TQEMenuItem *mid = menu.CreateItem(false);
                mid->SetCaption(QStringLiteral("Middle %1").arg(j));
                top->Add(mid);
                for (int k = 0; k < kLeaves; ++k) {
                    TQEMenuItem *leaf = menu.CreateItem(false);
                    leaf->SetCaption(QStringLiteral("Leaf %1").arg(k));
                    leaf->SetShortCut(k == 0 ? TShortCut(scCtrl | ('A' + j)) : TShortCut(0));
                    mid->Add(leaf);
                }
            }
        }
        closeWhenOpen();
        menu.Popup(10, 10);
    }
}
BENCHMARK(BM_Menu500_Ours)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Menu500_QMenu(benchmark::State &state)
{
    for (auto _ : state) {
        QMenu menu;
        for (int i = 0; i < kTop; ++i) {
            QMenu *top = menu.addMenu(QStringLiteral("Top %1").arg(i));
            for (int j = 0; j < kMiddle; ++j) {
                QMenu *mid = top->addMenu(QStringLiteral("Middle %1").arg(j));
                for (int k = 0; k < kLeaves; ++k) {
                    QAction *leaf = mid->addAction(QStringLiteral("Leaf %1").arg(k));
                    if (k == 0)
                        leaf->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_A + j)));
                }
            }
        }
        closeWhenOpen();
        menu.exec(QPoint(10, 10));
    }
}
BENCHMARK(BM_Menu500_QMenu)->Unit(benchmark::kMillisecond)->Iterations(5);

// A control that takes every value, as a toolbar button would.
class NullControl : public TInterfacedObject, public IQEMenuControl
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IQEMenuControl>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    int AddRef() override { return TInterfacedObject::AddRef(); }
    int Release() override { return TInterfacedObject::Release(); }
    void Set_Caption(const QString &v) override { Text = v; }
    void Set_Enabled(bool) override {}
    void Set_Visible(bool) override {}
    void Set_Checked(bool) override {}
    void Set_HelpContext(int) override {}
    void Set_Hint(const QString &) override {}
    void Set_GroupIndex(quint8) override {}
    void Set_ShortCut(quint16) override {}
    void Set_RadioItem(bool) override {}
    void Do_Notification(TQEMenuControlNotification) override {}
    void Set_Icon(const QIcon &) override {}
    QString Text;
};

void BM_Captions1000_Ours(benchmark::State &state)
{
    TQEPopupMenu menu;
    TQEMenuItem *item = menu.CreateItem(true);
    IPtr<NullControl> control(new NullControl);
    item->Set_MenuControl(control.get());
    int n = 0;
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i)
            item->SetCaption(QStringLiteral("Caption %1").arg(++n));
}
BENCHMARK(BM_Captions1000_Ours)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_Captions1000_QAction(benchmark::State &state)
{
    QMenu menu;
    QAction *action = menu.addAction(QStringLiteral("x"));
    int n = 0;
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i)
            action->setText(QStringLiteral("Caption %1").arg(++n));
}
BENCHMARK(BM_Captions1000_QAction)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_Frame_Ours(benchmark::State &state)
{
    QWidget form;
    auto *a = new TZORLoadingImageAnimation(&form);
    form.show();
    a->Step();
    for (auto _ : state) {
        a->Step();
        a->repaint();
    }
}
BENCHMARK(BM_Frame_Ours)->Unit(benchmark::kMicrosecond);

void BM_Frame_QLabel(benchmark::State &state)
{
    TcxZORImageCollection frames;
    frames.LoadFromResName(TZORLoadingImageAnimation::AnimationSetResName(dasCircle1));
    QWidget form;
    auto *label = new QLabel(&form);
    label->resize(32, 32);
    form.show();
    int i = 0;
    for (auto _ : state) {
        label->setPixmap(frames.Items(i = (i + 1) % frames.Count()));
        label->repaint();
    }
}
BENCHMARK(BM_Frame_QLabel)->Unit(benchmark::kMicrosecond);

void BM_BarTick_Ours(benchmark::State &state)
{
    QWidget form;
    auto *bar = new TAnimatedProgressBar(&form);
    bar->SetAnimate(true);
    form.show();
    for (auto _ : state) {
        bar->ManualStep();
        bar->repaint();
    }
}
BENCHMARK(BM_BarTick_Ours)->Unit(benchmark::kMicrosecond);

void BM_BarTick_QProgressBar(benchmark::State &state)
{
    QWidget form;
    auto *bar = new QProgressBar(&form);
    bar->setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    bar->setRange(0, 0); // busy
    bar->resize(200, 9);
    form.show();
    for (auto _ : state)
        bar->repaint();
}
BENCHMARK(BM_BarTick_QProgressBar)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (!r.error_occurred && r.iterations > 0)
                times[r.benchmark_name().substr(0, r.benchmark_name().find('/'))] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

void PrintRatio(const RatioReporter &rep, const char *what, const char *ours, const char *peer)
{
    const auto a = rep.times.find(ours), b = rep.times.find(peer);
    if (a == rep.times.end() || b == rep.times.end() || b->second <= 0) {
        std::printf("  %-52s n/a\n", what);
        return;
    }
    std::printf("  %-52s %6.2fx\n", what, a->second / b->second);
}

void PrintRate(const RatioReporter &rep, const char *what, const char *name)
{
    const auto a = rep.times.find(name);
    if (a != rep.times.end() && a->second > 0) // microseconds per repaint
        std::printf("  %-52s %8.0f / s\n", what, 1e6 / a->second);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The first menu laid out reads the font database, once per process:
    // done here, so that the benchmark running first does not pay for it.
    {
        QMenu warm;
        warm.addAction(QStringLiteral("warm-up"));
        warm.adjustSize();
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios, ours / plain Qt (lower is better):\n");
    PrintRatio(reporter, "500-item 3-level menu built and opened vs QMenu", "BM_Menu500_Ours", "BM_Menu500_QMenu");
    PrintRatio(reporter, "1,000 captions, bound control vs QAction::setText", "BM_Captions1000_Ours",
               "BM_Captions1000_QAction");
    PrintRatio(reporter, "animation frame vs QLabel::setPixmap", "BM_Frame_Ours", "BM_Frame_QLabel");
    PrintRatio(reporter, "bar tick vs busy QProgressBar (Fusion)", "BM_BarTick_Ours", "BM_BarTick_QProgressBar");
    std::printf("\nRepaints per second:\n");
    PrintRate(reporter, "loading animation (Step + repaint)", "BM_Frame_Ours");
    PrintRate(reporter, "running bar (step + repaint)", "BM_BarTick_Ours");
    return 0;
}
