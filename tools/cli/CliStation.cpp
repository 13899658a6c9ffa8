// program / compare / read on several ports: the station runs a child per
// port; here they are drawn (status lines on a terminal, else every line
// whole with its port in front), recorded and summed up.
#include "CliFiles.h"
#include "CliRun.h"
#include "CliSystem.h"
#include "CliUnits.h"

#include "UFolders.h"
#include "UPortNames.h"
#include "UProcs.h"
#include "URunLines.h"
#include "UStation.h"
#include "UUnitsBatch.h"

#include <algorithm>
#include <chrono>

namespace {

using TClock = std::chrono::steady_clock;

constexpr auto RedrawEvery = std::chrono::milliseconds(100);

// Code points, for padding and cutting UTF-8 to the terminal's columns.
size_t Columns(const std::string &Text)
{
    size_t Count = 0;
    for (const char C : Text)
        Count += (static_cast<unsigned char>(C) & 0xC0) != 0x80;
    return Count;
}

std::string Fit(const std::string &Text, size_t Width)
{
    std::string Out;
    size_t Count = 0;
    for (const char C : Text) {
        const bool Starts = (static_cast<unsigned char>(C) & 0xC0) != 0x80;
        if (Starts && Count == Width)
            break;
        Count += Starts;
        Out += C;
    }
    return Out + std::string(Width - Count, ' ');
}

// A port's name on a line of its own: control characters would break the line or move the cursor.
std::string Shown(const std::string &Port)
{
    std::string Out = Port;
    for (char &C : Out)
        if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F)
            C = '?';
    return Out;
}

std::string Seconds(int64_t Ms)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "%lld,%lld s", static_cast<long long>(Ms / 1000),
                  static_cast<long long>(Ms % 1000 / 100));
    return Text;
}

class TCliHost : public TStationHost {
public:
    TCliHost(const TCliArgs &Args, TReports &Reports)
        : Ports(Args.Ports), Reports(Reports), Human(Args.Json ? stderr : stdout), Terminal(IsTerminal(Human)),
          Json(Args.Json), Statuses(Ports.size()), Records(Ports.size()), Units(Ports.size())
    {
        for (const std::string &Port : Ports)
            PortWidth = std::max(PortWidth, Columns(Shown(Port)));
        if (Terminal) {
            PrepareTerminal(Human);
            Draw();
        }
    }

    void PortLine(size_t Port, const std::string &Line) override
    {
        if (Terminal)
            return;
        const std::string Whole = Shown(Ports[Port]) + ": " + Line + "\n";
        std::fwrite(Whole.data(), 1, Whole.size(), Human);
        std::fflush(Human);
    }
    // The preparation and complaints go to stderr, as a single run has them; a report follows the log.
    void PortNote(size_t Port, TNoteKind Kind, const std::string &Text) override
    {
        FILE *To = Kind == TNoteKind::Report ? Human : stderr;
        if (!Terminal)
            std::fprintf(To, "%s: %s\n", Shown(Ports[Port]).c_str(), Text.c_str());
        else if (Kind != TNoteKind::Preparation)
            Above(To, Shown(Ports[Port]) + ": " + Text);
    }
    void PortUnit(size_t Port, const std::string &Key) override { Units[Port] = Shown(Key); }
    void PortStatus(size_t Port, const TRunStatus &Status) override
    {
        Statuses[Port] = Status;
        if (Terminal && TClock::now() - LastDraw >= RedrawEvery)
            Draw();
    }
    void PortFinished(size_t Port, const TPortRecord &Record) override
    {
        Records[Port] = Record;
        // The JSON object goes to stdout; on a terminal it lands above the status lines.
        if (Json && Terminal && IsTerminal(stdout)) {
            const int Lines = Drawn;
            Above(stdout, "");
            Drawn = 0;
            ReportsOk = Reports.Write(Record) && ReportsOk;
            if (Lines > 0)
                Draw();
        } else {
            ReportsOk = Reports.Write(Record) && ReportsOk;
        }
        if (Terminal)
            Draw();
    }

    void Summary() const;
    int Status() const;

private:
    std::string StatusLine(size_t Port) const;
    void Draw();
    void Above(FILE *To, const std::string &Text);

    const std::vector<std::string> &Ports;
    TReports &Reports;
    FILE *Human;
    const bool Terminal, Json;
    std::vector<TRunStatus> Statuses;
    std::vector<TPortRecord> Records;
    std::vector<std::string> Units; // of a units table, as each run starts
    size_t PortWidth = 4;
    int Drawn = 0;
    TClock::time_point LastDraw;
    bool ReportsOk = true;
};

std::string TCliHost::StatusLine(size_t Port) const
{
    std::string Line = Fit(Shown(Ports[Port]), PortWidth) + "  ";
    const TPortRecord &Record = Records[Port];
    if (Record.Result != TPortResult::None)
        return Line + ResultText(Record) + "  " + Seconds(Record.DurationMs);
    const TRunStatus &S = Statuses[Port];
    if (!Units[Port].empty())
        Line += Units[Port] + "  ";
    Line += Fit(PhaseText(S.Phase), 40);
    if (S.Phase == TRunPhase::Writing || S.Phase == TRunPhase::Verifying || S.Phase == TRunPhase::Reading) {
        constexpr int32_t Width = 20;
        const int32_t Filled = static_cast<int32_t>(static_cast<int64_t>(S.Bytes) * Width / DeviceImageSize);
        Line += " [" + std::string(static_cast<size_t>(Filled), '#') +
                std::string(static_cast<size_t>(Width - Filled), '.') + "] " + Fit(std::to_string(S.Bytes), 4) + "/" +
                std::to_string(DeviceImageSize);
    }
    if (S.Repeats() > 0)
        Line += "  powtórzenia: " + std::to_string(S.Repeats());
    return Line;
}

// One status line per port, redrawn in place; each is cut to the terminal's
// width so that none wraps and the cursor goes back up by exactly that many.
void TCliHost::Draw()
{
    const size_t Width = static_cast<size_t>(std::max(20, TerminalColumns(Human) - 1));
    std::string Text;
    if (Drawn > 0)
        Text += "\x1b[" + std::to_string(Drawn) + "A";
    for (size_t I = 0; I < Ports.size(); ++I) {
        std::string Line = StatusLine(I);
        if (Columns(Line) > Width)
            Line = Fit(Line, Width);
        Text += "\r\x1b[K" + Line + "\n";
    }
    std::fwrite(Text.data(), 1, Text.size(), Human);
    std::fflush(Human);
    Drawn = static_cast<int>(Ports.size());
    LastDraw = TClock::now();
}

// A line above the status lines, which are drawn again below it.
void TCliHost::Above(FILE *To, const std::string &Text)
{
    if (Drawn > 0) {
        std::fprintf(Human, "\x1b[%dA\r\x1b[J", Drawn);
        std::fflush(Human);
    }
    if (!Text.empty()) {
        std::fprintf(To, "%s\n", Text.c_str());
        std::fflush(To);
    }
    if (Drawn > 0 && !Text.empty()) {
        Drawn = 0;
        Draw();
    }
}

void TCliHost::Summary() const
{
    size_t VersionWidth = 6, OutcomeWidth = 5, UnitWidth = 0;
    for (const TPortRecord &R : Records) {
        VersionWidth = std::max(VersionWidth, Columns(R.Version));
        OutcomeWidth = std::max(OutcomeWidth, Columns(ResultText(R)));
        if (!R.UnitKey.empty())
            UnitWidth = std::max<size_t>({UnitWidth, 9, Columns(R.UnitKey)});
    }
    // A batch from a units table names each port's unit.
    auto Unit = [UnitWidth](const std::string &Key) { return UnitWidth == 0 ? "" : Fit(Key, UnitWidth) + "  "; };
    std::string Text = "\n" + Fit("Port", PortWidth) + "  " + Unit("Jednostka") + Fit("Wersja", VersionWidth) + "  " +
                       Fit("Wynik", OutcomeWidth) + "  Czas\n";
    std::string Failed;
    for (size_t I = 0; I < Ports.size(); ++I) {
        const TPortRecord &R = Records[I];
        Text += Fit(Shown(Ports[I]), PortWidth) + "  " + Unit(R.UnitKey.empty() ? "-" : Shown(R.UnitKey)) +
                Fit(R.Version.empty() ? "-" : R.Version, VersionWidth) + "  " + Fit(ResultText(R), OutcomeWidth) +
                "  " + Seconds(R.DurationMs) + "\n";
        if (R.Result != TPortResult::Ok)
            Failed += (Failed.empty() ? "" : ", ") + Shown(Ports[I]);
    }
    Text += Failed.empty() ? "Wszystkie przebiegi udane.\n" : "Nieudane: " + Failed + "\n";
    std::fwrite(Text.data(), 1, Text.size(), Human);
    std::fflush(Human);
}

int TCliHost::Status() const
{
    if (StopSignalStatus() != 0)
        return StopSignalStatus();
    bool Negative = false;
    for (const TPortRecord &R : Records) {
        if (R.Result == TPortResult::File)
            return ExitFailure;
        Negative = Negative || R.Result != TPortResult::Ok;
    }
    return !ReportsOk ? ExitFailure : Negative ? ExitNegative : ExitOk;
}

} // namespace

int RunStation(const TCliArgs &Args, int32_t Mode)
{
    ProgramDir.Assign(ProgramFolder());
    std::string Error;
    std::vector<TRunSet> Sets;
    TRunSet Same;
    auto Base = std::make_unique<TSettings>();
    if (!PortsApart(Args.Ports, Error) ||
        (Mode == RunModeRead && !ReadFilesOfPorts(Args.Ports, Args[0], Args.Image, Sets, Error))) {
        Complain(Error);
        return ExitFailure;
    }
    if (Mode == RunModeRead) {
        std::vector<std::string> Outputs;
        for (const TRunSet &Set : Sets)
            Outputs.insert(Outputs.end(), {Set.OutPath, Set.ImagePath});
        if (!FilesApart({Args.Base}, Outputs, Args.Log))
            return ExitFailure;
        for (const std::string &Output : Outputs)
            if (!Output.empty() && !OutFileWritable(Output))
                return ExitFailure;
        // A base set that cannot be read fails here rather than in every child.
        if (!Args.Base.empty() && !ReadBaseSet(Args.Base, *Base))
            return ExitFailure;
    } else {
        // A units table and its journal are files of the command too.
        const std::vector<std::string> Inputs = {Args[0], Args.Units};
        if (!FilesApart(Inputs, {Args.Units.empty() ? std::string() : UnitsJournalPath(Args.Units)}, Args.Log))
            return ExitFailure;
        // The set is read and checked once for every run; each unit's set of a table was checked with the table.
        if (!ReadSetFile(Args[0], Settings))
            return ExitFailure;
        const std::string Problem = Args.Units.empty() ? CheckSettings() : std::string();
        if (!Problem.empty()) {
            std::fprintf(stderr, "%s\n", LineSettingsError);
            Complain(Args[0] + ": " + Problem);
            return ExitNegative;
        }
        Same.Bytes.assign(reinterpret_cast<const char *>(&Settings), sizeof Settings);
        Same.File = Args[0];
    }
    TUnitsBatch Batch;
    if (!Args.Units.empty()) {
        if (const int Status = OpenUnitsBatch(Args, Settings, Batch); Status != ExitOk)
            return Status;
    }
    TReports Reports;
    if (!Reports.Open(Args.Log, Args.Json))
        return ExitFailure;

    TCliHost Host(Args, Reports);
    TUnitsHost UnitsHost(Host, Batch);
    TProcessLauncher Launcher;
    TStation Station(Args.Units.empty() ? static_cast<TStationHost &>(Host) : UnitsHost, Launcher);
    CatchStopSignals([&Station] { Station.StopAll(); });
    TStationJob Job;
    Job.Mode = Mode;
    Job.Ports = Args.Ports;
    if (!Args.Base.empty())
        Job.BaseBytes.assign(reinterpret_cast<const char *>(Base.get()), sizeof(TSettings));
    Job.SetFor = [&](size_t Port, const std::string &, TRunSet &Set, std::string &) {
        Set = Mode == RunModeRead ? Sets[Port] : Same;
        return true;
    };
    if (!Args.Units.empty())
        Job.SetFor = UnitsHost.Provider();
    Station.Start(std::move(Job));
    Station.Wait();
    CatchStopSignals(nullptr);
    Host.Summary();
    if (!Args.Units.empty())
        PrintUnitsLeft(Batch, Args.Units, Args.Json ? stderr : stdout);
    return UnitsHost.JournalFailed() && StopSignalStatus() == 0 ? ExitFailure : Host.Status();
}
