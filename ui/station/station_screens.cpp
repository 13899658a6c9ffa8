// trackwarden-station-screens OUTDIR: the station window with a units table
// chosen and a tile in every state, a comparison's differences, a tile's log,
// a table's findings and the audit log's view, as PNG files (offscreen by
// default). Ports are links to /dev/null in
// a folder of its own; the tiles are given the values runs would give them.
#include "UStationTile.h"
#include "UStationWindow.h"

#include "UAuditLog.h"
#include "UProcs.h"
#include "UStationTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// Keeps what the window would show in a window of its own.
class TShotDialogs : public TStationDialogs {
public:
    bool ChooseSet(QWidget *, const QString &, QString &) override { return false; }
    bool ChooseFolder(QWidget *, const QString &, QString &) override { return false; }
    bool ChooseLogFile(QWidget *, const QString &, QString &) override { return false; }
    bool Ask(QWidget *, const QString &) override { return false; }
    void Inform(QWidget *, const QString &) override {}
    void OpenInEditor(const QString &) override {}
    void ShowWidget(QWidget *, QWidget *Content, const QString &) override { Shown.reset(Content); }
    std::unique_ptr<QWidget> Shown;
};

TPortRecord Record(TPortResult Result, const char *Version, int64_t Ms, int32_t Mode)
{
    TPortRecord R;
    R.Result = Result;
    R.Version = Version;
    R.DurationMs = Ms;
    R.Mode = Mode;
    R.Status.Phase = TRunPhase::Ended;
    return R;
}

TRunStatus Status(TRunPhase Phase, int32_t Bytes, int32_t Repeats)
{
    TRunStatus S;
    S.Phase = Phase;
    S.Bytes = Bytes;
    S.Read.Repeats = Repeats;
    return S;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trackwarden-station-screens OUTDIR\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const QDir Out(QString::fromLocal8Bit(argv[1]));
    if (!Out.exists() && !QDir().mkpath(Out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir Temporary;
    const std::string Folder = Temporary.path().toStdString() + "/";
    std::filesystem::create_directories(Folder + "Sets");
    std::filesystem::create_directories(Folder + "Sys");
    for (int Com = 1; Com <= 8; ++Com)
        std::filesystem::create_symlink("/dev/null", Folder + "Sys/COM" + std::to_string(Com));
    SetDefaultSettings();
    {
        std::ofstream Set(Folder + "Sets/klient_A.set", std::ios::binary);
        Set.write(reinterpret_cast<const char *>(&Settings), sizeof Settings);
    }
    {
        std::ofstream Units(Folder + "Sets/partia_12.csv");
        Units << "Jednostka;SimPin;DevicePin\n";
        for (int N = 1; N <= 40; ++N)
            Units << "SN-12-" << 100 + N << ";" << 1000 + N << ";" << 2000 + N << "\n";
        std::ofstream Used(Folder + "Sets/partia_12.csv.used");
        for (int N = 1; N <= 17; ++N)
            Used << "SN-12-" << 100 + N << "\n";
        std::ofstream Bad(Folder + "Sets/partia_13.csv");
        Bad << "Jednostka;SimPin;Users[1].Phone\nSN-13-101;12345;+48600100200\nSN-13-101;1234;\n";
    }
    // A few runs in the audit log, for its view.
    {
        std::ofstream Log(Folder + "stanowisko.log");
        const TPortResult Results[] = {TPortResult::Ok, TPortResult::Ok, TPortResult::NoReply, TPortResult::Verify,
                                       TPortResult::Ok};
        int N = 0;
        for (const TPortResult Result : Results) {
            TPortRecord R = Record(Result, Result == TPortResult::NoReply ? "" : "4.5.6", 3100 + 17 * N, 1);
            R.Port = Folder + "Sys/COM" + std::to_string(N % 4 + 1);
            R.Time = "2026-12-09T08:1" + std::to_string(N) + ":05+01:00";
            R.SetFile = Folder + "Sets/klient_A.set";
            R.SetSha256 = std::string(64, 'c');
            R.UnitKey = "SN-12-1" + std::to_string(N + 13);
            Log << AuditLine(R, "stanowisko-1");
            ++N;
        }
    }
    auto Owned = std::make_unique<TShotDialogs>();
    TShotDialogs &Dialogs = *Owned;
    TStationPlaces Places;
    Places.ProgramFolder = Folder;
    Places.SettingsFile = QString::fromStdString(Folder + "stanowisko.ini");
    Places.DefaultLog = Folder + "stanowisko.log";
    TFStation Window(std::move(Owned), Places);
    Window.UseSet(QString::fromStdString(Folder + "Sets/klient_A.set"));
    Window.UseUnits(QString::fromStdString(Folder + "Sets/partia_12.csv"));
    Window.FastBox()->setChecked(true);
    QListWidget *List = Window.PortList();
    for (int I = 0; I < List->count(); ++I)
        if (List->item(I)->text().startsWith(QStringLiteral("COM")))
            List->item(I)->setCheckState(Qt::Checked);
    Window.show();

    auto TileOf = [&](int Com) {
        return Window.Tile(QString::fromStdString(Folder + "Sys/COM" + std::to_string(Com)));
    };
    const QString Fail = QString::fromUtf8(TextVerifyFailed);
    // Writing, verifying with repeats, then the results.
    TileOf(1)->BeginRun(RunModeProgram);
    TileOf(1)->ShowStatus(Status(TRunPhase::Writing, 5120, 0));
    TileOf(2)->BeginRun(RunModeProgram);
    TileOf(2)->ShowStatus(Status(TRunPhase::Verifying, 2048, 3));
    TileOf(3)->BeginRun(RunModeProgram);
    TileOf(3)->ShowResult(Record(TPortResult::Ok, "4.5.6", 3120, RunModeProgram), QString::fromUtf8(TextOk));
    TileOf(4)->BeginRun(RunModeProgram);
    TileOf(4)->ShowResult(Record(TPortResult::NoReply, "", 1590, RunModeProgram), QString::fromUtf8(TextNoReply));
    TileOf(5)->BeginRun(RunModeCompareDetails);
    TileOf(5)->AddLine(QStringLiteral("Otwarcie portu COM..."));
    TileOf(5)->AddLine(QStringLiteral("Port COM otwarty."));
    TileOf(5)->AddDifference({"Users[1].PhoneNumber", "\"+48600100200\"", "\"\"", 0, 0});
    TileOf(5)->AddDifference({"Inputs[1].DelayTime", "7", "2", 0, 0});
    TileOf(5)->AddDifference({"", "00 00", "AB CD", 6000, 2});
    TileOf(5)->ShowResult(Record(TPortResult::Verify, "4.5.6", 1480, RunModeCompareDetails), Fail);
    TileOf(6)->BeginRun(RunModeProgram);
    TileOf(6)->ShowResult(Record(TPortResult::Ok, "4.5.6", 3090, RunModeProgram), QString::fromUtf8(TextOk));
    TileOf(6)->ShowWaiting(true);
    TileOf(7)->BeginRun(RunModeProgram);
    TileOf(7)->ShowResult(Record(TPortResult::Interrupted, "4.5.6", 800, RunModeProgram),
                          QString::fromUtf8(TextStopped));
    TileOf(8)->BeginRun(RunModeProgram);
    TileOf(8)->ShowResult(Record(TPortResult::Start, "", 2, RunModeProgram), QString::fromUtf8(TextUnitsExhausted));
    // Each programming tile's unit; the comparison's has none.
    const int Units[] = {1, 2, 3, 4, 6, 7};
    for (int N = 0; N < 6; ++N)
        TileOf(Units[N])->ShowUnit(QStringLiteral("SN-12-%1").arg(118 + N));
    App.processEvents();

    int Failed = 0;
    auto Save = [&](QWidget &What, const char *Name) {
        What.show();
        App.processEvents();
        const QString Path = Out.filePath(QString::fromLatin1(Name));
        if (!What.grab().save(Path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(Path));
            ++Failed;
        }
    };
    Save(Window, "station.png");
    TileOf(5)->DifferencesButton->click();
    if (Dialogs.Shown)
        Save(*Dialogs.Shown, "station-differences.png");
    TileOf(5)->LogButton->click();
    if (Dialogs.Shown)
        Save(*Dialogs.Shown, "station-tile-log.png");
    // A table with findings, refused with them (the window then keeps no table).
    Window.UseUnits(QString::fromStdString(Folder + "Sets/partia_13.csv"));
    if (Dialogs.Shown)
        Save(*Dialogs.Shown, "station-units-findings.png");
    Window.ShowAuditView();
    if (Dialogs.Shown)
        Save(*Dialogs.Shown, "station-log.png");
    return Failed == 0 ? 0 : 1;
}
