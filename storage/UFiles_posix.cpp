#include "UFiles.h"
#include "UFilesBackend.h"
#include "UFiles_posix.h"

#include "Cp1250.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const char PathSeparator = '/';

namespace FilesBackend {

TWriteCall WriteCall = ::write;
TSyncCall SyncCall = ::fsync;

namespace {

std::atomic<unsigned> TempCounter{0};

// Opens an existing regular file and takes the exclusive lock for the call.
// Anything else (a folder, a device, a pipe) is refused before it is opened,
// so that opening it cannot block or have side effects.
int OpenLocked(const std::string &Path, int Flags, struct stat &St)
{
    if (stat(Path.c_str(), &St) != 0 || !S_ISREG(St.st_mode))
        return -1;
    const int Fd = open(Path.c_str(), Flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0)
        return -1;
    if (fstat(Fd, &St) != 0 || !S_ISREG(St.st_mode) || flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        close(Fd);
        return -1;
    }
    return Fd;
}

bool ReadAll(int Fd, uint8_t *Data, size_t Count)
{
    while (Count > 0) {
        const ssize_t Done = read(Fd, Data, Count);
        if (Done < 0 && errno == EINTR)
            continue;
        if (Done <= 0)
            return false;
        Data += Done;
        Count -= static_cast<size_t>(Done);
    }
    return true;
}

bool WriteAll(int Fd, const uint8_t *Data, size_t Count)
{
    while (Count > 0) {
        const ssize_t Done = WriteCall(Fd, Data, Count);
        if (Done < 0 && errno == EINTR)
            continue;
        if (Done <= 0)
            return false;
        Data += Done;
        Count -= static_cast<size_t>(Done);
    }
    return true;
}

std::string FolderOf(const std::string &Path)
{
    const size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

// The file that a save replaces: the name itself, or the file its link
// points to, so that the link survives. Empty when the name cannot be saved to.
std::string ReplacedFile(const std::string &Name, bool &Exists)
{
    Exists = false;
    struct stat St;
    if (lstat(Name.c_str(), &St) != 0)
        return errno == ENOENT ? Name : std::string();
    Exists = true;
    if (!S_ISLNK(St.st_mode))
        return Name;
    char *Real = realpath(Name.c_str(), nullptr);
    if (Real == nullptr)
        return {};
    std::string Target(Real);
    std::free(Real);
    return Target;
}

// Past the file-size limit (ulimit -f) SIGXFSZ would kill the process in
// the middle of a save and leave its temporary file behind. Ignored, the
// write fails with EFBIG and the failed save cleans up. A handler of the
// program's own stays.
void KeepFileSizeLimitFromKilling()
{
    struct sigaction Old;
    if (sigaction(SIGXFSZ, nullptr, &Old) == 0 && (Old.sa_flags & SA_SIGINFO) == 0 && Old.sa_handler == SIG_DFL)
        signal(SIGXFSZ, SIG_IGN);
}

// No write permission for anyone: what Windows calls a read-only file,
// refused to root as well, who could write it anyway.
bool WriteProtected(const struct stat &St)
{
    return (St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

void SyncFolder(const std::string &Folder)
{
    const int Fd = open(Folder.empty() ? "." : Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd >= 0) {
        fsync(Fd);
        close(Fd);
    }
}

} // namespace

size_t NameLength(std::string_view Name)
{
    return Utf8Length(Name);
}

bool ReadWholeFile(const std::string &Name, void *Buffer, int32_t Count)
{
    struct stat St;
    const int Fd = OpenLocked(Name, O_RDONLY, St);
    if (Fd < 0)
        return false;
    // The full size, not its low 32 bits: a file 4 GiB longer is no match.
    bool Ok = St.st_size == static_cast<off_t>(Count);
    if (Ok && Count > 0)
        Ok = ReadAll(Fd, static_cast<uint8_t *>(Buffer), static_cast<size_t>(Count));
    close(Fd);
    return Ok;
}

// The new contents go to a temporary file beside the old one, which is
// replaced by a rename only once every byte is on the disk: a full disk or
// a crash leaves the old file whole. The old file stays open and locked
// meanwhile, which refuses the save while another holder has it and checks
// that it may be written at all.
bool WriteWholeFile(const std::string &Name, const void *Buffer, int32_t Count)
{
    bool Exists = false;
    const std::string Target = ReplacedFile(Name, Exists);
    if (Target.empty())
        return false;

    struct stat Old;
    int LockFd = -1;
    if (Exists) {
        LockFd = OpenLocked(Target, O_WRONLY, Old);
        if (LockFd < 0)
            return false;
        if (WriteProtected(Old)) {
            close(LockFd);
            return false;
        }
    }
    KeepFileSizeLimitFromKilling();

    const std::string Folder = FolderOf(Target);
    std::string Temp;
    int Fd = -1;
    for (int Attempt = 0; Attempt < 100 && Fd < 0; ++Attempt) {
        Temp = Folder + ".~tw" + std::to_string(getpid()) + "-" + std::to_string(++TempCounter) + ".tmp";
        Fd = open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (Fd < 0 && errno != EEXIST)
            break;
    }
    if (Fd < 0) {
        if (LockFd >= 0)
            close(LockFd);
        return false;
    }

    if (Exists) {
        // Failing these only leaves the new file with default owner and mode.
        (void)fchmod(Fd, Old.st_mode & 07777);
        struct stat New;
        if (fstat(Fd, &New) == 0 && (New.st_uid != Old.st_uid || New.st_gid != Old.st_gid) &&
            fchown(Fd, Old.st_uid, Old.st_gid) != 0) {
        }
    }

    bool Ok = WriteAll(Fd, static_cast<const uint8_t *>(Buffer), static_cast<size_t>(Count));
    Ok = Ok && SyncCall(Fd) == 0;
    Ok = (close(Fd) == 0) && Ok;
    Ok = Ok && rename(Temp.c_str(), Target.c_str()) == 0;
    if (Ok)
        SyncFolder(Folder);
    else
        unlink(Temp.c_str());
    if (LockFd >= 0)
        close(LockFd);
    return Ok;
}

bool Writable(const std::string &Name)
{
    bool Exists = false;
    const std::string Target = ReplacedFile(Name, Exists);
    if (Target.empty())
        return false;
    if (Exists) {
        struct stat Old;
        const int Fd = OpenLocked(Target, O_WRONLY, Old);
        if (Fd < 0)
            return false;
        close(Fd);
        if (WriteProtected(Old))
            return false;
    }
    const std::string Folder = FolderOf(Target);
    return faccessat(AT_FDCWD, Folder.empty() ? "." : Folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

int64_t FileLength(const std::string &Name)
{
    struct stat St;
    const int Fd = OpenLocked(Name, O_RDONLY, St);
    if (Fd < 0)
        return -1;
    close(Fd);
    return static_cast<int64_t>(St.st_size);
}

bool FileExists(const std::string &Name)
{
    struct stat St;
    if (lstat(Name.c_str(), &St) != 0)
        return false;
    // A link counts as the entry it is, unless it leads to a folder.
    if (S_ISLNK(St.st_mode)) {
        struct stat To;
        return stat(Name.c_str(), &To) != 0 || !S_ISDIR(To.st_mode);
    }
    return !S_ISDIR(St.st_mode);
}

std::string ExecutableDir()
{
    std::string Path(256, '\0');
    for (;;) {
        const ssize_t Size = readlink("/proc/self/exe", Path.data(), Path.size());
        if (Size < 0)
            return {};
        if (static_cast<size_t>(Size) < Path.size()) {
            Path.resize(static_cast<size_t>(Size));
            break;
        }
        Path.resize(Path.size() * 2);
    }
    return FolderOf(Path);
}

} // namespace FilesBackend
