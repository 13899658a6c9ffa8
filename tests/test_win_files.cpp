// The Win32 file backend: exclusive opens, the read-only attribute, paths
// with backslashes, device and wildcard names, and the safe save.
#include "UFiles.h"
#include "test_files_support.h"

#include <windows.h>

namespace {

const TBytes OldSet = PatternBytes(13676, 21);
const TBytes NewSet = PatternBytes(13676, 22);

// Everything in the folder but the named files: a save must leave no temporary behind.
std::set<std::string> Leftovers(const fs::path &Folder, const std::set<std::string> &Expected)
{
    std::set<std::string> Found;
    for (const auto &Entry : fs::directory_iterator(Folder))
        if (!Expected.count(Entry.path().filename().string()))
            Found.insert(Entry.path().filename().string());
    return Found;
}

// Another handle holds the file without sharing, as another program would.
class THeldFile {
public:
    THeldFile(const std::string &Path, DWORD Access, DWORD Share)
        : File(CreateFileA(Path.c_str(), Access, Share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~THeldFile()
    {
        if (File != INVALID_HANDLE_VALUE)
            CloseHandle(File);
    }
    THeldFile(const THeldFile &) = delete;
    THeldFile &operator=(const THeldFile &) = delete;
    bool Held() const { return File != INVALID_HANDLE_VALUE; }

private:
    HANDLE File;
};

struct THoldRow {
    const char *Case;
    DWORD Access;
    DWORD Share;
};

// Whatever the other holder allows, our opens share nothing and so must fail.
const THoldRow HoldRows[] = {
    {"ReaderSharingNothing", GENERIC_READ, 0},
    {"WriterSharingNothing", GENERIC_WRITE, 0},
    {"ReaderSharingRead", GENERIC_READ, FILE_SHARE_READ},
    {"ReaderSharingEverything", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
};

class FilesHeldByAnother : public ::testing::TestWithParam<THoldRow> {};

TEST_P(FilesHeldByAnother, EveryRoutineButTheSearchFailsAndTheFileSurvives)
{
    TScratchDir Dir;
    const std::string Path = Dir / "held.set";
    PutFile(Path, OldSet);
    TBytes Buffer(OldSet.size(), 0);
    {
        THeldFile Holder(Path, GetParam().Access, GetParam().Share);
        ASSERT_TRUE(Holder.Held());
        EXPECT_FALSE(ReadWholeFile(Path, Buffer.data(), 13676));
        EXPECT_EQ(GetFileLength(Path), -1);
        EXPECT_FALSE(WriteWholeFile(Path, NewSet.data(), 13676));
        EXPECT_TRUE(FileExistsByName(Path)) << "the directory search needs no open";
    }
    EXPECT_EQ(GetFile(Path), OldSet) << "a refused save changed the file";
    EXPECT_TRUE(Leftovers(Dir.Path, {"held.set"}).empty());

    // Once the other handle is gone the same calls succeed.
    EXPECT_TRUE(ReadWholeFile(Path, Buffer.data(), 13676));
    EXPECT_EQ(Buffer, OldSet);
    EXPECT_TRUE(WriteWholeFile(Path, NewSet.data(), 13676));
    EXPECT_EQ(GetFile(Path), NewSet);
}

INSTANTIATE_TEST_SUITE_P(Win32, FilesHeldByAnother, ::testing::ValuesIn(HoldRows),
                         [](const auto &Info) { return std::string(Info.param.Case); });

TEST(Win32Files, ReadOnlyFileIsReadButNeverReplaced)
{
    TScratchDir Dir;
    const std::string Path = Dir / "locked.set";
    PutFile(Path, OldSet);
    ASSERT_TRUE(SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_READONLY));

    TBytes Buffer(OldSet.size(), 0);
    EXPECT_TRUE(ReadWholeFile(Path, Buffer.data(), 13676));
    EXPECT_EQ(Buffer, OldSet);
    EXPECT_EQ(GetFileLength(Path), 13676);
    EXPECT_FALSE(WriteWholeFile(Path, NewSet.data(), 13676));
    EXPECT_EQ(GetFile(Path), OldSet);
    EXPECT_TRUE(Leftovers(Dir.Path, {"locked.set"}).empty());
    EXPECT_NE(GetFileAttributesA(Path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A save replaces the old file whole, whatever its size was, and leaves no temporary file.
TEST(Win32Files, SaveReplacesOldFileOfAnySize)
{
    TScratchDir Dir;
    const std::string Path = Dir / "car.set";
    for (const size_t OldSize : {size_t{0}, size_t{4}, size_t{13676}, size_t{20000}}) {
        PutFile(Path, PatternBytes(OldSize, 3));
        EXPECT_TRUE(WriteWholeFile(Path, NewSet.data(), 13676)) << OldSize;
        EXPECT_EQ(GetFile(Path), NewSet) << OldSize;
        EXPECT_TRUE(Leftovers(Dir.Path, {"car.set"}).empty()) << OldSize;
    }
    EXPECT_TRUE(WriteWholeFile(Path, nullptr, 0));
    EXPECT_EQ(GetFileLength(Path), 0);
}

TEST(Win32Files, BackslashAndSlashPathsNameTheSameFile)
{
    TScratchDir Dir;
    fs::create_directory(Dir.Path / "Sets");
    std::string Back = Dir.Path.string() + "\\Sets\\a.set";
    std::string Slash = Back;
    for (char &C : Slash)
        if (C == '\\')
            C = '/';

    ASSERT_TRUE(WriteWholeFile(Back, OldSet.data(), 13676));
    TBytes Buffer(OldSet.size(), 0);
    EXPECT_TRUE(ReadWholeFile(Slash, Buffer.data(), 13676));
    EXPECT_EQ(Buffer, OldSet);
    EXPECT_TRUE(FileExistsByName(Slash));
    EXPECT_EQ(GetFileLength(Back), 13676);
    EXPECT_TRUE(Leftovers(Dir.Path / "Sets", {"a.set"}).empty());

    struct {
        std::string Name;
        bool Exists;
    } const Rows[] = {
        {Dir.Path.string() + "\\Sets", false},
        {Dir.Path.string() + "\\Sets\\", false},
        {Dir.Path.string() + "\\Sets\\A.SET", true}, // names are case-blind here
        {Dir.Path.string() + "\\Sets\\b.set", false},
        {Dir.Path.string() + "\\Missing\\a.set", false},
    };
    for (const auto &Row : Rows)
        EXPECT_EQ(FileExistsByName(Row.Name), Row.Exists) << Row.Name;
}

TEST(Win32Files, MissingFolderLeavesNoFileAnywhere)
{
    TScratchDir Dir;
    EXPECT_FALSE(WriteWholeFile(Dir.Path.string() + "\\Sets\\a.set", OldSet.data(), 13676));
    EXPECT_TRUE(Leftovers(Dir.Path, {}).empty());
    EXPECT_FALSE(WriteWholeFile(Dir.Path.string() + "\\", OldSet.data(), 4)) << "a folder is no file";
}

// Devices answer to these names in every folder; none may be opened as a
// settings file, and a wildcard must not find some other file.
TEST(Win32Files, DeviceAndWildcardNamesAreNoFiles)
{
    TScratchDir Dir;
    fs::create_directory(Dir.Path / "Sets");
    PutFile(Dir / "Sets\\real.set", OldSet);
    const std::string Sets = Dir.Path.string() + "\\Sets\\";
    const std::string Names[] = {"NUL", "nul.set", "CON", "Aux.txt", "COM1", "com9.set", "LPT1", "prn ",
                                 "*",   "*.set",   "r?al.set"};
    TBytes Buffer(13676, 0);
    for (const std::string &Name : Names) {
        EXPECT_FALSE(FileExistsByName(Sets + Name)) << Name;
        EXPECT_EQ(GetFileLength(Sets + Name), -1) << Name;
        EXPECT_FALSE(ReadWholeFile(Sets + Name, Buffer.data(), 0)) << Name;
        EXPECT_FALSE(WriteWholeFile(Sets + Name, OldSet.data(), 4)) << Name;
    }
    EXPECT_TRUE(Leftovers(Dir.Path / "Sets", {"real.set"}).empty());
    EXPECT_EQ(GetFile(Dir / "Sets\\real.set"), OldSet);

    // Names that only begin like a device are ordinary files.
    for (const char *Name : {"CONFIG.set", "COM10.set", "nulls", "COM0"}) {
        EXPECT_TRUE(WriteWholeFile(Sets + Name, OldSet.data(), 4)) << Name;
        EXPECT_EQ(GetFileLength(Sets + Name), 4) << Name;
    }
}

// A file 4 GiB and 4 bytes long reports 4 as its length (the low 32 bits),
// but is no port file.
TEST(Win32Files, SizeAboveFourGigabytesIsNoMatch)
{
    TScratchDir Dir;
    const std::string Path = Dir / "huge.bin";
    const HANDLE File = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    DWORD Returned = 0;
    DeviceIoControl(File, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &Returned, nullptr);
    LARGE_INTEGER End;
    End.QuadPart = (int64_t{1} << 32) + 4;
    const bool Sized = SetFilePointerEx(File, End, nullptr, FILE_BEGIN) && SetEndOfFile(File);
    CloseHandle(File);
    if (!Sized)
        GTEST_SKIP() << "no room for a sparse 4 GiB file here";

    EXPECT_EQ(GetFileLength(Path), 4);
    int32_t Port = 77;
    EXPECT_FALSE(ReadWholeFile(Path, &Port, 4));
    EXPECT_EQ(Port, 77);
}

TEST(Win32Files, ProgramFolderEndsWithBackslashAndHoldsTheBuildFolders)
{
    const std::string Dir = ExecutableDir();
    ASSERT_FALSE(Dir.empty());
    EXPECT_EQ(PathSeparator, '\\');
    EXPECT_EQ(Dir.back(), '\\');
    EXPECT_EQ(Dir.find('/'), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(Dir + "test_win_files.exe"));
    EXPECT_TRUE(fs::is_directory(Dir + "Sets") && fs::is_directory(Dir + "Sys"));
}

} // namespace
