#include "UFiles.h"
#include "UFiles_posix.h"
#include "test_files_support.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const TBytes OldSet = PatternBytes(13676, 11);
const TBytes NewSet = PatternBytes(13676, 12);

// Another process holds the file open and locked until released.
class TLockHolder {
public:
    explicit TLockHolder(const std::string &Path)
    {
        int Ready[2], Release[2];
        if (pipe(Ready) != 0 || pipe(Release) != 0)
            return;
        Child = fork();
        if (Child == 0) {
            close(Ready[0]);
            close(Release[1]);
            const int Fd = open(Path.c_str(), O_RDONLY);
            const char Ok = Fd >= 0 && flock(Fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
            (void)!write(Ready[1], &Ok, 1);
            char Byte;
            (void)!read(Release[0], &Byte, 1);
            _exit(0);
        }
        close(Ready[1]);
        close(Release[0]);
        ReleaseFd = Release[1];
        char Ok = 'n';
        Locked = read(Ready[0], &Ok, 1) == 1 && Ok == 'y';
        close(Ready[0]);
    }
    ~TLockHolder() { Release(); }
    void Release()
    {
        if (ReleaseFd >= 0) {
            close(ReleaseFd);
            ReleaseFd = -1;
        }
        if (Child > 0) {
            waitpid(Child, nullptr, 0);
            Child = -1;
        }
    }
    bool Locked = false;

private:
    pid_t Child = -1;
    int ReleaseFd = -1;
};

TEST(FilesLocking, FileLockedByAnotherHolderFailsEveryCall)
{
    TScratchDir Dir;
    const std::string Path = Dir / "held.set";
    PutFile(Path, OldSet);
    TLockHolder Holder(Path);
    ASSERT_TRUE(Holder.Locked);

    TBytes Buffer(13676, 0xA5);
    EXPECT_FALSE(ReadWholeFile(Path, Buffer.data(), 13676));
    EXPECT_EQ(Buffer, TBytes(13676, 0xA5));
    EXPECT_EQ(GetFileLength(Path), -1);
    EXPECT_FALSE(WriteWholeFile(Path, NewSet.data(), 13676));
    EXPECT_EQ(GetFile(Path), OldSet);
    EXPECT_TRUE(FileExistsByName(Path));
    EXPECT_EQ(Listing(Dir.Path), std::set<std::string>{"held.set"});

    Holder.Release();
    EXPECT_EQ(GetFileLength(Path), 13676);
    EXPECT_TRUE(WriteWholeFile(Path, NewSet.data(), 13676));
    EXPECT_TRUE(ReadWholeFile(Path, Buffer.data(), 13676));
    EXPECT_EQ(Buffer, NewSet);
}

// Scripted disk: is interrupted Interrupts times first, accepts Budget bytes
// in pieces of at most Piece, then fails with Error.
struct TDiskScript {
    size_t Budget;
    size_t Piece;
    int Error;
    int SyncError;
    int Interrupts = 0;
};
TDiskScript Script;
size_t Accepted;

ssize_t ScriptedWrite(int Fd, const void *Data, size_t Count)
{
    if (Script.Interrupts > 0) {
        --Script.Interrupts;
        errno = EINTR;
        return -1;
    }
    if (Accepted >= Script.Budget) {
        errno = Script.Error;
        return -1;
    }
    const size_t Take = std::min({Count, Script.Piece, Script.Budget - Accepted});
    const ssize_t Done = ::write(Fd, Data, Take);
    if (Done > 0)
        Accepted += static_cast<size_t>(Done);
    return Done;
}

int ScriptedSync(int Fd)
{
    if (Script.SyncError != 0) {
        errno = Script.SyncError;
        return -1;
    }
    return ::fsync(Fd);
}

struct TDiskRow {
    const char *Case;
    TDiskScript Disk;
    bool Written;
};

void PrintTo(const TDiskRow &Row, std::ostream *Out)
{
    *Out << Row.Case;
}

constexpr size_t Plenty = 1 << 20;

const TDiskRow DiskRows[] = {
    {"FullFromTheStart", {0, Plenty, ENOSPC, 0}, false},
    {"FullAfterOneByte", {1, Plenty, ENOSPC, 0}, false},
    {"FullAfterABlock", {4096, Plenty, ENOSPC, 0}, false},
    {"FullOneByteShort", {13675, Plenty, ENOSPC, 0}, false},
    {"QuotaInSmallPieces", {5000, 1000, EDQUOT, 0}, false},
    {"WriteReturnsZero", {100, Plenty, 0, 0}, false},
    {"FlushFails", {Plenty, Plenty, 0, EIO}, false},
    {"ShortWritesThatAllLand", {Plenty, 1000, 0, 0}, true},
    {"TinyPieces", {Plenty, 3, 0, 0}, true},
    {"InterruptedThenFine", {Plenty, Plenty, 0, 0, 3}, true},
    {"InterruptedThenFull", {6000, 4000, ENOSPC, 0, 2}, false},
};

class FilesFullDisk : public ::testing::TestWithParam<TDiskRow> {
protected:
    void SetUp() override
    {
        Script = GetParam().Disk;
        Accepted = 0;
        FilesBackend::WriteCall = ScriptedWrite;
        FilesBackend::SyncCall = ScriptedSync;
    }
    void TearDown() override
    {
        FilesBackend::WriteCall = ::write;
        FilesBackend::SyncCall = ::fsync;
    }
};

// However the disk gives out, the old file survives byte for byte and no
// temporary file stays behind.
TEST_P(FilesFullDisk, OldFileSurvivesAFailedSave)
{
    const TDiskRow &Row = GetParam();
    TScratchDir Dir;
    const std::string Path = Dir / "car.set";
    PutFile(Path, OldSet);

    EXPECT_EQ(WriteWholeFile(Path, NewSet.data(), 13676), Row.Written);
    EXPECT_EQ(GetFile(Path), Row.Written ? NewSet : OldSet);
    EXPECT_EQ(Listing(Dir.Path), std::set<std::string>{"car.set"});
}

INSTANTIATE_TEST_SUITE_P(Files, FilesFullDisk, ::testing::ValuesIn(DiskRows),
                         [](const auto &Info) { return std::string(Info.param.Case); });

// A saved name that is a link keeps being a link; one that leads to a device
// (here the always-full /dev/full) or nowhere is refused and left alone.
TEST(FilesLinks, SaveThroughALink)
{
    TScratchDir Dir;
    fs::create_directory(Dir / "Sets");
    fs::create_directory(Dir / "Store");
    PutFile(Dir / "Store/real.set", OldSet);
    fs::create_symlink(Dir / "Store/real.set", Dir / "Sets/linked.set");
    fs::create_symlink("/dev/full", Dir / "Sets/full.set");
    fs::create_symlink(Dir / "Store/nothing.set", Dir / "Sets/dangling.set");

    EXPECT_TRUE(WholeFileWritable(Dir / "Sets/linked.set"));
    EXPECT_FALSE(WholeFileWritable(Dir / "Sets/full.set"));
    EXPECT_FALSE(WholeFileWritable(Dir / "Sets/dangling.set"));
    EXPECT_TRUE(WriteWholeFile(Dir / "Sets/linked.set", NewSet.data(), 13676));
    EXPECT_TRUE(fs::is_symlink(Dir / "Sets/linked.set"));
    EXPECT_EQ(GetFile(Dir / "Store/real.set"), NewSet);

    EXPECT_FALSE(WriteWholeFile(Dir / "Sets/full.set", NewSet.data(), 13676));
    EXPECT_EQ(fs::read_symlink(Dir / "Sets/full.set"), "/dev/full");
    EXPECT_FALSE(WriteWholeFile(Dir / "Sets/dangling.set", NewSet.data(), 13676));
    EXPECT_TRUE(fs::is_symlink(Dir / "Sets/dangling.set"));

    EXPECT_EQ(Listing(Dir / "Sets"), (std::set<std::string>{"dangling.set", "full.set", "linked.set"}));
    EXPECT_EQ(Listing(Dir / "Store"), std::set<std::string>{"real.set"});

    TBytes Buffer(13676, 0xA5);
    EXPECT_TRUE(ReadWholeFile(Dir / "Sets/linked.set", Buffer.data(), 13676));
    EXPECT_EQ(Buffer, NewSet);
    EXPECT_EQ(GetFileLength(Dir / "Sets/full.set"), -1);
    EXPECT_TRUE(FileExistsByName(Dir / "Sets/dangling.set"));
}

TEST(FilesModes, ReplacedFileKeepsItsMode)
{
    TScratchDir Dir;
    const std::string Path = Dir / "car.set";
    PutFile(Path, OldSet);
    ASSERT_EQ(chmod(Path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteWholeFile(Path, NewSet.data(), 13676));
    struct stat St;
    ASSERT_EQ(stat(Path.c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 07777, 0640u);
}

// Runs Body in a child process as an ordinary user when the tests run as
// root, for whom permission bits mean nothing. Returns the child's exit code.
int AsOrdinaryUser(const std::function<int()> &Body)
{
    const pid_t Child = fork();
    if (Child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(100);
        _exit(Body());
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : 101;
}

TEST(FilesPermissions, ReadOnlyFolderAndFileRefuseSaving)
{
    TScratchDir Dir;
    ASSERT_EQ(chmod(Dir.Path.c_str(), 0755), 0);
    const std::string Locked = Dir / "Locked";
    const std::string Open = Dir / "Open";
    fs::create_directory(Locked);
    fs::create_directory(Open);
    PutFile(Locked + "/car.set", OldSet);
    PutFile(Open + "/frozen.set", OldSet);
    ASSERT_EQ(chmod((Locked + "/car.set").c_str(), 0666), 0);
    ASSERT_EQ(chmod((Open + "/frozen.set").c_str(), 0444), 0);
    ASSERT_EQ(chmod(Locked.c_str(), 0555), 0);
    ASSERT_EQ(chmod(Open.c_str(), 0777), 0);

    const int Result = AsOrdinaryUser([&] {
        int Faults = 0;
        if (WriteWholeFile(Locked + "/new.set", NewSet.data(), 13676))
            Faults |= 1;
        if (WriteWholeFile(Locked + "/car.set", NewSet.data(), 13676))
            Faults |= 2;
        if (WriteWholeFile(Open + "/frozen.set", NewSet.data(), 13676))
            Faults |= 4;
        if (WholeFileWritable(Locked + "/new.set") || WholeFileWritable(Locked + "/car.set") ||
            WholeFileWritable(Open + "/frozen.set") || !WholeFileWritable(Open + "/new.set"))
            Faults |= 16;
        TBytes Buffer(13676);
        if (!ReadWholeFile(Locked + "/car.set", Buffer.data(), 13676) || Buffer != OldSet)
            Faults |= 8;
        return Faults;
    });
    if (Result == 100)
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(Result, 0) << "bit 1 new file, 2 file in read-only folder, 4 read-only file, 8 read, 16 the check before";
    EXPECT_EQ(Listing(Locked), std::set<std::string>{"car.set"});
    EXPECT_EQ(Listing(Open), std::set<std::string>{"frozen.set"});
    EXPECT_EQ(GetFile(Locked + "/car.set"), OldSet);
    EXPECT_EQ(GetFile(Open + "/frozen.set"), OldSet);
}

size_t OpenDescriptors()
{
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Every path through the routines, good and bad, closes what it opened.
TEST(FilesDescriptors, NoneLeftOpen)
{
    TScratchDir Dir;
    PutFile(Dir / "a.set", OldSet);
    PutFile(Dir / "short.set", TBytes(5));
    fs::create_directory(Dir / "Folder");
    const std::string Held = Dir / "held.set";
    PutFile(Held, OldSet);
    TLockHolder Holder(Held);
    ASSERT_TRUE(Holder.Locked);

    const size_t Before = OpenDescriptors();
    TBytes Buffer(13676);
    for (const std::string &Name : {Dir / "a.set", Dir / "short.set", Dir / "Folder", Dir / "missing.set", Held,
                                   Dir / "nowhere/x.set"}) {
        ReadWholeFile(Name, Buffer.data(), 13676);
        GetFileLength(Name);
        FileExistsByName(Name);
        WriteWholeFile(Name, NewSet.data(), 13676);
    }
    FilesBackend::SyncCall = [](int) {
        errno = EIO;
        return -1;
    };
    WriteWholeFile(Dir / "a.set", NewSet.data(), 13676);
    FilesBackend::SyncCall = ::fsync;
    EXPECT_EQ(OpenDescriptors(), Before);
}

} // namespace
