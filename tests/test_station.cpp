// The station without a device or a process: the records between a station
// and its children, and TStation driving fake children for a fake host on a
// fake clock. What a child says, and how its process ends, decide each
// port's record.
#include "UPortList.h"
#include "UStation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int Killed = 9; // what the fake reports for a child the station ended

TChildRecord Text(TChildKind Kind, const std::string &Words, TNoteKind Note = TNoteKind::Problem)
{
    TChildRecord R;
    R.Kind = Kind;
    R.Text = Words;
    R.Note = Note;
    return R;
}

TRunOutcome OutcomeOf(TRunResult Result, int32_t FailedAddress = -1)
{
    TRunOutcome O;
    O.Result = Result;
    O.FailedAddress = FailedAddress;
    O.HasVersion = Result != TRunResult::Port && Result != TRunResult::NoReply;
    O.Version[0] = 1;
    O.Version[1] = 20;
    O.Version[2] = 3;
    O.Status.Phase = TRunPhase::Ended;
    O.Status.Read = {300, 44};
    O.DurationMs = 13900;
    O.Fast = TFastExchange::On;
    return O;
}

// ---- The records themselves ----

std::vector<TChildRecord> SampleRecords()
{
    std::vector<TChildRecord> Out;
    TChildRecord Start;
    Start.Kind = TChildKind::Start;
    Start.Job = {"0123abcd",        RunModeRead,       {true, 3}, "/dev/ttyUSB0\n\x04\x00\x00\x00\x03L", "a.set",
                 "",                "out/ttyUSB0.set", "img/ttyUSB0.img",       std::string(13676, '\xA5')};
    Out.push_back(Start);
    Out.push_back(Text(TChildKind::Stop, ""));
    // Whatever a text holds stays in it: a newline, a length, a whole record.
    Out.push_back(Text(TChildKind::Line, "Wersja urządzenia: \"1.2.3\".\nL 0 " + EncodeChildRecord(Start)));
    Out.push_back(Text(TChildKind::Note, "", TNoteKind::Report));
    Out.push_back(Text(TChildKind::Note, "Kodowanie zakończone.", TNoteKind::Preparation));
    TChildRecord Status;
    Status.Kind = TChildKind::Status;
    Status.Status.Phase = TRunPhase::Reading;
    Status.Status.Bytes = 4096;
    Status.Status.Version = {3, 2};
    Status.Status.Read = {130, 2};
    Out.push_back(Status);
    TChildRecord Outcome;
    Outcome.Kind = TChildKind::Outcome;
    Outcome.Outcome = OutcomeOf(TRunResult::NoReply, 160);
    Outcome.Outcome.PortError = "COM3: CreateFile: Access is denied. (5)";
    Outcome.Outcome.Fast = TFastExchange::Fallback;
    Out.push_back(Outcome);
    TChildRecord Done;
    Done.Kind = TChildKind::Done;
    Done.Done = {2, TPortResult::File, std::string(64, 'a'), "", "nie zapisano zestawu"};
    Out.push_back(Done);
    TChildRecord Difference;
    Difference.Kind = TChildKind::Difference;
    Difference.Difference = {"Users[1].PhoneNumber", "\"+48600\"", "\"\"", 0, 0};
    Out.push_back(Difference);
    Difference.Difference = {"", "00 00", "AB CD", 6000, 2};
    Out.push_back(Difference);
    return Out;
}

bool Same(const TChildRecord &A, const TChildRecord &B)
{
    return EncodeChildRecord(A) == EncodeChildRecord(B);
}

// Every kind comes back field for field, however the bytes are cut.
TEST(ChildRecords, RoundTripInAnyPieces)
{
    const std::vector<TChildRecord> Records = SampleRecords();
    std::string Stream;
    for (const TChildRecord &R : Records)
        Stream += EncodeChildRecord(R);
    for (const size_t Piece : {size_t{1}, size_t{3}, size_t{4096}, Stream.size()}) {
        TChildRecordReader Reader;
        std::vector<TChildRecord> Got;
        for (size_t At = 0; At < Stream.size(); At += Piece) {
            Reader.Add(Stream.data() + At, std::min(Piece, Stream.size() - At));
            TChildRecord R;
            while (Reader.Next(R))
                Got.push_back(R);
        }
        EXPECT_FALSE(Reader.Broken());
        EXPECT_FALSE(Reader.Partial());
        ASSERT_EQ(Got.size(), Records.size()) << Piece;
        for (size_t I = 0; I < Got.size(); ++I)
            EXPECT_TRUE(Same(Got[I], Records[I])) << "record " << I << ", pieces of " << Piece;
    }
    EXPECT_EQ(SampleRecords()[0].Job.BaseBytes.size(), 13676u);
}

struct TBrokenRow {
    const char *Name;
    std::string Bytes;
    bool Broken; // false: only partial, more may come
};

std::string Framed(const std::string &Body)
{
    const auto N = static_cast<uint32_t>(Body.size());
    return std::string{static_cast<char>(N & 0xFF), static_cast<char>(N >> 8 & 0xFF), static_cast<char>(N >> 16 & 0xFF),
                       static_cast<char>(N >> 24)} +
           Body;
}

const TBrokenRow BrokenRows[] = {
    {"EmptyRecord", Framed(""), true},
    {"UnknownKind", Framed("\x2A"), true},
    {"TooLong", std::string("\xFF\xFF\xFF\x7F") + "\x03", true},
    {"TextLongerThanItsRecord", Framed(std::string("\x03\x10\x00\x00\x00", 5) + "abc"), true},
    {"BytesBeyondItsFields", Framed(std::string("\x02", 1) + "x"), true},
    {"PhaseOutOfRange", Framed(std::string("\x05\x09", 2) + std::string(28, '\0')), true},
    {"NoteOfNoKind", Framed(std::string("\x04\x07\x00\x00\x00\x00", 6)), true},
    {"FastOfNoKind", Framed(std::string("\x06\x01\x05", 3) + std::string(60, '\0')), true},
    {"LineOfText", "Programowanie zakończone pozytywnie.\n", true},
    {"HalfARecord", EncodeChildRecord(Text(TChildKind::Line, "Reset...")).substr(0, 9), false},
};

void PrintTo(const TBrokenRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class ChildRecordsBroken : public ::testing::TestWithParam<TBrokenRow> {};

TEST_P(ChildRecordsBroken, NothingIsTakenFromThem)
{
    TChildRecordReader Reader;
    Reader.Add(GetParam().Bytes.data(), GetParam().Bytes.size());
    TChildRecord R;
    EXPECT_FALSE(Reader.Next(R));
    EXPECT_EQ(Reader.Broken(), GetParam().Broken);
    EXPECT_EQ(Reader.Partial(), !GetParam().Broken);
    // Nothing after a broken record is taken either, however good.
    if (GetParam().Broken) {
        const std::string Good = EncodeChildRecord(Text(TChildKind::Line, "Reset..."));
        Reader.Add(Good.data(), Good.size());
        EXPECT_FALSE(Reader.Next(R));
    }
}

INSTANTIATE_TEST_SUITE_P(Station, ChildRecordsBroken, ::testing::ValuesIn(BrokenRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// ---- Fakes ----

// Bytes between two threads, as a pipe carries them.
class TQueue {
public:
    void Put(const std::string &Bytes)
    {
        std::lock_guard<std::mutex> Guard(Lock);
        if (!Closed)
            Data += Bytes;
        Changed.notify_all();
    }
    void Close()
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Closed = true;
        Changed.notify_all();
    }
    size_t Get(char *Buffer, size_t Size)
    {
        std::unique_lock<std::mutex> Guard(Lock);
        Changed.wait(Guard, [this] { return !Data.empty() || Closed; });
        const size_t N = std::min(Size, Data.size());
        Data.copy(Buffer, N);
        Data.erase(0, N);
        return N;
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    std::string Data;
    bool Closed = false;
};

class TFakeChild;
using TBehaviour = std::function<void(TFakeChild &)>;

// The jobs the children took, which outlive the children.
struct TJobsSeen {
    std::mutex Lock;
    std::vector<TChildJob> Jobs;
};

// A child run in this process: it takes its job from the Start record and
// then does what its port's behaviour says, on a thread of its own.
class TFakeChild : public TRunChild {
public:
    TFakeChild(std::string Token, const std::map<std::string, TBehaviour> &Behaviours, TJobsSeen &Seen)
        : Token(std::move(Token)), Behaviours(Behaviours), Seen(Seen)
    {
    }
    ~TFakeChild() override
    {
        Kill();
        if (Thread.joinable())
            Thread.join();
    }

    bool Send(const std::string &Bytes) override
    {
        std::lock_guard<std::mutex> Guard(Lock);
        if (HasEnded)
            return false;
        Reader.Add(Bytes.data(), Bytes.size());
        TChildRecord R;
        while (Reader.Next(R)) {
            if (R.Kind == TChildKind::Stop)
                StopReceived = true;
            if (R.Kind == TChildKind::Start && !Thread.joinable()) {
                Job = R.Job;
                {
                    std::lock_guard<std::mutex> SeenGuard(Seen.Lock);
                    Seen.Jobs.push_back(Job);
                }
                const auto Found = Behaviours.find(Job.Port);
                if (Job.Token == Token && Found != Behaviours.end())
                    Thread = std::thread([this, Behave = Found->second] { Behave(*this); });
            }
        }
        Changed.notify_all();
        return true;
    }
    size_t ReadRecords(char *Buffer, size_t Size) override { return Records.Get(Buffer, Size); }
    size_t ReadText(char *Buffer, size_t Size) override { return Texts.Get(Buffer, Size); }
    TChildEnd Wait() override
    {
        std::unique_lock<std::mutex> Guard(Lock);
        Changed.wait(Guard, [this] { return HasEnded; });
        return End;
    }
    void Kill() override { Exit({true, Killed}); }

    // What a behaviour does.
    void Say(const TChildRecord &R) { Records.Put(EncodeChildRecord(R)); }
    void SayBytes(const std::string &Bytes) { Records.Put(Bytes); }
    void Write(const std::string &Words) { Texts.Put(Words); }
    void Exit(TChildEnd How)
    {
        std::lock_guard<std::mutex> Guard(Lock);
        if (HasEnded)
            return;
        HasEnded = true;
        End = How;
        Records.Close();
        Texts.Close();
        Changed.notify_all();
    }
    // Until a Stop comes or the child is ended; true for a Stop.
    bool WaitForStop()
    {
        std::unique_lock<std::mutex> Guard(Lock);
        Changed.wait(Guard, [this] { return StopReceived || HasEnded; });
        return StopReceived;
    }
    // The run's outcome and the last record, then the end of the process.
    void Finish(TRunResult Result, int Status, int32_t FailedAddress = -1)
    {
        TChildRecord Outcome;
        Outcome.Kind = TChildKind::Outcome;
        Outcome.Outcome = OutcomeOf(Result, FailedAddress);
        Say(Outcome);
        TChildRecord Done;
        Done.Kind = TChildKind::Done;
        Done.Done.ExitStatus = Status;
        Done.Done.Result = PortResultOf(Result);
        Done.Done.SetSha256 = std::string(64, '5');
        Done.Done.ImageSha256 = std::string(64, 'e');
        Say(Done);
        Exit({false, Status});
    }

    TChildJob Job;

private:
    std::string Token;
    const std::map<std::string, TBehaviour> &Behaviours;
    TJobsSeen &Seen;
    std::mutex Lock;
    std::condition_variable Changed;
    TChildRecordReader Reader;
    TQueue Records, Texts;
    bool StopReceived = false, HasEnded = false;
    TChildEnd End;
    std::thread Thread;
};

class TFakeLauncher : public TChildLauncher {
public:
    std::unique_ptr<TRunChild> Launch(const std::string &Token, std::string &Error) override
    {
        if (Failing.count(Launches++) != 0) {
            Error = "posix_spawn: Too many open files";
            return nullptr;
        }
        return std::make_unique<TFakeChild>(Token, Behaviours, Seen);
    }
    std::map<std::string, TBehaviour> Behaviours;
    std::set<int> Failing; // launches that fail, counted from 0
    int Launches = 0;
    TJobsSeen Seen;
};

class TFakeClock : public TStationClock {
public:
    TTime Now() override { return TTime{} + std::chrono::milliseconds(Ms.load()); }
    void Advance(std::chrono::milliseconds By) { Ms += By.count(); }

private:
    std::atomic<int64_t> Ms{1000000};
};

// Every call as a word, per port; and whether two calls ever overlapped or came on two threads.
class TFakeHost : public TStationHost {
public:
    explicit TFakeHost(size_t Ports) : Calls(Ports), Records(Ports) {}
    void PortLine(size_t Port, const std::string &Line) override { Add(Port, "L " + Line); }
    void PortNote(size_t Port, TNoteKind Kind, const std::string &Text) override
    {
        Add(Port, (Kind == TNoteKind::Preparation ? "P " : Kind == TNoteKind::Report ? "R " : "N ") + Text);
    }
    void PortStatus(size_t Port, const TRunStatus &Status) override
    {
        Add(Port, "S " + std::to_string(static_cast<int>(Status.Phase)) + " " + std::to_string(Status.Bytes));
    }
    void PortDifference(size_t Port, const TSettingDifference &D) override
    {
        Add(Port, "D " + D.Setting + ": " + D.SetValue + " / " + D.DeviceValue + " @" + std::to_string(D.Offset) + "+" +
                      std::to_string(D.Count));
    }
    void PortUnit(size_t Port, const std::string &Key) override { Add(Port, "U " + Key); }
    void PortFinished(size_t Port, const TPortRecord &Record) override
    {
        Add(Port, std::string("F ") + PortResultName(Record.Result));
        std::lock_guard<std::mutex> Guard(Lock);
        Records[Port] = Record;
        Finished.notify_all();
    }
    // For a test that looks while the station runs.
    TPortResult ResultOf(size_t Port)
    {
        std::lock_guard<std::mutex> Guard(Lock);
        return Records[Port].Result;
    }
    void WaitFinished(size_t Port)
    {
        std::unique_lock<std::mutex> Guard(Lock);
        Finished.wait(Guard, [&] { return Records[Port].Result != TPortResult::None; });
    }

    std::vector<std::vector<std::string>> Calls;
    std::vector<TPortRecord> Records;
    std::atomic<int> Overlaps{0};
    std::set<std::thread::id> Threads;

private:
    void Add(size_t Port, const std::string &Word)
    {
        if (Busy.fetch_add(1) != 0)
            ++Overlaps;
        Threads.insert(std::this_thread::get_id());
        Calls.at(Port).push_back(Word);
        // A host that takes its time invites the next call to overlap, if the station would let it.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        Busy.fetch_sub(1);
    }
    std::atomic<int> Busy{0};
    std::mutex Lock;
    std::condition_variable Finished;
};

// ---- The station ----

const std::string SetBytes(13676, '\x11');

TBehaviour Succeeds()
{
    return [](TFakeChild &C) {
        C.Say(Text(TChildKind::Note, "Pobranie ustawień...", TNoteKind::Preparation));
        C.Say(Text(TChildKind::Line, "Otwarcie portu COM..."));
        TChildRecord Status;
        Status.Kind = TChildKind::Status;
        Status.Status.Phase = TRunPhase::Verifying;
        Status.Status.Bytes = 8192;
        C.Say(Status);
        C.Write("uwaga\nbez końca wiersza");
        C.Say(Text(TChildKind::Note, "Z zestawu bazowego: ...", TNoteKind::Report));
        C.Finish(TRunResult::Ok, 0);
    };
}

struct TStationRow {
    const char *Name;
    TBehaviour Behaviour;
    TPortResult Result;
    const char *Error; // a part of the record's error; "" for none
    std::vector<std::string> Calls; // the host's calls for the port, all of them
};

const TStationRow StationRows[] = {
    {"Succeeds", Succeeds(), TPortResult::Ok, "",
     {"P Pobranie ustawień...", "L Otwarcie portu COM...", "S 3 8192", "R Z zestawu bazowego: ...", "N uwaga",
      "N bez końca wiersza", "F ok"}},
    {"DeviceFails", [](TFakeChild &C) { C.Finish(TRunResult::Verify, 1, 4096); }, TPortResult::Verify, "",
     {"F verify"}},
    // A detailed comparison's differences come as values, beside their report lines.
    {"DiffersInDetail",
     [](TFakeChild &C) {
         TChildRecord D;
         D.Kind = TChildKind::Difference;
         D.Difference = {"Inputs[1].DelayTime", "2", "7", 0, 0};
         C.Say(D);
         D.Difference = {"", "00", "FF", 8000, 1};
         C.Say(D);
         C.Finish(TRunResult::Verify, 1, 4096);
     },
     TPortResult::Verify, "", {"D Inputs[1].DelayTime: 2 / 7 @0+0", "D : 00 / FF @8000+1", "F verify"}},
    {"KilledWithoutItsRecord",
     [](TFakeChild &C) {
         C.Say(Text(TChildKind::Line, "Weryfikacja..."));
         C.Exit({true, 9});
     },
     TPortResult::Crashed, "zakończony sygnałem 9, bez wyniku przebiegu", {"L Weryfikacja...", "F crashed"}},
    {"ExitsOtherwiseThanItsRecordSays",
     [](TFakeChild &C) {
         TChildRecord Done;
         Done.Kind = TChildKind::Done;
         Done.Done = {0, TPortResult::Ok, "", "", ""};
         C.Say(Done);
         C.Exit({false, 2});
     },
     TPortResult::Crashed, "kod wyjścia 2 zamiast 0", {"F crashed"}},
    {"ExitsWithoutAnyRecord", [](TFakeChild &C) { C.Exit({false, 0}); }, TPortResult::Crashed,
     "kod wyjścia 0, bez wyniku przebiegu", {"F crashed"}},
    // A line of text where a record belongs: the child is ended, nothing it said after counts.
    {"WritesSomethingElse",
     [](TFakeChild &C) {
         C.SayBytes("L 0 Weryfikcja zakończona pozytywnie.\n");
         C.WaitForStop(); // the station ends it instead
     },
     TPortResult::Crashed, "zapis przebiegu nie do odczytania", {"F crashed"}},
    {"EndedByAStopSignal",
     [](TFakeChild &C) {
         C.Say(Text(TChildKind::Line, "Programowanie..."));
         C.Exit({true, SIGINT});
     },
     TPortResult::Interrupted, "zakończony sygnałem", {"L Programowanie...", "F interrupted"}},
};

void PrintTo(const TStationRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class StationTest : public ::testing::TestWithParam<TStationRow> {};

// One port beside a port that succeeds: its record, and every call the host got for it.
TEST_P(StationTest, RecordAndCalls)
{
    const TStationRow &Row = GetParam();
    TFakeLauncher Launcher;
    Launcher.Behaviours = {{"COM1", Succeeds()}, {"COM2", Row.Behaviour}};
    TFakeHost Host(2);
    TFakeClock Clock;
    TStation Station(Host, Launcher, Clock);
    TStationJob Job;
    Job.Mode = RunModeCompare;
    Job.Ports = {"COM1", "COM2"};
    Job.SetFor = [](size_t, const std::string &, TRunSet &Set, std::string &) {
        Set.Bytes = SetBytes;
        Set.File = "a.set";
        return true;
    };
    Station.Start(Job);
    Station.Wait();

    EXPECT_EQ(Host.Records[0].Result, TPortResult::Ok);
    const TPortRecord &R = Host.Records[1];
    EXPECT_EQ(R.Result, Row.Result);
    EXPECT_EQ(R.Port, "COM2");
    EXPECT_EQ(R.Mode, RunModeCompare);
    EXPECT_EQ(R.SetFile, "a.set");
    EXPECT_EQ(std::string(Row.Error).empty(), R.Error.empty()) << R.Error;
    EXPECT_NE(R.Error.find(Row.Error), std::string::npos) << R.Error;
    // What its process wrote comes beside its records, in its own order.
    const auto Apart = [](const std::vector<std::string> &Calls) {
        std::pair<std::vector<std::string>, std::vector<std::string>> Out;
        for (const std::string &Call : Calls)
            (Call.rfind("N ", 0) == 0 ? Out.second : Out.first).push_back(Call);
        return Out;
    };
    EXPECT_EQ(Apart(Host.Calls[1]), Apart(Row.Calls));
    EXPECT_EQ(Host.Calls[1].back(), Row.Calls.back()) << "PortFinished comes last";
    EXPECT_EQ(Host.Overlaps.load(), 0);
    EXPECT_EQ(Host.Threads.size(), 1u);
    EXPECT_EQ(Host.Threads.count(std::this_thread::get_id()), 0u) << "the station's own thread";
}

INSTANTIATE_TEST_SUITE_P(Station, StationTest, ::testing::ValuesIn(StationRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// What the child's outcome says reaches the record; a set's hash comes from
// the child, or from the station where the child gave none.
TEST(Station, RecordFromTheOutcome)
{
    TFakeLauncher Launcher;
    Launcher.Behaviours = {{"/dev/ttyUSB1", [](TFakeChild &C) { C.Finish(TRunResult::NoReply, 1, 160); }}};
    TFakeHost Host(1);
    TStation Station(Host, Launcher);
    TStationJob Job;
    Job.Mode = RunModeProgram;
    Job.Ports = {"/dev/ttyUSB1"};
    Job.SetFor = [](size_t, const std::string &, TRunSet &Set, std::string &) {
        Set.Bytes = SetBytes;
        return true;
    };
    Station.Start(Job);
    Station.Wait();
    const TPortRecord &R = Host.Records[0];
    EXPECT_EQ(R.Result, TPortResult::NoReply);
    EXPECT_EQ(R.FailedAddress, 160);
    EXPECT_EQ(R.Version, "");
    EXPECT_EQ(R.Status.Read.Repeats, 44);
    EXPECT_EQ(R.Fast, TFastExchange::On);
    EXPECT_EQ(R.SetSha256, std::string(64, '5'));
    EXPECT_EQ(R.ImageSha256, std::string(64, 'e'));
    EXPECT_EQ(R.Time.size(), 25u) << R.Time;
}

// Each port's set is asked for right before its run: a table of units gives
// each its own, and refuses once it has run out, before the device is touched.
TEST(Station, SetPerPortAndRefusal)
{
    TFakeLauncher Launcher;
    for (const char *Port : {"A", "B", "C"})
        Launcher.Behaviours[Port] = [](TFakeChild &C) { C.Finish(TRunResult::Ok, 0); };
    TFakeHost Host(3);
    TStation Station(Host, Launcher);
    TStationJob Job;
    Job.Mode = RunModeProgram;
    Job.Options = {true, 4};
    Job.Ports = {"A", "B", "C"};
    std::vector<std::string> Asked;
    Job.SetFor = [&](size_t Port, const std::string &Name, TRunSet &Set, std::string &Refusal) {
        Asked.push_back(Name);
        if (Port == 2) {
            Refusal = "brak kolejnej jednostki w tabeli";
            return false;
        }
        Set.Bytes = std::string(13676, static_cast<char>('0' + Port));
        Set.File = "unit" + std::to_string(Port) + ".set";
        Set.UnitKey = "SN-" + std::to_string(100 + Port);
        return true;
    };
    Station.Start(Job);
    Station.Wait();
    EXPECT_EQ(Asked, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Launcher.Launches, 2) << "no child for the refused port";
    ASSERT_EQ(Launcher.Seen.Jobs.size(), 2u);
    for (size_t I = 0; I < 2; ++I) {
        EXPECT_EQ(Launcher.Seen.Jobs[I].SetBytes, std::string(13676, static_cast<char>('0' + I)));
        EXPECT_EQ(Launcher.Seen.Jobs[I].SetFile, "unit" + std::to_string(I) + ".set");
        EXPECT_TRUE(Launcher.Seen.Jobs[I].Options.Fast);
        EXPECT_EQ(Launcher.Seen.Jobs[I].Options.GapMs, 4);
        EXPECT_EQ(Host.Records[I].UnitKey, "SN-" + std::to_string(100 + I));
        EXPECT_EQ(Host.Records[I].Result, TPortResult::Ok);
    }
    EXPECT_EQ(Host.Records[2].Result, TPortResult::Start);
    EXPECT_EQ(Host.Records[2].Error, "brak kolejnej jednostki w tabeli");
    EXPECT_EQ(Host.Calls[2], (std::vector<std::string>{"F start"}));
    for (size_t I = 0; I < 2; ++I)
        EXPECT_EQ(Host.Calls[I].front(), "U SN-" + std::to_string(100 + I)) << "the unit before its run";
}

// A child that cannot be started has a record of its own; the others run.
TEST(Station, ChildThatCannotStart)
{
    TFakeLauncher Launcher;
    Launcher.Failing = {1};
    for (const char *Port : {"A", "B", "C"})
        Launcher.Behaviours[Port] = [](TFakeChild &C) { C.Finish(TRunResult::Ok, 0); };
    TFakeHost Host(3);
    TStation Station(Host, Launcher);
    TStationJob Job;
    Job.Ports = {"A", "B", "C"};
    Job.Options.Fast = true;
    Station.Start(Job);
    Station.Wait();
    EXPECT_EQ(Host.Records[0].Result, TPortResult::Ok);
    EXPECT_EQ(Host.Records[1].Result, TPortResult::Start);
    EXPECT_EQ(Host.Records[1].Error, "posix_spawn: Too many open files");
    // The mode asked for, where the run never said what it came to.
    EXPECT_EQ(Host.Records[1].Fast, TFastExchange::On);
    EXPECT_EQ(Host.Records[2].Result, TPortResult::Ok);
}

// A child's run stops when asked, whichever; the others go on.
TEST(Station, StopOnePort)
{
    TFakeLauncher Launcher;
    std::atomic<int> Running{0};
    const TBehaviour UntilStopped = [&](TFakeChild &C) {
        ++Running;
        if (C.WaitForStop())
            C.Finish(TRunResult::Interrupted, 1);
    };
    Launcher.Behaviours = {{"A", UntilStopped}, {"B", UntilStopped}};
    TFakeHost Host(2);
    TStation Station(Host, Launcher);
    TStationJob Job;
    Job.Ports = {"A", "B"};
    Station.Start(Job);
    while (Running.load() < 2)
        std::this_thread::sleep_for(1ms);
    Station.Stop(1);
    Station.Stop(7); // no such port: nothing happens
    Host.WaitFinished(1);
    EXPECT_EQ(Host.ResultOf(1), TPortResult::Interrupted);
    EXPECT_EQ(Host.ResultOf(0), TPortResult::None) << "A still runs";
    Station.StopAll();
    Station.Wait();
    EXPECT_EQ(Host.Records[0].Result, TPortResult::Interrupted);
}

// Stopped before they started: no child, a record each.
TEST(Station, StopAllBeforeTheStart)
{
    TFakeLauncher Launcher;
    TFakeHost Host(3);
    TStation Station(Host, Launcher);
    Station.StopAll();
    TStationJob Job;
    Job.Ports = {"A", "B", "C"};
    Station.Start(Job);
    Station.Wait();
    EXPECT_EQ(Launcher.Launches, 0);
    for (const TPortRecord &R : Host.Records) {
        EXPECT_EQ(R.Result, TPortResult::Interrupted);
        EXPECT_EQ(R.Error, "przerwano przed startem");
    }
}

struct TDeadlineRow {
    const char *Name;
    bool HearsTheStop;
    const char *Error;
};

const TDeadlineRow DeadlineRows[] = {
    {"StopsWhenAsked", true, ""},
    {"EndedAfterItsGrace", false, "zakończony po czasie"},
};

void PrintTo(const TDeadlineRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class DeadlineTest : public ::testing::TestWithParam<TDeadlineRow> {};

// The deadline runs on the station's clock: a run past it is asked to stop,
// and ended once its grace is over too.
TEST_P(DeadlineTest, PortPastItsDeadline)
{
    const TDeadlineRow &Row = GetParam();
    TFakeLauncher Launcher;
    std::atomic<bool> Running{false}, StopSeen{false};
    Launcher.Behaviours = {{"COM4", [&](TFakeChild &C) {
                               Running = true;
                               StopSeen = C.WaitForStop();
                               if (StopSeen && Row.HearsTheStop)
                                   C.Finish(TRunResult::Interrupted, 1);
                           }},
                           {"COM5", [](TFakeChild &C) { C.Finish(TRunResult::Ok, 0); }}};
    TFakeHost Host(2);
    TFakeClock Clock;
    TStation Station(Host, Launcher, Clock);
    TStationJob Job;
    Job.Ports = {"COM4", "COM5"};
    Job.Deadline = 60s;
    Station.Start(Job);
    while (!Running.load())
        std::this_thread::sleep_for(1ms);
    Clock.Advance(59s);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(StopSeen.load()) << "stopped before its deadline";
    Clock.Advance(2s);
    while (!StopSeen.load())
        std::this_thread::sleep_for(1ms);
    if (!Row.HearsTheStop) {
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(Host.ResultOf(0), TPortResult::None) << "ended before its grace was over";
        Clock.Advance(DeadlineGrace);
    }
    Station.Wait();
    EXPECT_EQ(Host.Records[0].Result, TPortResult::Deadline);
    EXPECT_EQ(Host.Records[0].Error, Row.Error);
    EXPECT_EQ(Host.Records[0].DurationMs, Row.HearsTheStop ? 61000 : 61000 + DeadlineGrace.count());
    EXPECT_EQ(Host.Records[1].Result, TPortResult::Ok);
}

INSTANTIATE_TEST_SUITE_P(Station, DeadlineTest, ::testing::ValuesIn(DeadlineRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// What refuses a job before anything starts.
TEST(StationJob, PortsApart)
{
    std::string Error;
    EXPECT_TRUE(PortsApart({"COM1", "COM2", "/dev/ttyUSB7"}, Error)) << Error;
    EXPECT_FALSE(PortsApart({"COM1", "COM2", "COM1"}, Error));
    EXPECT_EQ(Error, "port COM1 podany dwa razy");
    EXPECT_FALSE(PortsApart({"COM2", "com2"}, Error));
    EXPECT_EQ(Error.rfind("porty COM2 i com2 to to samo urządzenie (", 0), 0u) << Error;
}

struct TFilesRow {
    const char *Name;
    std::vector<std::string> Ports;
    bool ImageFolder;
    const char *Refusal; // "" when accepted
    std::string Stamp = {};
};

const TFilesRow FilesRows[] = {
    {"OneFileEach", {"COM3", "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI:1"}, true, ""},
    {"StampedNames", {"COM3", "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI:1"}, true, "", "20261209-141503"},
    {"SameLastComponent", {"/dev/a/ttyS0", "/dev/b/ttyS0"}, false, "porty /dev/a/ttyS0 i /dev/b/ttyS0 dałyby ten sam plik ttyS0.set"},
    {"NamesApartOnlyInCase", {"COM3", "com3"}, false, "porty COM3 i com3 dałyby ten sam plik com3.set"},
};

void PrintTo(const TFilesRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class ReadFilesTest : public ::testing::TestWithParam<TFilesRow> {};

TEST_P(ReadFilesTest, FileOfEachPort)
{
    const TFilesRow &Row = GetParam();
    const std::string Folder = (std::filesystem::temp_directory_path() / "tw-station-files").string();
    std::filesystem::create_directories(Folder);
    std::vector<TRunSet> Sets;
    std::string Error;
    const bool Accepted =
        ReadFilesOfPorts(Row.Ports, Folder, Row.ImageFolder ? Folder + "/" : "", Sets, Error, Row.Stamp);
    EXPECT_EQ(Error, Row.Refusal);
    ASSERT_EQ(Accepted, *Row.Refusal == '\0');
    if (!Accepted)
        return;
    ASSERT_EQ(Sets.size(), Row.Ports.size());
    const std::string Stamp = Row.Stamp.empty() ? "" : "-" + Row.Stamp;
    EXPECT_EQ(Sets[0].OutPath, Folder + "/COM3" + Stamp + ".set");
    EXPECT_EQ(Sets[0].File, Sets[0].OutPath);
    EXPECT_EQ(Sets[1].ImagePath, Folder + "/ttyUSB0" + Stamp + ".img");
    EXPECT_EQ(Sets[2].OutPath, Folder + "/usb-FTDI_1" + Stamp + ".set");
}

INSTANTIATE_TEST_SUITE_P(Station, ReadFilesTest, ::testing::ValuesIn(FilesRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// What a window's log view reads back is what the line was made of.
TEST(StationJob, AuditLineReadsBack)
{
    TPortRecord R;
    R.Time = "2026-12-09T08:14:05+01:00";
    R.Port = "/dev/ttyUSB0";
    R.Version = "4.5.6";
    R.SetFile = "Sets/klient A.set";
    R.SetSha256 = std::string(64, 'c');
    R.Mode = RunModeRead;
    R.Result = TPortResult::Deadline;
    R.DurationMs = 31234;
    R.Error = "zakończony po czasie";
    R.UnitKey = "J-017";
    R.Fast = TFastExchange::Fallback;
    TPortRecord Back;
    std::string Host;
    ASSERT_TRUE(ParseAuditLine(AuditLine(R, "stanowisko-1"), Back, Host));
    EXPECT_EQ(Host, "stanowisko-1");
    EXPECT_EQ(AuditLine(Back, Host), AuditLine(R, "stanowisko-1"));
    EXPECT_TRUE(Back.StablePort.empty()); // "-" in the line
    EXPECT_EQ(Back.Result, TPortResult::Deadline);
    EXPECT_EQ(Back.Mode, RunModeRead);
    EXPECT_EQ(Back.DurationMs, 31234);
    EXPECT_EQ(Back.UnitKey, "J-017");
    EXPECT_EQ(Back.Fast, TFastExchange::Fallback);
    // A line of an older log, without the fast exchange's field.
    const std::string Line = AuditLine(R, "stanowisko-1");
    ASSERT_TRUE(ParseAuditLine(Line.substr(0, Line.rfind('\t')) + "\n", Back, Host));
    EXPECT_EQ(Back.UnitKey, "J-017");
    EXPECT_EQ(Back.Fast, TFastExchange::Off);
    for (const char *Other : {"", "a\tb", "1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\n"})
        EXPECT_FALSE(ParseAuditLine(Other, Back, Host)) << Other;
}

TEST(StationJob, FileTimeStampIsDateDashTime)
{
    const std::string Stamp = FileTimeStamp();
    ASSERT_EQ(Stamp.size(), 15u) << Stamp;
    for (size_t I = 0; I < Stamp.size(); ++I)
        EXPECT_TRUE(I == 8 ? Stamp[I] == '-' : std::isdigit(static_cast<unsigned char>(Stamp[I])) != 0) << Stamp;
    EXPECT_EQ(Stamp.substr(0, 2), "20");
}

// A station's ports: the Sys/COMn links discovery cannot see, by their path,
// in number order; dangling links and other names left out.
// Sys/COMn links to device nodes are how the programs reach ports on Linux only.
#ifndef _WIN32
TEST(StationJob, PortsIncludeComLinks)
{
    const std::filesystem::path Sys = std::filesystem::temp_directory_path() / "tw-station-ports" / "Sys";
    std::filesystem::remove_all(Sys.parent_path());
    std::filesystem::create_directories(Sys);
    std::filesystem::create_symlink("/dev/null", Sys / "COM12");
    std::filesystem::create_symlink("/dev/null", Sys / "COM3");
    std::filesystem::create_symlink("/no/such/device", Sys / "COM4");
    std::filesystem::create_symlink("/dev/null", Sys / "COMX");
    std::ofstream(Sys / "COM5") << "not a link";
    TPortsSystem System;
    System.SysRoot = System.DevRoot = System.ProcRoot = (Sys.parent_path() / "none").string();
    System.SysDir = Sys.string() + "/";
    const TPortList List = StationPorts(System);
    std::vector<std::string> Names;
    for (const TSerialPortInfo &Info : List.Ports) {
        Names.push_back(Info.Name);
        EXPECT_EQ(Info.Description, "/dev/null");
        EXPECT_EQ(Info.ComLinks.size(), 1u);
    }
    EXPECT_EQ(Names, (std::vector<std::string>{System.SysDir + "COM3", System.SysDir + "COM12"}));
    std::filesystem::remove_all(Sys.parent_path());
}
#endif

TEST(StationJob, ReadFoldersMustBeFolders)
{
    std::vector<TRunSet> Sets;
    std::string Error;
    const std::string Missing = (std::filesystem::temp_directory_path() / "tw-station-no-such-folder").string();
    EXPECT_FALSE(ReadFilesOfPorts({"COM1", "COM2"}, Missing, "", Sets, Error));
    EXPECT_EQ(Error, Missing + ": przy wielu portach OUT i IMG to istniejące foldery, po jednym pliku na port");
    EXPECT_TRUE(Sets.empty());
}

} // namespace
