// The window's speed: start-up against a bare Qt window with one tab, the
// first show of a page, and one SettingsToForm / FormToSettings with every
// page made. Run from <build>/bin; offscreen.
//   bench_ui                       all of it
//   bench_ui --child window|bare   one start, used by the start-up figures
#include "UDecls.h"
#include "UMain.h"
#include "UProcs.h"
#include "bench_startup.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// One process: the window is shown, then the process ends.
int ChildMain(int argc, char *argv[], bool Bare)
{
    if (!Bare)
        UsePolishLocale();
    QApplication App(argc, argv);
    // Both windows draw their texts in the window's font, so both load it.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 8));
    std::unique_ptr<QWidget> Window;
    if (Bare) {
        auto *Tabs = new QTabWidget;
        Tabs->addTab(new QWidget, "PLIKI");
        Window.reset(Tabs);
        Window->resize(503, 508);
    } else {
        // What the program's main does.
        InstallPolishTranslation();
        Window = std::make_unique<TFMain>();
    }
    return ShowThenExit(App, *Window);
}

// Every page made, as after a user has visited every tab: the binding's
// slowest case, since controls not made yet are plain values.
TFMain *BenchWindow()
{
    static TFMain *Window = [] {
        auto *W = new TFMain();
        W->Form().Components();
        return W;
    }();
    return Window;
}

// First show of a page: its controls are made and take the values the
// binding gave them. WEJ is the largest page, PLIKI is made at start-up.
void BM_FirstShowOfPage(benchmark::State &State)
{
    const int Page = static_cast<int>(State.range(0));
    for (auto _ : State) {
        State.PauseTiming();
        auto Window = std::make_unique<TFMain>();
        auto *Tabs = Window->Form().Control<QTabWidget>("PageControl1");
        State.ResumeTiming();
        Tabs->setCurrentIndex(Page);
        State.PauseTiming();
        Window.reset();
        State.ResumeTiming();
    }
}
BENCHMARK(BM_FirstShowOfPage)->Arg(3)->Arg(11)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SettingsToForm(benchmark::State &State)
{
    TFMain *Window = BenchWindow();
    SetDefaultSettings();
    int Flip = 0;
    for (auto _ : State) {
        // A different identifier each time, so the retitling is part of it.
        Settings.Users[1].Identifier.Assign((Flip++ & 1) ? "Jan" : "Ola");
        Window->SettingsToForm();
    }
}
BENCHMARK(BM_SettingsToForm)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_FormToSettings(benchmark::State &State)
{
    TFMain *Window = BenchWindow();
    for (auto _ : State)
        Window->FormToSettings();
}
BENCHMARK(BM_FormToSettings)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return ChildMain(argc, argv, std::strcmp(argv[2], "bare") == 0);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const QString Self = QCoreApplication::applicationFilePath();
    const int Runs = 15;
    const double Bare = MedianStartMs(Self, "bare", Runs);
    const double Window = MedianStartMs(Self, "window", Runs);
    std::printf("start to window shown, median of %d: bare window %.1f ms, Trackwarden window %.1f ms, ratio %.2f (target <= 2)\n",
                Runs, Bare, Window, Bare > 0 ? Window / Bare : 0.0);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete BenchWindow();
    return 0;
}
