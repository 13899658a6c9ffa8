// File faults through trackwarden-cli: missing folders, a read-only folder, a
// full disk, a locked file, wrong sizes and hostile length bytes. Each row
// states the message and exit status, and that the files already there
// keep every byte (a failed save never costs the previous set).
#include "test_run_support.h"

#include "UFields.h"
#include "UProcs.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/file.h>

namespace {

using TBytes = std::vector<uint8_t>;

TBytes RecordBytes(const TSettings &S)
{
    const auto *P = reinterpret_cast<const uint8_t *>(&S);
    return TBytes(P, P + SettingsSize);
}

TBytes DefaultSet()
{
    SetDefaultSettings();
    return RecordBytes(Settings);
}

// A set whose texts and codes claim more characters than their fields hold,
// with line breaks and quotes in them.
TBytes HostileSet()
{
    TBytes Set = DefaultSet();
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == TFieldKind::Text) {
            Set[F.Offset] = 255;
            for (int I = 1; I <= F.Capacity; ++I)
                Set[F.Offset + static_cast<size_t>(I)] = "a\n\"\\\r\x7f"[I % 6];
        }
    return Set;
}

struct TFileRow {
    const char *Name;
    std::map<std::string, TBytes> Files; // relative name -> contents, made before the run
    std::vector<std::string> Folders;    // made before the files; "ro/" ones end read-only
    const char *Shell;                   // runs before the command: limits, another user
    std::vector<std::string> Args;       // "@" stands for the scratch folder
    const char *Lock;                    // a file this process holds locked during the run
    int Status;
    std::string ErrContains;
    std::vector<std::string> Absent;     // must not exist afterwards
    int DumpLines;                       // stdout lines expected, -1: not looked at
};

const char *const AsNobody = "exec setpriv --reuid=65534 --regid=65534 --clear-groups";
const char *const SmallDisk = "trap '' XFSZ; ulimit -f 4; exec";
const char *const FileSizeLimit = "trap - XFSZ; ulimit -f 4; exec";

const std::string ReadError = "Błąd odczytu pliku!";
const std::string WriteError = "Błąd zapisu pliku!";

std::vector<TFileRow> Rows()
{
    const TBytes Old = HostileSet();
    const int Fields = static_cast<int>(SettingsFields().size());
    return {
        {"MissingFolder", {}, {}, "exec", {"defaults", "@no-such/new.set"}, nullptr, 2, WriteError,
         {"no-such/new.set", "no-such"}, -1},
        {"ReadOnlyFolderKeepsTheOldSet", {{"ro/old.set", Old}}, {"ro"}, AsNobody, {"defaults", "@ro/old.set"},
         nullptr, 2, WriteError, {}, -1},
        {"ReadOnlyFolderNewName", {}, {"ro"}, AsNobody, {"defaults", "@ro/new.set"}, nullptr, 2, WriteError,
         {"ro/new.set"}, -1},
        {"FullDiskKeepsTheOldSet", {{"old.set", Old}}, {}, SmallDisk, {"defaults", "@old.set"}, nullptr, 2,
         WriteError, {}, -1},
        {"FullDiskNewName", {}, {}, SmallDisk, {"defaults", "@new.set"}, nullptr, 2, WriteError, {"new.set"}, -1},
        {"LockedSetNotRead", {{"held.set", Old}}, {}, "exec", {"dump", "@held.set"}, "held.set", 2, ReadError, {},
         0},
        {"LockedSetNotReplaced", {{"held.set", Old}}, {}, "exec", {"defaults", "@held.set"}, "held.set", 2,
         WriteError, {}, -1},
        {"MissingSet", {}, {}, "exec", {"dump", "@none.set"}, nullptr, 2, "Brak takiego pliku!", {}, 0},
        {"EmptySet", {{"e.set", {}}}, {}, "exec", {"dump", "@e.set"}, nullptr, 2, ReadError + " (0 B", {}, 0},
        {"SetOneByteShort", {{"s.set", TBytes(SettingsSize - 1, 7)}}, {}, "exec", {"dump", "@s.set"}, nullptr, 2,
         ReadError + " (13675 B", {}, 0},
        {"SetOneByteLong", {{"l.set", TBytes(SettingsSize + 1, 7)}}, {}, "exec", {"dump", "@l.set"}, nullptr, 2,
         ReadError + " (13677 B", {}, 0},
        // A refused read leaves the output of an earlier image alone.
        {"WrongSizeLeavesTheImage", {{"s.set", TBytes(100)}, {"out.img", TBytes(8192, 0x5A)}}, {}, "exec",
         {"image", "@s.set", "@out.img"}, nullptr, 2, ReadError, {}, -1},
        {"HostileLengthsDumpOneLineEach", {{"h.set", Old}}, {}, "exec", {"dump", "@h.set"}, nullptr, 0, "", {},
         Fields},
        {"HostileLengthsRefusedByTheCheck", {{"h.set", Old}, {"out.img", TBytes(8192, 0x5A)}}, {}, "exec",
         {"image", "@h.set", "@out.img"}, nullptr, 1, "Zbyt długa treść SMS", {}, -1},
        {"HostileLengthsNeverReachTheDevice", {{"h.set", Old}}, {}, "exec",
         {"program", "@h.set", "--port", "@Sys/COM1"}, nullptr, 1, "Błąd ustawień!", {}, 0},
        // Past the file-size limit with SIGXFSZ at its default: the save fails, nothing is left behind.
        {"FileSizeLimitKeepsTheOldSet", {{"old.set", Old}}, {}, FileSizeLimit, {"defaults", "@old.set"}, nullptr, 2,
         WriteError, {}, -1},
        {"FileSizeLimitNewName", {}, {}, FileSizeLimit, {"defaults", "@new.set"}, nullptr, 2, WriteError, {"new.set"},
         -1},
        {"FileSizeLimitImage", {{"h.set", DefaultSet()}}, {}, FileSizeLimit, {"image", "@h.set", "@out.img"}, nullptr,
         2, WriteError, {"out.img"}, -1},
    };
}

class FileFaultTest : public ::testing::TestWithParam<TFileRow> {
protected:
    TProgramFolder Folder;
};

int RunShell(const std::string &Script, const std::string &Scratch, std::string &Out, std::string &Err)
{
    const std::string Command = "cd '" + Scratch + "' && " + Script + " >out.txt 2>err.txt";
    const int Raw = std::system(Command.c_str());
    std::ifstream OutFile(Scratch + "out.txt"), ErrFile(Scratch + "err.txt");
    Out.assign(std::istreambuf_iterator<char>(OutFile), {});
    Err.assign(std::istreambuf_iterator<char>(ErrFile), {});
    return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
}

TEST_P(FileFaultTest, MessageStatusAndNothingLost)
{
    const TFileRow &Row = GetParam();
    const std::string &Dir = Folder.Path;
    ASSERT_EQ(chmod(Dir.c_str(), 0755), 0);
    for (const std::string &Name : Row.Folders)
        ASSERT_EQ(mkdir((Dir + Name).c_str(), 0755), 0);
    for (const auto &[Name, Bytes] : Row.Files)
        WriteBytes(Dir + Name, Bytes.data(), Bytes.size());
    for (const std::string &Name : Row.Folders) {
        if (Name.rfind("ro", 0) == 0) {
            ASSERT_EQ(chmod((Dir + Name).c_str(), 0555), 0);
        }
    }
    int Held = -1;
    if (Row.Lock != nullptr) {
        Held = open((Dir + Row.Lock).c_str(), O_RDONLY);
        ASSERT_GE(Held, 0);
        ASSERT_EQ(flock(Held, LOCK_EX | LOCK_NB), 0);
    }

    std::string Script = std::string(Row.Shell) + " '" + TW_BIN_DIR + "/trackwarden-cli'";
    for (std::string Arg : Row.Args) {
        if (!Arg.empty() && Arg[0] == '@')
            Arg = Dir + Arg.substr(1);
        Script += " '" + Arg + "'";
    }
    std::string Out, Err;
    const int Status = RunShell(Script, Dir, Out, Err);
    if (Held >= 0)
        close(Held);
    if (Row.Shell == AsNobody && Status == 127) {
        GTEST_SKIP() << "setpriv cannot run here";
    }

    EXPECT_EQ(Status, Row.Status) << Err;
    EXPECT_NE(Err.find(Row.ErrContains), std::string::npos) << Err;
    for (const auto &[Name, Bytes] : Row.Files)
        EXPECT_EQ(ReadBytes(Dir + Name), Bytes) << Name << " changed";
    for (const std::string &Name : Row.Absent)
        EXPECT_NE(access((Dir + Name).c_str(), F_OK), 0) << Name << " was left behind";
    // Nothing else appears beside the files: no temporary left by a failed save.
    for (const std::string &Folder : std::vector<std::string>{"", "ro/"}) {
        if (access((Dir + Folder).c_str(), F_OK) != 0)
            continue;
        const std::string Listing = Dir + Folder;
        for (const auto &Entry : std::filesystem::directory_iterator(Listing)) {
            const std::string Name = Folder + Entry.path().filename().string();
            const bool Known = Row.Files.count(Name) > 0 || Name == "Sys" || Name == "out.txt" || Name == "err.txt" ||
                               std::find(Row.Folders.begin(), Row.Folders.end(), Name) != Row.Folders.end();
            EXPECT_TRUE(Known) << Name << " appeared";
        }
    }
    if (Row.DumpLines >= 0) {
        EXPECT_EQ(std::count(Out.begin(), Out.end(), '\n'), Row.DumpLines) << Out;
        EXPECT_EQ(Out.find('\r'), std::string::npos);
    }
    for (const std::string &Name : Row.Folders)
        chmod((Dir + Name).c_str(), 0755);
}

INSTANTIATE_TEST_SUITE_P(Faults, FileFaultTest, ::testing::ValuesIn(Rows()),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// The dump's escaping keeps each field on its line and says what the bytes were.
TEST(FileFaultTest, ControlCharactersInTextsAreEscaped)
{
    TSettings S{};
    const TFieldDesc &Id = *std::find_if(SettingsFields().begin(), SettingsFields().end(),
                                         [](const TFieldDesc &F) { return F.Name == "Users[1].Identifier"; });
    SetFieldText(S, Id, std::string("a\nb\r\x01\x7f\"", 7));
    EXPECT_EQ(FieldValueText(S, Id), "\"a\\x0Ab\\x0D\\x01\\x7F\\\"\"");
}

} // namespace
