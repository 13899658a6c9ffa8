#include "UStation.h"

#include "UAuditLog.h"
#include "UPortNames.h"
#include "USha256.h"

#include <cctype>
#include <csignal>
#include <filesystem>

namespace {

using namespace std::chrono_literals;

// How often the station looks at its deadlines while no child says anything.
constexpr auto LookAgain = 100ms;

class TSteadyClock : public TStationClock {
public:
    TTime Now() override { return std::chrono::steady_clock::now(); }
};

// What a station says of how a child's process ended, when that is its result.
std::string EndText(const TChildEnd &End)
{
    return End.Signalled ? "zakończony sygnałem " + std::to_string(End.Code)
                         : "kod wyjścia " + std::to_string(End.Code);
}

// A child ends by one of these only when asked to end at once (a second
// Ctrl-C sent to it): it gave its port back first.
bool StopSignal(const TChildEnd &End)
{
    return End.Signalled && (End.Code == SIGINT || End.Code == SIGTERM);
}

} // namespace

bool PortsApart(const std::vector<std::string> &Ports, std::string &Error)
{
    std::vector<std::string> Identities;
    for (size_t I = 0; I < Ports.size(); ++I) {
        Identities.push_back(PortIdentity(Ports[I]));
        for (size_t J = 0; J < I; ++J) {
            if (Identities[J] != Identities[I])
                continue;
            Error = Ports[J] == Ports[I] ? "port " + Ports[I] + " podany dwa razy"
                                         : "porty " + Ports[J] + " i " + Ports[I] + " to to samo urządzenie (" +
                                               Identities[I] + ")";
            return false;
        }
    }
    return true;
}

bool ReadFilesOfPorts(const std::vector<std::string> &Ports, const std::string &OutFolder,
                      const std::string &ImageFolder, std::vector<TRunSet> &Sets, std::string &Error,
                      const std::string &Stamp)
{
    const std::string Suffix = Stamp.empty() ? std::string() : "-" + Stamp;
    for (const std::string *Folder : {&OutFolder, &ImageFolder}) {
        std::error_code Code;
        if (Folder->empty() || std::filesystem::is_directory(*Folder, Code))
            continue;
        Error = *Folder + ": przy wielu portach OUT i IMG to istniejące foldery, po jednym pliku na port";
        return false;
    }
    auto InFolder = [](const std::string &Folder, const std::string &Name) {
        const bool Ends = !Folder.empty() && (Folder.back() == '/' || Folder.back() == '\\');
        return Folder + (Ends ? "" : "/") + Name;
    };
    std::vector<std::string> Names;
    for (size_t I = 0; I < Ports.size(); ++I) {
        std::string Name = PortFileName(Ports[I], (Suffix + ".set").c_str());
        // One file name apart from case too: Windows' file names ignore it.
        for (char &C : Name)
            C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
        for (size_t J = 0; J < I; ++J) {
            if (Names[J] != Name)
                continue;
            Error = "porty " + Ports[J] + " i " + Ports[I] + " dałyby ten sam plik " +
                    PortFileName(Ports[I], (Suffix + ".set").c_str());
            return false;
        }
        Names.push_back(Name);
        TRunSet Set;
        Set.File = Set.OutPath = InFolder(OutFolder, PortFileName(Ports[I], (Suffix + ".set").c_str()));
        if (!ImageFolder.empty())
            Set.ImagePath = InFolder(ImageFolder, PortFileName(Ports[I], (Suffix + ".img").c_str()));
        Sets.push_back(Set);
    }
    return true;
}

std::string FileTimeStamp()
{
    // 2026-12-08T14:05:09+01:00: the digits of the date, then of the time.
    const std::string Iso = IsoTimeNow();
    std::string Stamp;
    for (size_t I = 0; I < Iso.size() && I < 19; ++I) {
        if (Iso[I] == 'T')
            Stamp += '-';
        else if (std::isdigit(static_cast<unsigned char>(Iso[I])))
            Stamp += Iso[I];
    }
    return Stamp;
}

TStationClock &SteadyClock()
{
    static TSteadyClock Clock;
    return Clock;
}

struct TStation::TPortRun {
    TPortRecord Record;
    std::unique_ptr<TRunChild> Child;
    TChildRecordReader Reader;
    std::string Text; // a line of the child's stdout or stderr not yet ended
    bool HasOutcome = false, HasDone = false;
    TRunOutcome Outcome;
    TChildDone Done;
    bool RecordsEnded = false, TextEnded = false, Exited = false;
    TChildEnd End;
    bool Broken = false;       // its records did not parse: it was ended
    bool StopSent = false;
    bool DeadlinePassed = false, Killed = false;
    TStationClock::TTime Started;
    std::thread RecordReader, TextReader;
    bool Finished = false;
};

TStation::TStation(TStationHost &Host, TChildLauncher &Launcher, TStationClock &Clock)
    : Host(Host), Launcher(Launcher), Clock(Clock)
{
}

TStation::~TStation()
{
    StopAll();
    Wait();
}

void TStation::Start(TStationJob NewJob)
{
    Job = std::move(NewJob);
    {
        std::lock_guard<std::mutex> Guard(Lock);
        StopAsked.assign(Job.Ports.size(), false);
    }
    for (size_t I = 0; I < Job.Ports.size(); ++I)
        Runs.push_back(std::make_unique<TPortRun>());
    Thread = std::thread(&TStation::Loop, this);
}

void TStation::Stop(size_t Port)
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        if (Port < StopAsked.size())
            StopAsked[Port] = true;
    }
    Changed.notify_all();
}

void TStation::StopAll()
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        AllStopAsked = true;
    }
    Changed.notify_all();
}

void TStation::Wait()
{
    if (Thread.joinable())
        Thread.join();
}

void TStation::Push(TEvent Event)
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Events.push_back(std::move(Event));
    }
    Changed.notify_all();
}

void TStation::Loop()
{
    for (size_t I = 0; I < Runs.size(); ++I) {
        Launch(I);
        // What the started ones say meanwhile is taken as it comes.
        std::deque<TEvent> Taken;
        {
            std::lock_guard<std::mutex> Guard(Lock);
            Taken.swap(Events);
        }
        for (const TEvent &Event : Taken)
            Take(Event);
        Watch();
    }
    for (;;) {
        bool AllFinished = true;
        for (const auto &Run : Runs)
            AllFinished = AllFinished && Run->Finished;
        if (AllFinished)
            break;
        std::deque<TEvent> Taken;
        {
            std::unique_lock<std::mutex> Guard(Lock);
            Changed.wait_for(Guard, LookAgain, [this] { return !Events.empty(); });
            Taken.swap(Events);
        }
        for (const TEvent &Event : Taken)
            Take(Event);
        Watch();
    }
}

void TStation::Launch(size_t Index)
{
    TPortRun &Run = *Runs[Index];
    const std::string &Name = Job.Ports[Index];
    Run.Record = BeginRecord(Name, Job.Mode, {});
    // As asked, for a run that never reports its own: one that cannot start or crashes.
    Run.Record.Fast = Job.Options.Fast ? TFastExchange::On : TFastExchange::Off;
    Run.Started = Clock.Now();
    bool Stopped = false;
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Stopped = AllStopAsked || StopAsked[Index];
    }
    if (Stopped) {
        Run.Record.Result = TPortResult::Interrupted;
        Run.Record.Error = "przerwano przed startem";
        Finish(Index);
        return;
    }
    TRunSet Set;
    std::string Refusal;
    if (Job.SetFor && !Job.SetFor(Index, Name, Set, Refusal)) {
        Run.Record.Result = TPortResult::Start;
        Run.Record.Error = Refusal;
        Finish(Index);
        return;
    }
    Run.Record.SetFile = Set.File;
    Run.Record.UnitKey = Set.UnitKey;
    if (!Set.UnitKey.empty())
        Host.PortUnit(Index, Set.UnitKey);
    if (!Set.Bytes.empty())
        Run.Record.SetSha256 = Sha256Hex(Set.Bytes.data(), Set.Bytes.size());

    TChildRecord Start;
    Start.Kind = TChildKind::Start;
    Start.Job.Token = NewChildToken();
    Start.Job.Mode = Job.Mode;
    Start.Job.Options = Job.Options;
    Start.Job.Port = Name;
    Start.Job.SetFile = Set.File;
    Start.Job.SetBytes = Set.Bytes;
    Start.Job.OutPath = Set.OutPath;
    Start.Job.ImagePath = Set.ImagePath;
    Start.Job.BaseBytes = Job.BaseBytes;
    std::string Error;
    Run.Child = Launcher.Launch(Start.Job.Token, Error);
    if (!Run.Child) {
        Run.Record.Result = TPortResult::Start;
        Run.Record.Error = Error;
        Finish(Index);
        return;
    }
    // A child that cannot take its job ends without a record: it is reported as such.
    if (!Run.Child->Send(EncodeChildRecord(Start)))
        Run.Child->Kill();
    TRunChild &Child = *Run.Child;
    Run.RecordReader = std::thread([this, Index, &Child] {
        char Buffer[4096];
        for (size_t N; (N = Child.ReadRecords(Buffer, sizeof Buffer)) > 0;)
            Push({TEvent::Records, Index, std::string(Buffer, N), {}});
        Push({TEvent::RecordsEnded, Index, {}, {}});
        Push({TEvent::Exited, Index, {}, Child.Wait()});
    });
    Run.TextReader = std::thread([this, Index, &Child] {
        char Buffer[4096];
        for (size_t N; (N = Child.ReadText(Buffer, sizeof Buffer)) > 0;)
            Push({TEvent::Text, Index, std::string(Buffer, N), {}});
        Push({TEvent::TextEnded, Index, {}, {}});
    });
}

void TStation::Take(const TEvent &Event)
{
    TPortRun &Run = *Runs[Event.Port];
    switch (Event.Kind) {
    case TEvent::Records:
        Run.Reader.Add(Event.Bytes.data(), Event.Bytes.size());
        TakeRecords(Event.Port);
        break;
    case TEvent::Text:
        Run.Text += Event.Bytes;
        TakeText(Event.Port, false);
        break;
    case TEvent::RecordsEnded: Run.RecordsEnded = true; break;
    case TEvent::TextEnded:
        Run.TextEnded = true;
        TakeText(Event.Port, true);
        break;
    case TEvent::Exited:
        Run.Exited = true;
        Run.End = Event.End;
        break;
    }
    if (Run.RecordsEnded && Run.TextEnded && Run.Exited && !Run.Finished)
        Finish(Event.Port);
}

void TStation::TakeRecords(size_t Index)
{
    TPortRun &Run = *Runs[Index];
    TChildRecord Record;
    while (!Run.Broken && Run.Reader.Next(Record)) {
        switch (Record.Kind) {
        case TChildKind::Line: Host.PortLine(Index, Record.Text); break;
        case TChildKind::Note: Host.PortNote(Index, Record.Note, Record.Text); break;
        case TChildKind::Status: Host.PortStatus(Index, Record.Status); break;
        case TChildKind::Difference: Host.PortDifference(Index, Record.Difference); break;
        case TChildKind::Outcome:
            Run.HasOutcome = true;
            Run.Outcome = Record.Outcome;
            break;
        case TChildKind::Done:
            Run.HasDone = true;
            Run.Done = Record.Done;
            break;
        default: Run.Broken = true; break;
        }
    }
    // Bytes that are no record: nothing more it says can be trusted.
    if ((Run.Reader.Broken() || Run.Broken) && !Run.Killed) {
        Run.Broken = Run.Killed = true;
        Run.Child->Kill();
    }
}

void TStation::TakeText(size_t Index, bool AtEnd)
{
    TPortRun &Run = *Runs[Index];
    size_t End;
    while ((End = Run.Text.find('\n')) != std::string::npos) {
        std::string Line = Run.Text.substr(0, End);
        Run.Text.erase(0, End + 1);
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back(); // a child's text mode on Windows
        Host.PortNote(Index, TNoteKind::Problem, Line);
    }
    if (AtEnd && !Run.Text.empty()) {
        Host.PortNote(Index, TNoteKind::Problem, Run.Text);
        Run.Text.clear();
    }
}

// Stops asked for, and deadlines.
void TStation::Watch()
{
    const auto Now = Clock.Now();
    std::vector<bool> Asked;
    bool All = false;
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Asked = StopAsked;
        All = AllStopAsked;
    }
    for (size_t I = 0; I < Runs.size(); ++I) {
        TPortRun &Run = *Runs[I];
        if (!Run.Child || Run.Finished)
            continue;
        const bool Late = Job.Deadline.count() > 0 && Now >= Run.Started + Job.Deadline;
        if (Late && !Run.DeadlinePassed)
            Run.DeadlinePassed = true;
        if ((All || Asked[I] || Run.DeadlinePassed) && !Run.StopSent) {
            TChildRecord Stop;
            Stop.Kind = TChildKind::Stop;
            Run.StopSent = true;
            Run.Child->Send(EncodeChildRecord(Stop));
        }
        if (Run.DeadlinePassed && !Run.Killed && Now >= Run.Started + Job.Deadline + DeadlineGrace) {
            Run.Killed = true;
            Run.Child->Kill();
        }
    }
}

void TStation::Finish(size_t Index)
{
    TPortRun &Run = *Runs[Index];
    if (Run.RecordReader.joinable())
        Run.RecordReader.join();
    if (Run.TextReader.joinable())
        Run.TextReader.join();
    TPortRecord &Record = Run.Record;
    if (Run.Child) {
        Record.DurationMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock.Now() - Run.Started).count();
        if (Run.HasOutcome)
            SettleRecord(Record, Run.Outcome);
        if (Run.HasDone) {
            Record.Result = Run.Done.Result;
            if (!Run.Done.SetSha256.empty())
                Record.SetSha256 = Run.Done.SetSha256;
            if (!Run.Done.ImageSha256.empty())
                Record.ImageSha256 = Run.Done.ImageSha256;
            if (!Run.Done.Error.empty())
                Record.Error = Run.Done.Error;
        }
        // Its process must have ended as its last record said it would.
        const bool AsSaid = Run.HasDone && !Run.End.Signalled && Run.End.Code == Run.Done.ExitStatus;
        if (Run.DeadlinePassed && (Run.Killed || Record.Result == TPortResult::Interrupted || !AsSaid)) {
            Record.Result = TPortResult::Deadline;
            Record.Error = Run.Killed ? "zakończony po czasie" : "";
        } else if (Run.Broken) {
            Record.Result = TPortResult::Crashed;
            Record.Error = "zapis przebiegu nie do odczytania";
        } else if (!AsSaid) {
            Record.Result = !Run.HasDone && StopSignal(Run.End) ? TPortResult::Interrupted : TPortResult::Crashed;
            Record.Error = EndText(Run.End) + (Run.HasDone ? " zamiast " + std::to_string(Run.Done.ExitStatus)
                                                           : ", bez wyniku przebiegu");
        }
        Run.Child.reset();
    }
    Run.Finished = true;
    Host.PortFinished(Index, Record);
}
