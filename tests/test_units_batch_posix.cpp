// A units table shared by processes: two of eight ports each take every row
// exactly once, and a process killed in the middle gives its rows back.
#include "UProcs.h"
#include "UUnitsBatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class TSharedTable {
public:
    explicit TSharedTable(size_t Rows)
    {
        std::filesystem::create_directories(Folder);
        std::ofstream Out(Table, std::ios::binary);
        Out << "Jednostka;DevicePin\n";
        for (size_t R = 1; R <= Rows; ++R) {
            Keys.push_back("SN-" + std::to_string(1000 + R));
            Out << Keys.back() << ";" << 1000 + R << "\n";
        }
        SetDefaultSettings();
    }
    ~TSharedTable() { std::filesystem::remove_all(Folder); }

    bool Open(TUnitsBatch &Batch) const
    {
        std::string Error;
        return Batch.Open(Table, {}, Settings, "base.set", Error);
    }
    std::vector<std::string> JournalLines() const
    {
        std::ifstream In(UnitsJournalPath(Table));
        std::vector<std::string> Lines;
        for (std::string Line; std::getline(In, Line);)
            Lines.push_back(Line);
        return Lines;
    }

    const std::string Folder = "/tmp/tw-units-shared-" + std::to_string(getpid());
    const std::string Table = Folder + "/units.csv";
    std::vector<std::string> Keys;
};

std::string ReadAll(int Fd)
{
    std::string Text;
    char Buffer[4096];
    for (ssize_t N; (N = read(Fd, Buffer, sizeof Buffer)) > 0;)
        Text.append(Buffer, static_cast<size_t>(N));
    return Text;
}

// A bench of eight ports in a process of its own: each port programs units
// until the table has none left; every fifth run fails and gives its row back.
[[noreturn]] void Bench(const TSharedTable &Shared, int Report)
{
    TUnitsBatch Batch;
    if (!Shared.Open(Batch))
        _exit(3);
    std::vector<std::thread> Ports;
    for (size_t Port = 0; Port < 8; ++Port) {
        Ports.emplace_back([&Batch, Port, Report] {
            for (unsigned Run = 0;; ++Run) {
                TRunSet Set;
                std::string Refusal;
                if (!Batch.Take(Port, Set, Refusal)) {
                    if (Batch.Count().Used == Batch.Table().Rows.size())
                        return;
                    usleep(500); // rows still in progress elsewhere may come back
                    continue;
                }
                usleep(200 * (Port + 1));
                const bool Fails = (Run + Port) % 5 == 0;
                std::string Error;
                if (!Batch.Settle(Port, Fails ? TPortResult::Verify : TPortResult::Ok, Error))
                    _exit(4);
                const std::string Line = (Fails ? "failed " : "programmed ") + Set.UnitKey + "\n";
                if (write(Report, Line.data(), Line.size()) != static_cast<ssize_t>(Line.size()))
                    _exit(5);
            }
        });
    }
    for (std::thread &T : Ports)
        T.join();
    _exit(0);
}

TEST(UnitsBatchProcesses, TwoBenchesOfEightPortsTakeEveryRowOnce)
{
    TSharedTable Shared(48);
    int Pipes[2][2];
    pid_t Pids[2];
    for (int B = 0; B < 2; ++B) {
        ASSERT_EQ(pipe(Pipes[B]), 0);
        Pids[B] = fork();
        ASSERT_GE(Pids[B], 0);
        if (Pids[B] == 0) {
            close(Pipes[B][0]);
            Bench(Shared, Pipes[B][1]);
        }
        close(Pipes[B][1]);
    }
    std::vector<std::string> Programmed;
    size_t Failed = 0;
    for (int B = 0; B < 2; ++B) {
        std::istringstream Lines(ReadAll(Pipes[B][0]));
        close(Pipes[B][0]);
        size_t Own = 0;
        for (std::string Word, Key; Lines >> Word >> Key;) {
            if (Word == "programmed") {
                Programmed.push_back(Key);
                ++Own;
            } else {
                ++Failed;
            }
        }
        int Raw = 0;
        waitpid(Pids[B], &Raw, 0);
        EXPECT_TRUE(WIFEXITED(Raw) && WEXITSTATUS(Raw) == 0) << "bench " << B << ": " << Raw;
        EXPECT_GT(Own, 0u) << "bench " << B << " programmed nothing";
    }
    EXPECT_GT(Failed, 0u);
    std::sort(Programmed.begin(), Programmed.end());
    EXPECT_EQ(Programmed, Shared.Keys) << "every unit programmed exactly once";
    std::vector<std::string> Journal = Shared.JournalLines();
    std::sort(Journal.begin(), Journal.end());
    EXPECT_EQ(Journal, Shared.Keys);
}

// The rows of a process that dies are held by nothing any more.
TEST(UnitsBatchProcesses, KilledHolderGivesItsRowsBack)
{
    TSharedTable Shared(4);
    int Ready[2];
    ASSERT_EQ(pipe(Ready), 0);
    const pid_t Pid = fork();
    ASSERT_GE(Pid, 0);
    if (Pid == 0) {
        TUnitsBatch Batch;
        TRunSet Set;
        std::string Refusal;
        if (!Shared.Open(Batch) || !Batch.Take(0, Set, Refusal) || !Batch.Take(1, Set, Refusal))
            _exit(3);
        if (write(Ready[1], "r", 1) != 1)
            _exit(4);
        pause();
        _exit(0);
    }
    close(Ready[1]);
    char Byte = 0;
    ASSERT_EQ(read(Ready[0], &Byte, 1), 1);
    close(Ready[0]);
    TUnitsBatch Batch;
    ASSERT_TRUE(Shared.Open(Batch));
    TRunSet Set;
    std::string Refusal;
    ASSERT_TRUE(Batch.Take(0, Set, Refusal)) << Refusal;
    EXPECT_EQ(Set.UnitKey, "SN-1003") << "SN-1001 and SN-1002 are in progress in the other process";
    kill(Pid, SIGKILL);
    int Raw = 0;
    waitpid(Pid, &Raw, 0);
    for (const char *Key : {"SN-1001", "SN-1002", "SN-1004"}) {
        ASSERT_TRUE(Batch.Take(Key[6] - '0', Set, Refusal)) << Refusal;
        EXPECT_EQ(Set.UnitKey, Key);
    }
    EXPECT_TRUE(Shared.JournalLines().empty());
}

// A programmed unit whose key the journal does not take (past the file-size
// limit here, a full disk at a bench) keeps its row: no other unit gets its
// values, and its record says why.
TEST(UnitsBatchProcesses, JournalThatCannotBeWrittenKeepsTheRow)
{
    TSharedTable Shared(3);
    const pid_t Pid = fork();
    ASSERT_GE(Pid, 0);
    if (Pid == 0) {
        class TLast : public TStationHost {
        public:
            void PortLine(size_t, const std::string &) override {}
            void PortNote(size_t, TNoteKind, const std::string &) override {}
            void PortStatus(size_t, const TRunStatus &) override {}
            void PortFinished(size_t, const TPortRecord &Record) override { Error = Record.Error; }
            std::string Error;
        } Inner;
        TUnitsBatch Batch;
        TUnitsHost Host(Inner, Batch);
        TRunSet Set;
        std::string Refusal;
        if (!Shared.Open(Batch) || !Host.Provider()(0, "COM1", Set, Refusal))
            _exit(3);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit = {0, 0};
        setrlimit(RLIMIT_FSIZE, &Limit);
        TPortRecord Record;
        Record.Result = TPortResult::Ok;
        Host.PortFinished(0, Record);
        if (!Host.JournalFailed() || Inner.Error.find("nie zapisano zaprogramowanej jednostki SN-1001") == std::string::npos)
            _exit(4);
        if (!Batch.Take(1, Set, Refusal) || Set.UnitKey != "SN-1002")
            _exit(5);
        _exit(Batch.Count().Left() == 1 ? 0 : 6);
    }
    int Raw = 0;
    waitpid(Pid, &Raw, 0);
    EXPECT_TRUE(WIFEXITED(Raw) && WEXITSTATUS(Raw) == 0) << Raw;
    EXPECT_TRUE(Shared.JournalLines().empty());
}

// A FIFO in the journal's place would hold the batch until something wrote
// into it; it is refused at once, as the audit log refuses one.
TEST(UnitsBatchProcesses, JournalThatIsNoFileIsRefused)
{
    TSharedTable Shared(1);
    ASSERT_EQ(mkfifo(UnitsJournalPath(Shared.Table).c_str(), 0644), 0);
    TUnitsBatch Batch;
    std::string Error;
    EXPECT_FALSE(Batch.Open(Shared.Table, {}, Settings, "base.set", Error));
    EXPECT_NE(Error.find("to nie jest zwykły plik"), std::string::npos) << Error;
}

} // namespace
