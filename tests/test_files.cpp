#include "UDecls.h"
#include "UFiles.h"
#include "settings_support.h"
#include "test_files_support.h"

#include <cstring>

namespace {

constexpr uint8_t Untouched = 0xA5;

struct TReadRow {
    const char *Case;
    int FileSize; // -1: no file at all
    int32_t Count;
    bool Accepted;
};

void PrintTo(const TReadRow &Row, std::ostream *Out)
{
    *Out << Row.Case;
}

// Only the exact size is accepted, and a refused file leaves the buffer as it was.
const TReadRow ReadRows[] = {
    {"SettingsOneShort", 13675, 13676, false},
    {"SettingsExact", 13676, 13676, true},
    {"SettingsOneLong", 13677, 13676, false},
    {"PortEmpty", 0, 4, false},
    {"PortFiveBytes", 5, 4, false},
    {"PortExact", 4, 4, true},
    {"CountZeroEmptyFile", 0, 0, true},
    {"CountZeroOneByteFile", 1, 0, false},
    {"Missing", -1, 4, false},
    {"NegativeCount", 4, -1, false},
};

class ReadWholeFileBySize : public ::testing::TestWithParam<TReadRow> {};

TEST_P(ReadWholeFileBySize, AcceptsOnlyTheExactSize)
{
    const TReadRow &Row = GetParam();
    TScratchDir Dir;
    const std::string Path = Dir / "file.bin";
    const TBytes Content = PatternBytes(Row.FileSize < 0 ? 0 : static_cast<size_t>(Row.FileSize), 7);
    if (Row.FileSize >= 0)
        PutFile(Path, Content);

    TBytes Buffer(14000, Untouched);
    EXPECT_EQ(ReadWholeFile(Path, Buffer.data(), Row.Count), Row.Accepted);
    EXPECT_EQ(GetFileLength(Path), Row.FileSize);

    const size_t Filled = Row.Accepted ? static_cast<size_t>(Row.Count) : 0;
    EXPECT_TRUE(std::equal(Content.begin(), Content.begin() + static_cast<ptrdiff_t>(Filled), Buffer.begin()));
    EXPECT_TRUE(std::all_of(Buffer.begin() + static_cast<ptrdiff_t>(Filled), Buffer.end(),
                            [](uint8_t B) { return B == Untouched; }))
        << "bytes read beyond what was accepted";
    if (Row.FileSize >= 0) {
        EXPECT_EQ(GetFile(Path), Content) << "reading changed the file";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ReadWholeFileBySize, ::testing::ValuesIn(ReadRows),
                         [](const auto &Info) { return std::string(Info.param.Case); });

enum class TTargetState { Missing, OldFile, Folder, MissingFolder };

struct TWriteRow {
    const char *Case;
    TTargetState State;
    int32_t Count;
    bool NullBuffer;
    bool Written;
};

void PrintTo(const TWriteRow &Row, std::ostream *Out)
{
    *Out << Row.Case;
}

const TWriteRow WriteRows[] = {
    {"NewSettingsFile", TTargetState::Missing, 13676, false, true},
    {"ReplacesLongerFile", TTargetState::OldFile, 13676, false, true},
    {"CountZeroNewFile", TTargetState::Missing, 0, false, true},
    {"CountZeroTruncatesOld", TTargetState::OldFile, 0, true, true},
    {"PortFile", TTargetState::OldFile, 4, false, true},
    {"MissingFolder", TTargetState::MissingFolder, 13676, false, false},
    {"NameIsAFolder", TTargetState::Folder, 13676, false, false},
    {"NegativeCount", TTargetState::OldFile, -1, false, false},
    {"NoBuffer", TTargetState::OldFile, 13676, true, false},
};

class WriteWholeFileCases : public ::testing::TestWithParam<TWriteRow> {};

// True means exactly the new bytes are in place; false leaves everything as it
// was. Either way the folder holds nothing but the target afterwards.
TEST_P(WriteWholeFileCases, WholeNewFileOrNothingChanged)
{
    const TWriteRow &Row = GetParam();
    TScratchDir Dir;
    const std::string Folder = Row.State == TTargetState::MissingFolder ? Dir / "Sets" : Dir.Path.string();
    const std::string Path = Folder + "/target.set";
    const TBytes Old = PatternBytes(20000, 1);
    if (Row.State == TTargetState::OldFile)
        PutFile(Path, Old);
    if (Row.State == TTargetState::Folder)
        fs::create_directory(Path);
    const auto Before = Listing(Dir.Path);

    // The check a program makes before it has anything to save foretells the save.
    if (Row.Count >= 0 && !(Row.NullBuffer && Row.Count > 0)) {
        EXPECT_EQ(WholeFileWritable(Path), Row.Written);
    }
    const TBytes New = PatternBytes(Row.Count > 0 ? static_cast<size_t>(Row.Count) : 0, 2);
    EXPECT_EQ(WriteWholeFile(Path, Row.NullBuffer ? nullptr : New.data(), Row.Count), Row.Written);

    if (Row.Written) {
        EXPECT_EQ(GetFile(Path), New);
        EXPECT_EQ(Listing(Dir.Path), std::set<std::string>{"target.set"});
    } else {
        EXPECT_EQ(Listing(Dir.Path), Before) << "a failed write left something behind";
        if (Row.State == TTargetState::OldFile) {
            EXPECT_EQ(GetFile(Path), Old);
        }
        if (Row.State == TTargetState::Folder) {
            EXPECT_TRUE(fs::is_directory(Path) && fs::is_empty(Path));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, WriteWholeFileCases, ::testing::ValuesIn(WriteRows),
                         [](const auto &Info) { return std::string(Info.param.Case); });

// Random bytes everywhere: length bytes above capacity, string tails and gaps
// must all come back as they were.
TEST(FilesRoundTrip, SettingsRecordComesBackByteForByte)
{
    TScratchDir Dir;
    std::mt19937 Rng(2026);
    for (int Round = 0; Round < 20; ++Round) {
        TSettings Written;
        FillRandomBytes(Written, Rng);
        if (Round == 0) {
            // A short value over a longer one leaves a tail that the file keeps.
            std::memset(&Written, 0, sizeof Written);
            Written.Users[2].Description.Assign("A long description of the second user");
            Written.Users[2].Description.Assign("Short");
        }
        const std::string Path = Dir / ("set" + std::to_string(Round));
        ASSERT_TRUE(WriteWholeFile(Path, &Written, sizeof Written));
        ASSERT_EQ(GetFileLength(Path), 13676);

        TSettings Read;
        std::memset(&Read, 0x5A, sizeof Read);
        ASSERT_TRUE(ReadWholeFile(Path, &Read, sizeof Read));
        EXPECT_EQ(std::memcmp(&Read, &Written, sizeof Read), 0) << "round " << Round;
    }
}

struct TLengthRow {
    const char *Case;
    size_t PathLength;
    bool Usable;
};

void PrintTo(const TLengthRow &Row, std::ostream *Out)
{
    *Out << Row.Case;
}

const TLengthRow LengthRows[] = {
    {"Exactly255", 255, true},
    {"Is256", 256, false},
    {"Is300", 300, false},
};

class FilesPathLength : public ::testing::TestWithParam<TLengthRow> {};

// A real file behind a path of the given length: over 255 characters every
// routine treats it as missing and a write leaves it alone.
TEST_P(FilesPathLength, LongPathsActLikeMissingFiles)
{
    const TLengthRow &Row = GetParam();
    TScratchDir Dir;
    std::string Path = Dir.Path.string() + "/";
    const size_t Room = Row.PathLength - Path.size();
    ASSERT_GT(Room, 4u);
    // Folders of up to 200 characters keep each name within the system's limit.
    while (Path.size() + 201 < Row.PathLength) {
        Path += std::string(200, 'd');
        fs::create_directory(Path);
        Path += "/";
    }
    Path += std::string(Row.PathLength - Path.size(), 'f');
    ASSERT_EQ(Path.size(), Row.PathLength);
    const TBytes Old = PatternBytes(4, 3);
    PutFile(Path, Old);

    int32_t Port = -7;
    EXPECT_EQ(ReadWholeFile(Path, &Port, 4), Row.Usable);
    EXPECT_EQ(GetFileLength(Path), Row.Usable ? 4 : -1);
    EXPECT_EQ(FileExistsByName(Path), Row.Usable);
    const int32_t New = 5;
    EXPECT_EQ(WriteWholeFile(Path, &New, 4), Row.Usable);
    EXPECT_EQ(GetFile(Path), (Row.Usable ? TBytes{5, 0, 0, 0} : Old));
}

INSTANTIATE_TEST_SUITE_P(Files, FilesPathLength, ::testing::ValuesIn(LengthRows),
                         [](const auto &Info) { return std::string(Info.param.Case); });

// A zero byte inside a name must not reach the system call as a shorter name.
TEST(FilesNames, ZeroByteInNameIsRefused)
{
    TScratchDir Dir;
    const std::string Path = Dir / "port.bin";
    PutFile(Path, {1, 0, 0, 0});
    const std::string Tricky = Path + std::string(1, '\0') + "x";
    int32_t Port = -7;
    EXPECT_FALSE(ReadWholeFile(Tricky, &Port, 4));
    EXPECT_EQ(Port, -7);
    EXPECT_EQ(GetFileLength(Tricky), -1);
    EXPECT_FALSE(FileExistsByName(Tricky));
    EXPECT_FALSE(WriteWholeFile(Tricky, &Port, 4));
    EXPECT_EQ(GetFile(Path), (TBytes{1, 0, 0, 0}));
    EXPECT_FALSE(FileExistsByName(""));
    EXPECT_EQ(GetFileLength(""), -1);
}

TEST(FilesNames, FileExistsByNameSeesFilesNotFolders)
{
    TScratchDir Dir;
    PutFile(Dir / "empty.set", {});
    fs::create_directory(Dir / "Folder.set");
    struct {
        std::string Name;
        bool Exists;
    } const Rows[] = {
        {Dir / "empty.set", true},
        {Dir / "Folder.set", false},
        {Dir / "Folder.set/", false},
        {Dir / "missing.set", false},
        {Dir / "missing/empty.set", false},
    };
    for (const auto &Row : Rows)
        EXPECT_EQ(FileExistsByName(Row.Name), Row.Exists) << Row.Name;
}

TEST(FilesPaths, ComposedUnderProgramDir)
{
    const TFolderPath Saved = ProgramDir;
    const std::string Sep(1, PathSeparator);
    ProgramDir.Assign("/opt/tw" + Sep);
    EXPECT_EQ(SettingsFilePath("a.set"), "/opt/tw" + Sep + "Sets" + Sep + "a.set");
    EXPECT_EQ(PortFilePath(), "/opt/tw" + Sep + "Sys" + Sep + "Port.bin");
    EXPECT_EQ(SettingsFolder(), "/opt/tw" + Sep + "Sets");
    ProgramDir = Saved;

    struct {
        const char *Chosen;
        const char *Bare;
    } const Rows[] = {
        {"/home/op/Sets/car.set", "car.set"}, {"C:\\Sets\\car.set", "car.set"}, {"a/b\\c", "c"},
        {"a\\b/c", "c"},                      {"plain", "plain"},                {"folder/", ""},
    };
    for (const auto &Row : Rows)
        EXPECT_EQ(BareFileName(Row.Chosen), Row.Bare) << Row.Chosen;
}

// The tests land in bin/ beside the programs, so this is where the build put them.
TEST(FilesPaths, ExecutableDirIsTheBinFolder)
{
    const std::string Dir = ExecutableDir();
    ASSERT_FALSE(Dir.empty());
    EXPECT_EQ(Dir.back(), PathSeparator);
    EXPECT_TRUE(fs::exists(Dir + "test_files") || fs::exists(Dir + "test_files.exe")) << Dir;
    EXPECT_TRUE(fs::is_directory(Dir + "Sets") && fs::is_directory(Dir + "Sys"));
}

} // namespace
