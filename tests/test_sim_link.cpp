// trackwarden-sim as a program: what --link may replace and remove, one
// simulator per link, what --memory accepts, a save past the file-size limit.
#include "test_run_support.h"

#include <algorithm>
#include <filesystem>

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

} // namespace
