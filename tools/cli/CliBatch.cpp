// The parent of a run on many ports: one child per port, each the single
// run; the parent draws their progress, gathers their outcomes and answers
// for all of them.
#include "CliBatch.h"
#include "CliPorts.h"
#include "CliProcess.h"

#include "UFiles.h"
#include "UFolders.h"
#include "UProcs.h"
#include "URun.h"
#include "URunLines.h"
#include "USerialComm.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

const char *const LineInterrupted = "Przerwano.";
constexpr int RedrawMs = 100;

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

std::string Seconds(int64_t Ms)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "%lld,%lld s", static_cast<long long>(Ms / 1000),
                  static_cast<long long>(Ms % 1000 / 100));
    return Text;
}

// The device a port name opens, the same way the run opens it.
std::string PortIdentity(const std::string &Given)
{
    TSerialComm Comm;
    ParsePort(Given, Comm.Port, Comm.DevicePath);
    std::string Name = Comm.DeviceName(true);
    if (Name.empty())
        Name = Comm.DeviceName(false);
    return CanonicalDeviceName(Name);
}

struct TRunChild {
    explicit TRunChild(const TRunModeRow &Mode) : Tracker(Mode) {}
    std::string Port;
    std::string OutFile, ImageFile; // read: what the child saves
    TRunRecord Record;
    TRunTracker Tracker;
    TChildProcess Process;
    std::thread Reader;
    TClock::time_point Start;
    int64_t DurationMs = -1; // -1 while it runs
    bool Interrupted = false;
    std::string Pending; // a line not yet ended
};

struct TChildOutput {
    size_t Child;
    std::string Line;
    bool End = false;
};

class TBatch {
public:
    explicit TBatch(const TRunRequest &Request)
        : Request(Request), Human(Request.Json ? stderr : stdout), Terminal(IsTerminal(Human))
    {
    }
    int Run();

private:
    bool Prepare();
    bool PrepareRead();
    bool PrepareSet();
    std::vector<std::string> ChildArgs(const TRunChild &Child) const;
    bool IsRead() const { return Request.Mode->Mode == RunModeRead; }
    void ReadChild(TRunChild &Child, size_t Index);
    void Take(const TChildOutput &Output);
    void Finished(TRunChild &Child);
    void ReadSaved(TRunChild &Child, int Status);
    std::string StatusLine(const TRunChild &Child) const;
    void Draw();
    void Above(FILE *To, const std::string &Text);
    void Summary();

    const TRunRequest &Request;
    FILE *Human;
    const bool Terminal;
    TRunReports Reports;
    std::string SetBytes;
    std::vector<std::unique_ptr<TRunChild>> Children;
    std::vector<std::string> OutFiles, ImageFiles; // read: one per port
    size_t PortWidth = 4;
    int Drawn = 0;
    bool ReportsOk = true;
    bool FileFailed = false; // a read could not save what it read

    std::mutex Lock;
    std::condition_variable Arrived;
    std::deque<TChildOutput> Outputs;
};

// Everything that can refuse the command does so before the first child starts.
bool TBatch::Prepare()
{
    ProgramDir.Assign(ProgramFolder());
    std::vector<std::string> Identities;
    for (size_t I = 0; I < Request.Ports.size(); ++I) {
        Identities.push_back(PortIdentity(Request.Ports[I]));
        for (size_t J = 0; J < I; ++J) {
            if (Identities[J] != Identities[I])
                continue;
            if (Request.Ports[J] == Request.Ports[I])
                Complain("port " + Request.Ports[I] + " podany dwa razy");
            else
                Complain("porty " + Request.Ports[J] + " i " + Request.Ports[I] + " to to samo urządzenie (" +
                         Identities[I] + ")");
            return false;
        }
    }
    if (IsRead())
        return PrepareRead() && Reports.Open(Request);
    if (!ReadSetFile(Request.SetPath, Settings) || !Reports.Open(Request))
        return false;
    return true;
}

std::string InFolder(const std::string &Folder, const std::string &Name)
{
    const bool Ends = !Folder.empty() && (Folder.back() == '/' || Folder.back() == '\\');
    return Folder + (Ends ? "" : "/") + Name;
}

bool IsFolder(const std::string &Path)
{
    std::error_code Error;
    return std::filesystem::is_directory(Path, Error);
}

// Every port's set (and image) gets a file of its own in the folders given.
bool TBatch::PrepareRead()
{
    for (const std::string *Folder : {&Request.OutPath, &Request.ImagePath}) {
        if (Folder->empty() || IsFolder(*Folder))
            continue;
        Complain(*Folder + ": przy wielu portach OUT i IMG to istniejące foldery, po jednym pliku na port");
        return false;
    }
    std::vector<std::string> Names;
    for (size_t I = 0; I < Request.Ports.size(); ++I) {
        std::string Name = PortFileName(Request.Ports[I], ".set");
        // One file name apart from case too: Windows' file names ignore it.
        for (char &C : Name)
            C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
        for (size_t J = 0; J < I; ++J) {
            if (Names[J] != Name)
                continue;
            Complain("porty " + Request.Ports[J] + " i " + Request.Ports[I] + " dałyby ten sam plik " +
                     PortFileName(Request.Ports[I], ".set"));
            return false;
        }
        Names.push_back(Name);
        OutFiles.push_back(InFolder(Request.OutPath, PortFileName(Request.Ports[I], ".set")));
        ImageFiles.push_back(Request.ImagePath.empty()
                                 ? std::string()
                                 : InFolder(Request.ImagePath, PortFileName(Request.Ports[I], ".img")));
        if (!OutputApartFromInputs(OutFiles.back(), {Request.BasePath}) ||
            (!ImageFiles.back().empty() &&
             !OutputApartFromInputs(ImageFiles.back(), {Request.BasePath, OutFiles.back()})))
            return false;
    }
    // A base set that cannot be read fails here rather than in every child.
    auto Base = std::make_unique<TSettings>();
    return ReadBaseSet(Request.BasePath, *Base);
}

// The set is checked and encoded once for every run; false on a finding.
bool TBatch::PrepareSet()
{
    const std::string Problem = CheckSettings();
    if (!Problem.empty()) {
        std::fprintf(stderr, "%s\n", LineSettingsError);
        Complain(Request.SetPath + ": " + Problem);
        return false;
    }
    EncodeDeviceImage();
    Reports.SetHashes(&Settings, sizeof Settings, DeviceImage, sizeof DeviceImage);
    SetBytes.assign(reinterpret_cast<const char *>(&Settings), sizeof Settings);

    return true;
}

// Each child is the single run: the set on its stdin, or a read of its own files.
std::vector<std::string> TBatch::ChildArgs(const TRunChild &Child) const
{
    if (!IsRead())
        return {Request.Mode->Command, "-", "--port", Child.Port};
    std::vector<std::string> Args = {Request.Mode->Command, "--port", Child.Port, Child.OutFile};
    if (!Request.BasePath.empty())
        Args.insert(Args.end(), {"--base", Request.BasePath});
    if (!Child.ImageFile.empty())
        Args.insert(Args.end(), {"--image", Child.ImageFile});
    return Args;
}

int TBatch::Run()
{
    if (!Prepare())
        return ExitFailure;
    if (!IsRead() && !PrepareSet())
        return ExitNegative;
    CatchInterrupts();
    if (Terminal)
        PrepareTerminal(Human);
    for (const std::string &Port : Request.Ports)
        PortWidth = std::max(PortWidth, Columns(Port));
    for (size_t I = 0; I < Request.Ports.size(); ++I) {
        const std::string &Port = Request.Ports[I];
        if (PendingInterrupt() != 0)
            break;
        auto Child = std::make_unique<TRunChild>(*Request.Mode);
        Child->Port = Port;
        Child->Record = Reports.Begin(Port);
        if (IsRead()) {
            Child->OutFile = OutFiles[I];
            Child->ImageFile = ImageFiles[I];
            Child->Record.SetFile = Child->OutFile;
        }
        Child->Start = TClock::now();
        if (!Child->Process.Start(ChildArgs(*Child), ChildEnvironment, SetBytes)) {
            Complain(Port + ": nie można uruchomić przebiegu");
            Child->Tracker.Line(LinePortFailed, 0);
            Child->Tracker.Outcome = "nie uruchomiony";
            Child->DurationMs = 0;
            Children.push_back(std::move(Child));
            continue;
        }
        Children.push_back(std::move(Child));
        TRunChild &Started = *Children.back();
        Started.Reader = std::thread(&TBatch::ReadChild, this, std::ref(Started), Children.size() - 1);
    }

    size_t Running = 0;
    for (const auto &Child : Children)
        Running += Child->DurationMs < 0;
    if (Terminal)
        Draw();
    auto LastDraw = TClock::now();
    bool Changed = false;
    while (Running > 0) {
        std::deque<TChildOutput> Batch;
        {
            std::unique_lock<std::mutex> Guard(Lock);
            Arrived.wait_for(Guard, std::chrono::milliseconds(RedrawMs), [this] { return !Outputs.empty(); });
            Batch.swap(Outputs);
        }
        for (const TChildOutput &Output : Batch) {
            Take(Output);
            Changed = true;
            if (Output.End)
                --Running;
        }
        if (Terminal && Changed && TClock::now() - LastDraw >= std::chrono::milliseconds(RedrawMs)) {
            Draw();
            LastDraw = TClock::now();
            Changed = false;
        }
    }
    if (Terminal)
        Draw();
    Summary();

    if (PendingInterrupt() != 0)
        return PendingInterrupt();
    if (!ReportsOk || FileFailed)
        return ExitFailure;
    for (const auto &Child : Children)
        if (Child->Tracker.Result != "ok")
            return ExitNegative;
    return ExitOk;
}

// On a thread of its own per child: Children may grow meanwhile, so it gets its child directly.
void TBatch::ReadChild(TRunChild &Child, size_t Index)
{
    char Buffer[4096];
    for (;;) {
        const size_t N = Child.Process.Read(Buffer, sizeof Buffer);
        if (N == 0)
            break;
        Child.Pending.append(Buffer, N);
        size_t End;
        while ((End = Child.Pending.find('\n')) != std::string::npos) {
            std::string Line = Child.Pending.substr(0, End);
            if (!Line.empty() && Line.back() == '\r')
                Line.pop_back(); // a child's stdout in text mode on Windows
            Child.Pending.erase(0, End + 1);
            std::lock_guard<std::mutex> Guard(Lock);
            Outputs.push_back({Index, std::move(Line)});
        }
        Arrived.notify_one();
    }
    std::lock_guard<std::mutex> Guard(Lock);
    if (!Child.Pending.empty())
        Outputs.push_back({Index, Child.Pending});
    Outputs.push_back({Index, {}, true});
    Arrived.notify_one();
}

// A child's line: a record of its run, or anything else it wrote (a complaint).
void TBatch::Take(const TChildOutput &Output)
{
    TRunChild &Child = *Children[Output.Child];
    if (Output.End) {
        Finished(Child);
        return;
    }
    const std::string &Line = Output.Line;
    const char Kind = Line.size() >= 2 && Line[1] == ' ' ? Line[0] : '?';
    const size_t Space = Line.find(' ', 2);
    if ((Kind == 'L' || Kind == 'P') && Space != std::string::npos) {
        const int32_t Frames = std::atoi(Line.c_str() + 2);
        const std::string Text = Line.substr(Space + 1);
        if (Kind == 'P') {
            Child.Tracker.Progress(std::atoi(Text.c_str()), Frames);
            return;
        }
        Child.Tracker.Line(Text, Frames);
        if (!Terminal) {
            const std::string Whole = Child.Port + ": " + Text + "\n";
            std::fwrite(Whole.data(), 1, Whole.size(), Human);
            std::fflush(Human);
        }
        return;
    }
    // The preparation and complaints go to stderr, as a single run has them.
    const std::string Text = Kind == 'A' ? Line.substr(2) : Line;
    if (!Terminal)
        std::fprintf(stderr, "%s: %s\n", Child.Port.c_str(), Text.c_str());
    else if (Kind != 'A')
        Above(stderr, Child.Port + ": " + Text);
}

void TBatch::Finished(TRunChild &Child)
{
    if (Child.Reader.joinable())
        Child.Reader.join();
    const int Status = Child.Process.Wait(Child.Interrupted);
    Child.DurationMs = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Child.Start).count();
    // A child that stopped before its run's last line was cut short.
    if (Child.Interrupted || Child.Tracker.Result.empty())
        Child.Tracker.Interrupted(LineInterrupted);
    else if (IsRead() && Child.Tracker.Result == "ok")
        ReadSaved(Child, Status);
    if (!Request.Json) {
        ReportsOk = Reports.Finish(Child.Record, Child.Tracker, Child.DurationMs) && ReportsOk;
        return;
    }
    // The JSON object goes to stdout; on a terminal it lands above the status lines.
    if (Terminal && IsTerminal(stdout)) {
        const int Lines = Drawn;
        Above(stdout, "");
        Drawn = 0;
        ReportsOk = Reports.Finish(Child.Record, Child.Tracker, Child.DurationMs) && ReportsOk;
        if (Lines > 0)
            Draw();
    } else {
        ReportsOk = Reports.Finish(Child.Record, Child.Tracker, Child.DurationMs) && ReportsOk;
    }
}

// A read that got the device's memory but could not save it is a file error.
void TBatch::ReadSaved(TRunChild &Child, int Status)
{
    std::string Set(sizeof(TSettings), '\0'), Image(DeviceImageSize, '\0');
    const bool SetSaved = Status == ExitOk && ReadWholeFile(Child.OutFile, Set.data(), sizeof(TSettings));
    const bool ImageSaved =
        Child.ImageFile.empty() || (SetSaved && ReadWholeFile(Child.ImageFile, Image.data(), DeviceImageSize));
    if (!SetSaved || !ImageSaved) {
        Child.Tracker.Result = "file";
        Child.Tracker.Outcome = "nie zapisano zestawu";
        FileFailed = true;
        return;
    }
    Child.Record.SetSha256 = Sha256Hex(Set.data(), Set.size());
    if (!Child.ImageFile.empty())
        Child.Record.ImageSha256 = Sha256Hex(Image.data(), Image.size());
}

std::string TBatch::StatusLine(const TRunChild &Child) const
{
    const TRunTracker &T = Child.Tracker;
    std::string Line = Fit(Child.Port, PortWidth) + "  ";
    if (Child.DurationMs >= 0) {
        return Line + T.Outcome + "  " + Seconds(Child.DurationMs);
    }
    Line += Fit(T.Phase, 40);
    if (T.Phase == LineProgramming || T.Phase == LineVerifying) {
        constexpr int32_t Width = 20;
        const int32_t Filled = static_cast<int32_t>(static_cast<int64_t>(T.Bytes) * Width / DeviceImageSize);
        Line += " [" + std::string(static_cast<size_t>(Filled), '#') +
                std::string(static_cast<size_t>(Width - Filled), '.') + "] " + Fit(std::to_string(T.Bytes), 4) +
                "/" + std::to_string(DeviceImageSize);
    }
    if (T.Repeats > 0)
        Line += "  powtórzenia: " + std::to_string(T.Repeats);
    return Line;
}

// One status line per port, redrawn in place; each is cut to the terminal's
// width so that none wraps and the cursor goes back up by exactly that many.
void TBatch::Draw()
{
    const size_t Width = static_cast<size_t>(std::max(20, TerminalColumns(Human) - 1));
    std::string Text;
    if (Drawn > 0)
        Text += "\x1b[" + std::to_string(Drawn) + "A";
    for (const auto &Child : Children) {
        std::string Line = StatusLine(*Child);
        if (Columns(Line) > Width)
            Line = Fit(Line, Width);
        Text += "\r\x1b[K" + Line + "\n";
    }
    std::fwrite(Text.data(), 1, Text.size(), Human);
    std::fflush(Human);
    Drawn = static_cast<int>(Children.size());
}

// A line above the status lines, which are drawn again below it.
void TBatch::Above(FILE *To, const std::string &Text)
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

void TBatch::Summary()
{
    size_t VersionWidth = 6, OutcomeWidth = 5;
    std::vector<std::string> Outcomes;
    for (const auto &Child : Children) {
        const TRunTracker &T = Child->Tracker;
        Outcomes.push_back(T.Outcome);
        VersionWidth = std::max(VersionWidth, Columns(T.Version));
        OutcomeWidth = std::max(OutcomeWidth, Columns(Outcomes.back()));
    }
    std::string Text = "\n" + Fit("Port", PortWidth) + "  " + Fit("Wersja", VersionWidth) + "  " +
                       Fit("Wynik", OutcomeWidth) + "  Czas\n";
    std::string Failed;
    for (size_t I = 0; I < Children.size(); ++I) {
        const TRunChild &Child = *Children[I];
        Text += Fit(Child.Port, PortWidth) + "  " +
                Fit(Child.Tracker.Version.empty() ? "-" : Child.Tracker.Version, VersionWidth) + "  " +
                Fit(Outcomes[I], OutcomeWidth) + "  " + Seconds(std::max<int64_t>(0, Child.DurationMs)) + "\n";
        if (Child.Tracker.Result != "ok")
            Failed += (Failed.empty() ? "" : ", ") + Child.Port;
    }
    if (Children.size() < Request.Ports.size())
        Failed += std::string(Failed.empty() ? "" : ", ") + "nie uruchomione: " +
                  std::to_string(Request.Ports.size() - Children.size());
    Text += Failed.empty() ? "Wszystkie przebiegi udane.\n" : "Nieudane: " + Failed + "\n";
    std::fwrite(Text.data(), 1, Text.size(), Human);
    std::fflush(Human);
}

} // namespace

int RunBatch(const TRunRequest &Request)
{
    TBatch Batch(Request);
    return Batch.Run();
}
