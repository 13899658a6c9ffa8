// trackwarden-sim as a program: what --link may replace and remove, one
// simulator per link, what --memory and --save accept, the values of its
// options, serving on a port, and the line's timing as its log shows it.
#include "test_run_support.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sstream>
#include <termios.h>

namespace {

struct TSimRun {
    int Status = -1; // 124: still running after the time limit
    std::string Err;
};

// The simulator that is expected to refuse to start, with a time limit.
TSimRun RunSim(const std::string &Folder, const std::string &Shell, const std::vector<std::string> &Args)
{
    std::string Command = "cd '" + Folder + "' && " + Shell + " timeout 5 '" + TW_BIN_DIR + "/trackwarden-sim'";
    for (const std::string &Arg : Args)
        Command += " '" + Arg + "'";
    Command += " >/dev/null 2>sim.err";
    const int Raw = std::system(Command.c_str());
    TSimRun Run;
    Run.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    std::ifstream Err(Folder + "sim.err");
    Run.Err.assign(std::istreambuf_iterator<char>(Err), {});
    return Run;
}

std::string LinkTarget(const std::string &Path)
{
    char Buffer[512] = {};
    const ssize_t N = readlink(Path.c_str(), Buffer, sizeof Buffer - 1);
    return N > 0 ? std::string(Buffer, static_cast<size_t>(N)) : std::string();
}

std::vector<std::string> Entries(const std::string &Folder)
{
    std::vector<std::string> Names;
    for (const auto &Entry : std::filesystem::directory_iterator(Folder))
        Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

struct TRefusalRow {
    const char *Name;
    const char *Lay;   // shell commands in the folder before the simulator starts
    const char *Shell; // before the simulator on its command line
    std::vector<std::string> Args;
    std::string ErrHas;
    const char *Kept; // a file or folder that must still be there as laid
};

const TRefusalRow RefusalRows[] = {
    {"LinkOverARegularFile", "printf 'precious' > Sys/COM1", "", {"--link", "Sys/COM1"}, "a regular file is there",
     "Sys/COM1"},
    {"LinkOverAFolder", "mkdir Sys/COM1 && touch Sys/COM1/inside", "", {"--link", "Sys/COM1"}, "a folder is there",
     "Sys/COM1/inside"},
    {"MemoryFromAFifo", "mkfifo mem.fifo", "", {"--link", "Sys/COM1", "--memory", "mem.fifo"},
     "--memory mem.fifo: not a regular file", "mem.fifo"},
    {"MemoryOfTheWrongSize", "head -c 8193 /dev/zero > mem.bin", "", {"--link", "Sys/COM1", "--memory", "mem.bin"},
     "8193 bytes, not 8192", "mem.bin"},
    {"MemoryMissing", "", "", {"--link", "Sys/COM1", "--memory", "none.bin"}, "--memory none.bin:", nullptr},
    // --save is checked before anything starts, not at exit after the memory is gone.
    {"SaveIntoAMissingFolder", "", "", {"--link", "Sys/COM1", "--save", "none/memory.bin"},
     "--save none/memory.bin: cannot be saved there", nullptr},
    {"SaveThroughALinkToADevice", "ln -s /dev/null memory.bin", "", {"--link", "Sys/COM1", "--save", "memory.bin"},
     "--save memory.bin: cannot be saved there", "memory.bin"},
    {"SaveOverAFifo", "mkfifo memory.bin", "", {"--link", "Sys/COM1", "--save", "memory.bin"},
     "--save memory.bin: cannot be saved there", "memory.bin"},
    {"SaveOverAReadOnlyFile", "printf old > memory.bin && chmod 444 memory.bin", "",
     {"--link", "Sys/COM1", "--save", "memory.bin"}, "--save memory.bin: cannot be saved there", "memory.bin"},
    // Values an option cannot mean.
    {"AddressOutsideTheMemory", "", "", {"--link", "Sys/COM1", "--corrupt-byte", "9000"},
     "bad option --corrupt-byte 9000: from 0 to 8191", nullptr},
    {"NegativeDelay", "", "", {"--link", "Sys/COM1", "--delay", "-1"}, "bad option --delay -1: from 0 to 60000", nullptr},
    {"NegativeCount", "", "", {"--link", "Sys/COM1", "--ignore", "-1"}, "bad option --ignore -1:", nullptr},
    {"LatencyAboveTheAdapters", "", "", {"--link", "Sys/COM1", "--latency", "256"}, "bad option --latency 256:", nullptr},
    {"NotANumber", "", "", {"--link", "Sys/COM1", "--trailing", "2x"}, "bad option --trailing 2x:", nullptr},
    {"UnknownSpeed", "", "", {"--port", "/dev/null", "--baud", "12345"}, "bad option --baud 12345:", nullptr},
    {"VersionPartAbove255", "", "", {"--link", "Sys/COM1", "--version", "1.2.300"}, "bad option --version 1.2.300", nullptr},
    {"LinkAndPort", "", "", {"--link", "Sys/COM1", "--port", "/dev/null"}, "--link and --port together", nullptr},
    {"PortNotATerminal", "", "", {"--port", "/dev/null"}, "--port /dev/null: not a terminal", nullptr},
};

void PrintTo(const TRefusalRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class SimRefusal : public ::testing::TestWithParam<TRefusalRow> {};

TEST_P(SimRefusal, ExitsAtOnceAndTouchesNothing)
{
    const TRefusalRow &Row = GetParam();
    TProgramFolder Folder;
    if (*Row.Lay != '\0') {
        ASSERT_EQ(std::system(("cd '" + Folder.Path + "' && " + Row.Lay).c_str()), 0);
    }
    const auto Before = Entries(Folder.Path + "Sys");
    std::vector<uint8_t> KeptBefore;
    if (Row.Kept != nullptr && std::filesystem::is_regular_file(Folder.Path + Row.Kept))
        KeptBefore = ReadBytes(Folder.Path + Row.Kept);
    const TSimRun Run = RunSim(Folder.Path, Row.Shell, Row.Args);
    EXPECT_EQ(Run.Status, 2) << Run.Err;
    EXPECT_NE(Run.Err.find(Row.ErrHas), std::string::npos) << Run.Err;
    EXPECT_EQ(Entries(Folder.Path + "Sys"), Before) << "no link, no lock file left";
    if (Row.Kept != nullptr) {
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(Folder.Path + Row.Kept))) << Row.Kept;
        if (!KeptBefore.empty()) {
            EXPECT_EQ(ReadBytes(Folder.Path + Row.Kept), KeptBefore);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, SimRefusal, ::testing::ValuesIn(RefusalRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(SimLink, ReplacesAStaleLinkAndRemovesItsOwnOnExit)
{
    TProgramFolder Folder;
    const std::string Link = Folder.Path + "Sys/COM1";
    ASSERT_EQ(symlink("/dev/pts/no-such", Link.c_str()), 0);
    TSimProcess Sim(Link, {});
    ASSERT_TRUE(Sim.Ready);
    EXPECT_EQ(LinkTarget(Link).rfind("/dev/pts/", 0), 0u);
    EXPECT_NE(LinkTarget(Link), "/dev/pts/no-such");
    EXPECT_EQ(Sim.Stop(), 0);
    EXPECT_TRUE(Entries(Folder.Path + "Sys").empty());
}

TEST(SimLink, ASecondSimulatorOnTheLinkIsRefused)
{
    TProgramFolder Folder;
    const std::string Link = Folder.Path + "Sys/COM1";
    TSimProcess First(Link, {});
    ASSERT_TRUE(First.Ready);
    const std::string Pty = LinkTarget(Link);

    const TSimRun Second = RunSim(Folder.Path, "", {"--link", Link});
    EXPECT_EQ(Second.Status, 2);
    EXPECT_NE(Second.Err.find("owned by another running simulator"), std::string::npos) << Second.Err;
    EXPECT_EQ(LinkTarget(Link), Pty) << "the second took the link over";

    EXPECT_EQ(First.Stop(), 0);
    EXPECT_TRUE(Entries(Folder.Path + "Sys").empty());
    // Free again once the first has gone.
    TSimProcess Third(Link, {});
    EXPECT_TRUE(Third.Ready);
}

TEST(SimLink, ALinkPointedElsewhereMeanwhileStays)
{
    TProgramFolder Folder;
    const std::string Link = Folder.Path + "Sys/COM1";
    TSimProcess Sim(Link, {});
    ASSERT_TRUE(Sim.Ready);
    ASSERT_EQ(unlink(Link.c_str()), 0);
    ASSERT_EQ(symlink("/dev/ttyUSB7", Link.c_str()), 0);
    EXPECT_EQ(Sim.Stop(), 0);
    EXPECT_EQ(LinkTarget(Link), "/dev/ttyUSB7");
}

// The memory saved on exit past the file-size limit: a failure, and no
// temporary file beside the target.
TEST(SimSave, PastTheFileSizeLimitLeavesNoTemporaryFile)
{
    TProgramFolder Folder;
    const std::string Command = "cd '" + Folder.Path + "' && ulimit -f 4 && ('" + TW_BIN_DIR +
                                "/trackwarden-sim' --link Sys/COM1 --save saved.bin >ready.txt 2>sim.err &" +
                                " for i in $(seq 100); do [ -s ready.txt ] && break; sleep 0.05; done; kill $!; wait $!)";
    const int Raw = std::system(Command.c_str());
    EXPECT_TRUE(WIFEXITED(Raw) && WEXITSTATUS(Raw) == 1) << Raw;
    EXPECT_FALSE(std::filesystem::exists(Folder.Path + "saved.bin.tmp"));
    EXPECT_FALSE(std::filesystem::exists(Folder.Path + "saved.bin"));
}

// The memory saved through a link replaces the link's target and keeps the
// link; a link planted at the old temporary name leads nowhere it would write.
TEST(SimSave, ThroughALinkAndPastAPlantedTemporaryName)
{
    TProgramFolder Folder;
    const std::string Saved = Folder.Path + "memory.bin";
    const std::vector<uint8_t> Old(100, 0x55), Victim(10, 0x77);
    WriteBytes(Folder.Path + "real.bin", Old.data(), Old.size());
    WriteBytes(Folder.Path + "victim.bin", Victim.data(), Victim.size());
    ASSERT_EQ(symlink("real.bin", Saved.c_str()), 0);
    ASSERT_EQ(symlink("victim.bin", (Saved + ".tmp").c_str()), 0);
    TSimProcess Sim(Folder.Path + "Sys/COM1", {"--save", Saved});
    ASSERT_TRUE(Sim.Ready);
    EXPECT_EQ(Sim.Stop(), 0);
    EXPECT_EQ(LinkTarget(Saved), "real.bin");
    EXPECT_EQ(ReadBytes(Folder.Path + "real.bin"), std::vector<uint8_t>(8192, 0));
    EXPECT_EQ(LinkTarget(Saved + ".tmp"), "victim.bin");
    EXPECT_EQ(ReadBytes(Folder.Path + "victim.bin"), Victim);
}

// The program's end of a pseudo-terminal; the simulator serves the other end as a port.
struct TOtherEnd {
    TOtherEnd()
    {
        Fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Fd < 0 || grantpt(Fd) != 0 || unlockpt(Fd) != 0)
            throw std::runtime_error("posix_openpt failed");
        Port = ptsname(Fd);
    }
    ~TOtherEnd() { close(Fd); }
    int Fd = -1;
    std::string Port;
};

// A device's terminal as the tests set it: raw at Baud.
int OpenLine(const std::string &Path, speed_t Baud, tcflag_t Extra = 0)
{
    const int Fd = open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios Tio;
    if (Fd < 0 || tcgetattr(Fd, &Tio) != 0)
        throw std::runtime_error("cannot open " + Path);
    cfmakeraw(&Tio);
    Tio.c_cflag |= Extra;
    cfsetispeed(&Tio, Baud);
    cfsetospeed(&Tio, Baud);
    tcsetattr(Fd, TCSANOW, &Tio);
    return Fd;
}

void Send(int Fd, const std::vector<uint8_t> &Bytes)
{
    ASSERT_EQ(write(Fd, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
}

// Up to Count bytes, or what came before a second passed without more.
std::vector<uint8_t> Receive(int Fd, size_t Count)
{
    std::vector<uint8_t> Bytes;
    pollfd In{Fd, POLLIN, 0};
    while (Bytes.size() < Count && poll(&In, 1, 1000) > 0) {
        uint8_t Chunk[256];
        const ssize_t N = read(Fd, Chunk, std::min(sizeof Chunk, Count - Bytes.size()));
        if (N <= 0)
            break;
        Bytes.insert(Bytes.end(), Chunk, Chunk + N);
    }
    return Bytes;
}

const std::vector<uint8_t> VersionRequest = {0x01, 0xFF};
const std::vector<uint8_t> VersionReply = {0x01, 0x02, 0x03, 0xFA};

TEST(SimPort, ServesATerminalAndGivesItBackAsItWas)
{
    TProgramFolder Folder;
    TOtherEnd Line;
    const int Port = OpenLine(Line.Port, B9600, PARENB);
    termios Before;
    ASSERT_EQ(tcgetattr(Port, &Before), 0);

    TSimProcess Sim("", {"--port", Line.Port});
    ASSERT_TRUE(Sim.Ready);
    termios Serving;
    ASSERT_EQ(tcgetattr(Port, &Serving), 0);
    EXPECT_EQ(cfgetospeed(&Serving), static_cast<speed_t>(B115200));
    EXPECT_EQ(Serving.c_cflag & PARENB, 0u);
    const TSimRun Second = RunSim(Folder.Path, "", {"--port", Line.Port});
    EXPECT_EQ(Second.Status, 2);
    EXPECT_NE(Second.Err.find("another program holds it"), std::string::npos) << Second.Err;

    Send(Line.Fd, VersionRequest);
    EXPECT_EQ(Receive(Line.Fd, 4), VersionReply);
    EXPECT_EQ(Sim.Stop(), 0);
    termios After;
    ASSERT_EQ(tcgetattr(Port, &After), 0);
    EXPECT_EQ(cfgetospeed(&After), cfgetospeed(&Before));
    EXPECT_EQ(After.c_cflag, Before.c_cflag);
    EXPECT_EQ(After.c_lflag, Before.c_lflag);
    close(Port);
}

// What a real line does to timing, each option as the simulator's own log
// (--log-times, in ms) shows it. The times are bounds from below: the
// simulator never sends a byte before the line would have let it.
struct TTimedEntry {
    double Ms;
    char Mark; // '>' heard, '<' sent, '~' lost
    std::string Bytes;
};

std::vector<TTimedEntry> TimedLog(const std::string &Path)
{
    std::vector<TTimedEntry> Entries;
    std::ifstream In(Path);
    std::string Text;
    while (std::getline(In, Text)) {
        std::istringstream Fields(Text);
        TTimedEntry Entry;
        std::string Mark;
        if (!(Fields >> Entry.Ms >> Mark) || Mark.size() != 1 || std::string("<>~").find(Mark[0]) == std::string::npos)
            continue;
        Entry.Mark = Mark[0];
        std::getline(Fields >> std::ws, Entry.Bytes);
        Entries.push_back(Entry);
    }
    return Entries;
}

std::string Joined(const std::vector<TTimedEntry> &Log, char Mark)
{
    std::string Text;
    for (const TTimedEntry &Entry : Log)
        if (Entry.Mark == Mark)
            Text += (Text.empty() ? "" : " ") + Entry.Bytes;
    return Text;
}

const double CharMs9600 = 10.0 / 9600 * 1000; // 1.042 ms

struct TTimingRow {
    const char *Name;
    std::vector<std::string> Options;
    speed_t Baud;
    // Talks to the simulator on Fd; then checks its log.
    std::function<void(int Fd)> Talk;
    std::function<void(const std::vector<TTimedEntry> &)> Check;
};

std::vector<uint8_t> ReadOf32 = {0x02, 0x00, 0x00, 0x20, 0xDE};

const TTimingRow TimingRows[] = {
    {"WireAtTheTerminalsSpeed", {"--wire"}, B9600,
     [](int Fd) {
         Send(Fd, ReadOf32);
         EXPECT_EQ(Receive(Fd, 36).size(), 36u);
     },
     [](const std::vector<TTimedEntry> &Log) {
         ASSERT_GE(Log.size(), 3u);
         EXPECT_EQ(Log.front().Mark, '>');
         // 36 bytes one after another at 9600 baud, after the 2 ms delay.
         EXPECT_GE(Log.back().Ms - Log.front().Ms, 2 + 35 * CharMs9600);
     }},
    {"ProcessingTimes", {"--write-ms", "40", "--read-ms", "25"}, B115200,
     [](int Fd) {
         Send(Fd, {0x03, 0x00, 0x00, 0x01, 0x07, 0xF5});
         EXPECT_EQ(Receive(Fd, 4).size(), 4u);
         Send(Fd, {0x02, 0x00, 0x00, 0x01, 0xFD});
         EXPECT_EQ(Receive(Fd, 5).size(), 5u);
     },
     [](const std::vector<TTimedEntry> &Log) {
         ASSERT_EQ(Log.size(), 4u);
         EXPECT_GE(Log[1].Ms - Log[0].Ms, 40);
         EXPECT_GE(Log[3].Ms - Log[2].Ms, 25);
         EXPECT_EQ(Log[3].Bytes, "02 00 00 07 F7");
     }},
    {"AdapterLatency", {"--latency", "50"}, B115200,
     [](int Fd) {
         Send(Fd, VersionRequest);
         EXPECT_EQ(Receive(Fd, 4), VersionReply);
     },
     [](const std::vector<TTimedEntry> &Log) {
         ASSERT_EQ(Log.size(), 2u);
         // Held until the adapter's 50 ms timer ran out, then sent in one burst.
         const double Tick = std::ceil((Log[0].Ms + 2) / 50) * 50;
         EXPECT_GE(Log[1].Ms, Tick);
         EXPECT_EQ(Log[1].Bytes, "01 02 03 FA");
     }},
    {"DeafAfterItsReplyAndTrailingBytes", {"--deaf-ms", "300", "--trailing", "2"}, B115200,
     [](int Fd) {
         Send(Fd, VersionRequest);
         EXPECT_EQ(Receive(Fd, 6), (std::vector<uint8_t>{0x01, 0x02, 0x03, 0xFA, 0x00, 0x00}));
         Send(Fd, VersionRequest);
         usleep(400000);
         Send(Fd, VersionRequest);
         EXPECT_EQ(Receive(Fd, 6).size(), 6u);
     },
     [](const std::vector<TTimedEntry> &Log) {
         EXPECT_EQ(Joined(Log, '~'), "01 FF");
         EXPECT_EQ(Joined(Log, '>'), "01 FF 01 FF");
         EXPECT_EQ(Joined(Log, '<'), "01 02 03 FA 00 00 01 02 03 FA 00 00");
     }},
};

void PrintTo(const TTimingRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class SimTiming : public ::testing::TestWithParam<TTimingRow> {};

TEST_P(SimTiming, AsItsLogShows)
{
    const TTimingRow &Row = GetParam();
    TProgramFolder Folder;
    std::vector<std::string> Options = {"--log", Folder.Path + "sim.log", "--log-times"};
    Options.insert(Options.end(), Row.Options.begin(), Row.Options.end());
    TSimProcess Sim(Folder.Path + "Sys/COM1", Options);
    ASSERT_TRUE(Sim.Ready);
    const int Fd = OpenLine(Folder.Path + "Sys/COM1", Row.Baud);
    Row.Talk(Fd);
    close(Fd);
    EXPECT_EQ(Sim.Stop(), 0);
    Row.Check(TimedLog(Folder.Path + "sim.log"));
}

INSTANTIATE_TEST_SUITE_P(Sim, SimTiming, ::testing::ValuesIn(TimingRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
