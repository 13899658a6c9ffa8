// The station window's figures: its start-up against a bare Qt window, and
// eight simulated devices programmed at once against one, with the
// window's own CPU time meanwhile (its runs are child processes, which are
// not counted). Run from <build>/bin; offscreen. About a minute.
//   bench_station                       all of it
//   bench_station --child station|bare|empty  one start, used by the start-up figure
//   bench_station --fast                the runs in the fast exchange
//   bench_station --start               the start-up alone
#include "UMain.h"
#include "UProcs.h"
#include "bench_startup.h"
#include "UStationTile.h"
#include "UStationWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

class TNoDialogs : public TStationDialogs {
public:
    bool ChooseSet(QWidget *, const QString &, QString &) override { return false; }
    bool ChooseFolder(QWidget *, const QString &, QString &) override { return false; }
    bool ChooseLogFile(QWidget *, const QString &, QString &) override { return false; }
    bool Ask(QWidget *, const QString &) override { return false; }
    void Inform(QWidget *, const QString &Text) override { std::fprintf(stderr, "%s\n", qPrintable(Text)); }
    void OpenInEditor(const QString &) override {}
    void ShowWidget(QWidget *, QWidget *Content, const QString &) override { delete Content; }
};

TStationPlaces PlacesIn(const std::string &Folder)
{
    TStationPlaces Places;
    Places.ProgramFolder = Folder;
    Places.SettingsFile = QString::fromStdString(Folder + "stanowisko.ini");
    Places.DefaultLog = Folder + "stanowisko.log";
    return Places;
}

// Kind: "empty" (a QWidget alone, which never loads a font), "bare" (the
// bare window bench_ui compares the editor with: a tab widget with one tab),
// "station".
int ChildMain(int argc, char *argv[], const std::string &Kind)
{
    const bool Bare = Kind != "station";
    if (!Bare)
        UsePolishLocale();
    QApplication App(argc, argv);
    QTemporaryDir Temporary;
    std::unique_ptr<QWidget> Window;
    if (Kind == "empty") {
        Window = std::make_unique<QWidget>();
        Window->resize(1240, 760);
    } else if (Bare) {
        auto *Tabs = new QTabWidget;
        Tabs->addTab(new QWidget, QStringLiteral("PLIKI"));
        Window.reset(Tabs);
        Window->resize(1240, 760);
    } else {
        InstallPolishTranslation();
        const std::string Folder = Temporary.path().toStdString() + "/";
        std::filesystem::create_directories(Folder + "Sys");
        Window = std::make_unique<TFStation>(std::make_unique<TNoDialogs>(), PlacesIn(Folder));
    }
    return ShowThenExit(App, *Window);
}

double CpuSeconds()
{
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

struct TBatchFigures {
    double Seconds = 0, Cpu = 0;
    int Ok = 0;
};

// Programs Count devices from the window; the wall time and the window's own CPU time.
TBatchFigures ProgramDevices(const QString &Sim, int Count, bool Fast)
{
    QTemporaryDir Temporary;
    const std::string Folder = Temporary.path().toStdString() + "/";
    std::filesystem::create_directories(Folder + "Sys");
    std::filesystem::create_directories(Folder + "Sets");
    SetDefaultSettings();
    std::ofstream(Folder + "Sets/bench.set", std::ios::binary)
        .write(reinterpret_cast<const char *>(&Settings), sizeof Settings);
    std::vector<std::unique_ptr<QProcess>> Sims;
    for (int Com = 1; Com <= Count; ++Com) {
        auto P = std::make_unique<QProcess>();
        P->start(Sim, {"--link", QString::fromStdString(Folder + "Sys/COM" + std::to_string(Com))});
        if (!P->waitForReadyRead(10000))
            std::fprintf(stderr, "simulator %d did not start\n", Com);
        Sims.push_back(std::move(P));
    }
    TBatchFigures Figures;
    {
        TFStation Window(std::make_unique<TNoDialogs>(), PlacesIn(Folder));
        Window.UseSet(QString::fromStdString(Folder + "Sets/bench.set"));
        Window.FastBox()->setChecked(Fast);
        Window.show();
        QListWidget *List = Window.PortList();
        for (int I = 0; I < List->count(); ++I)
            List->item(I)->setCheckState(List->item(I)->text().startsWith(QStringLiteral("COM")) ? Qt::Checked
                                                                                                 : Qt::Unchecked);
        QApplication::processEvents();
        const double CpuBefore = CpuSeconds();
        QElapsedTimer Clock;
        Clock.start();
        Window.StartButton()->click();
        QEventLoop Loop;
        QTimer Poll;
        QObject::connect(&Poll, &QTimer::timeout, [&] {
            if (!Window.RunsInProgress())
                Loop.quit();
        });
        Poll.start(50);
        Loop.exec();
        Figures.Seconds = static_cast<double>(Clock.nsecsElapsed()) / 1e9;
        Figures.Cpu = CpuSeconds() - CpuBefore;
        for (TStationTile *T : Window.Tiles())
            Figures.Ok += T->Passes();
    }
    for (auto &P : Sims) {
        P->terminate();
        P->waitForFinished(5000);
    }
    return Figures;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return ChildMain(argc, argv, argv[2]);
    const bool Fast = argc == 2 && std::strcmp(argv[1], "--fast") == 0;
    const bool StartOnly = argc == 2 && std::strcmp(argv[1], "--start") == 0;

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const QString Self = QCoreApplication::applicationFilePath();
    const int Runs = 15;
    const double Empty = MedianStartMs(Self, "empty", Runs);
    const double Bare = MedianStartMs(Self, "bare", Runs);
    const double Station = MedianStartMs(Self, "station", Runs);
    std::printf("start to window shown, median of %d: bare window (one tab, as bench_ui) %.1f ms, station window "
                "%.1f ms, ratio %.2f (target <= 1.5); an empty QWidget %.1f ms, ratio %.2f\n",
                Runs, Bare, Station, Bare > 0 ? Station / Bare : 0.0, Empty, Empty > 0 ? Station / Empty : 0.0);
    std::fflush(stdout);
    if (StartOnly)
        return 0;

    const QString Sim = QCoreApplication::applicationDirPath() + QStringLiteral("/trackwarden-sim");
    const TBatchFigures One = ProgramDevices(Sim, 1, Fast);
    const TBatchFigures Eight = ProgramDevices(Sim, 8, Fast);
    std::printf("programming%s: one device %.2f s (%d ok), eight devices %.2f s (%d ok), ratio %.3f (target <= 1.05)\n",
                Fast ? " (fast exchange)" : "", One.Seconds, One.Ok, Eight.Seconds, Eight.Ok,
                One.Seconds > 0 ? Eight.Seconds / One.Seconds : 0.0);
    std::printf("the window's own CPU while eight run: %.2f s in %.2f s, %.1f %% of a core (target < 5 %%)\n",
                Eight.Cpu, Eight.Seconds, Eight.Seconds > 0 ? 100.0 * Eight.Cpu / Eight.Seconds : 0.0);
    return 0;
}
