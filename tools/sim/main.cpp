// trackwarden-sim: a simulated device behind a pseudo-terminal.
#include "SimDevice.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

volatile sig_atomic_t StopRequested = 0;

void OnSignal(int)
{
    StopRequested = 1;
}

void Usage()
{
    std::fprintf(stderr,
                 "usage: trackwarden-sim --link PATH [options]\n"
                 "  --version A.B.C          version the device reports (1.2.3)\n"
                 "  --memory FILE            load the 8192-byte memory from FILE\n"
                 "  --save FILE              save the memory to FILE on exit\n"
                 "  --delay MS               reply delay (2)\n"
                 "  --log FILE               log requests and replies\n"
                 "faults:\n"
                 "  --silent                 never answer\n"
                 "  --version-length L       version replies of L bytes\n"
                 "  --version-faults K       ... only the first K of them\n"
                 "  --bad-checksum-every K   every K-th reply has a wrong checksum\n"
                 "  --wrong-echo             memory replies echo another command\n"
                 "  --short-write-reply      write replies are the single byte 03\n"
                 "  --corrupt-byte ADDR      that memory byte reads back inverted\n"
                 "  --ignore N               ignore the first N requests\n"
                 "  --flood MS               answer the first request by MS ms of bytes without a pause\n"
                 "  --hang-up-after N        hang up after N requests\n");
}

// Only a regular file of exactly Count bytes: opening a FIFO for reading
// would wait for a writer, and a file of another size is no memory image.
std::string ReadMemoryFile(const std::string &Name, uint8_t *Data, size_t Count)
{
    const int Fd = open(Name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0)
        return std::strerror(errno);
    struct stat St;
    std::string Problem;
    if (fstat(Fd, &St) != 0)
        Problem = std::strerror(errno);
    else if (!S_ISREG(St.st_mode))
        Problem = "not a regular file";
    else if (St.st_size != static_cast<off_t>(Count))
        Problem = std::to_string(St.st_size) + " bytes, not " + std::to_string(Count);
    size_t Done = 0;
    while (Problem.empty() && Done < Count) {
        const ssize_t N = read(Fd, Data + Done, Count - Done);
        if (N > 0)
            Done += static_cast<size_t>(N);
        else if (N < 0 && errno == EINTR)
            continue;
        else
            Problem = N < 0 ? std::strerror(errno) : "shorter than its size";
    }
    close(Fd);
    return Problem;
}

bool SaveFile(const std::string &Name, const uint8_t *Data, size_t Count)
{
    const std::string Temporary = Name + ".tmp";
    FILE *File = std::fopen(Temporary.c_str(), "wb");
    if (File == nullptr)
        return false;
    const bool Written = std::fwrite(Data, 1, Count, File) == Count;
    const bool Ok = std::fclose(File) == 0 && Written && std::rename(Temporary.c_str(), Name.c_str()) == 0;
    if (!Ok)
        unlink(Temporary.c_str());
    return Ok;
}

// The link is the simulator's only while it holds PATH.lock beside it, so a
// second simulator cannot take it over and the first cannot remove the
// second's. The lock file is removed by its holder, after checking that the
// file locked is still the one of that name.
int LockLink(const std::string &LinkPath)
{
    const std::string LockPath = LinkPath + ".lock";
    for (int Attempt = 0; Attempt < 10; ++Attempt) {
        const int Fd = open(LockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (Fd < 0)
            return -1;
        if (flock(Fd, LOCK_EX | LOCK_NB) != 0) {
            close(Fd);
            errno = EBUSY;
            return -1;
        }
        struct stat Held, Named;
        if (fstat(Fd, &Held) == 0 && stat(LockPath.c_str(), &Named) == 0 && Held.st_dev == Named.st_dev &&
            Held.st_ino == Named.st_ino)
            return Fd;
        close(Fd);
    }
    errno = EBUSY;
    return -1;
}

void UnlockLink(const std::string &LinkPath, int LockFd)
{
    unlink((LinkPath + ".lock").c_str());
    close(LockFd);
}

// Only a link may be replaced: a regular file, a folder or a device at PATH
// is someone's data, a typo away.
std::string LinkPlaceProblem(const std::string &LinkPath)
{
    struct stat St;
    if (lstat(LinkPath.c_str(), &St) != 0)
        return errno == ENOENT ? std::string() : std::strerror(errno);
    if (S_ISLNK(St.st_mode))
        return {};
    return S_ISDIR(St.st_mode) ? "a folder is there" : S_ISREG(St.st_mode) ? "a regular file is there" : "something other than a link is there";
}

bool LinkPointsAt(const std::string &LinkPath, const std::string &Target)
{
    char Buffer[4096];
    const ssize_t N = readlink(LinkPath.c_str(), Buffer, sizeof Buffer);
    return N > 0 && std::string(Buffer, static_cast<size_t>(N)) == Target;
}

void WriteAll(int Fd, const uint8_t *Data, size_t Count)
{
    size_t Done = 0;
    while (Done < Count && !StopRequested) {
        const ssize_t N = write(Fd, Data + Done, Count - Done);
        if (N > 0) {
            Done += static_cast<size_t>(N);
        } else if (N < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd Out{Fd, POLLOUT, 0};
            poll(&Out, 1, 10);
        } else {
            return;
        }
    }
}

void Flood(int Fd, int32_t Ms)
{
    std::mt19937 Random(7);
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    uint8_t Chunk[64];
    while (std::chrono::steady_clock::now() < End && !StopRequested) {
        for (uint8_t &Byte : Chunk)
            Byte = static_cast<uint8_t>(Random());
        WriteAll(Fd, Chunk, sizeof Chunk);
    }
}

bool ParseInt(const char *Text, int32_t &Value)
{
    char *End = nullptr;
    errno = 0;
    const long N = std::strtol(Text, &End, 0);
    if (errno != 0 || End == Text || *End != '\0' || N < -1 || N > 1000000)
        return false;
    Value = static_cast<int32_t>(N);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    TSimOptions Options;
    std::string LinkPath, MemoryPath, SavePath, LogPath;
    for (int I = 1; I < argc; ++I) {
        const std::string Arg = argv[I];
        const bool HasValue = I + 1 < argc;
        int32_t Value = 0;
        auto TakeInt = [&](int32_t &Target) {
            if (!HasValue || !ParseInt(argv[I + 1], Value))
                return false;
            Target = Value;
            ++I;
            return true;
        };
        bool Ok = true;
        if (Arg == "--link" && HasValue)
            LinkPath = argv[++I];
        else if (Arg == "--memory" && HasValue)
            MemoryPath = argv[++I];
        else if (Arg == "--save" && HasValue)
            SavePath = argv[++I];
        else if (Arg == "--log" && HasValue)
            LogPath = argv[++I];
        else if (Arg == "--version" && HasValue) {
            unsigned A, B, C;
            char Tail;
            Ok = std::sscanf(argv[++I], "%u.%u.%u%c", &A, &B, &C, &Tail) == 3 && A < 256 && B < 256 && C < 256;
            Options.Version[0] = static_cast<uint8_t>(A);
            Options.Version[1] = static_cast<uint8_t>(B);
            Options.Version[2] = static_cast<uint8_t>(C);
        } else if (Arg == "--delay")
            Ok = TakeInt(Options.ReplyDelayMs);
        else if (Arg == "--silent")
            Options.Silent = true;
        else if (Arg == "--version-length")
            Ok = TakeInt(Options.VersionLength) && Options.VersionLength <= 200;
        else if (Arg == "--version-faults")
            Ok = TakeInt(Options.VersionFaults);
        else if (Arg == "--bad-checksum-every")
            Ok = TakeInt(Options.BadChecksumEvery);
        else if (Arg == "--wrong-echo")
            Options.WrongEcho = true;
        else if (Arg == "--short-write-reply")
            Options.ShortWriteReply = true;
        else if (Arg == "--corrupt-byte")
            Ok = TakeInt(Options.CorruptAddress);
        else if (Arg == "--ignore")
            Ok = TakeInt(Options.IgnoreFirst);
        else if (Arg == "--flood")
            Ok = TakeInt(Options.FloodMs);
        else if (Arg == "--hang-up-after")
            Ok = TakeInt(Options.HangUpAfter);
        else
            Ok = false;
        if (!Ok || Options.ReplyDelayMs < 0) {
            std::fprintf(stderr, "trackwarden-sim: bad option %s\n", Arg.c_str());
            Usage();
            return 2;
        }
    }
    if (LinkPath.empty()) {
        Usage();
        return 2;
    }

    TSimDevice Device(Options);
    if (!MemoryPath.empty()) {
        const std::string Problem = ReadMemoryFile(MemoryPath, Device.Memory, sizeof Device.Memory);
        if (!Problem.empty()) {
            std::fprintf(stderr, "trackwarden-sim: --memory %s: %s (a regular file of %zu bytes is needed)\n",
                         MemoryPath.c_str(), Problem.c_str(), sizeof Device.Memory);
            return 2;
        }
    }
    // A save past the file-size limit fails and cleans up rather than killing us.
    signal(SIGXFSZ, SIG_IGN);
    const int LockFd = LockLink(LinkPath);
    if (LockFd < 0) {
        if (errno == EBUSY)
            std::fprintf(stderr, "trackwarden-sim: %s is owned by another running simulator\n", LinkPath.c_str());
        else
            std::fprintf(stderr, "trackwarden-sim: cannot lock %s.lock: %s\n", LinkPath.c_str(), std::strerror(errno));
        return 2;
    }
    if (const std::string Problem = LinkPlaceProblem(LinkPath); !Problem.empty()) {
        std::fprintf(stderr, "trackwarden-sim: --link %s: %s; only a symbolic link is replaced\n", LinkPath.c_str(),
                     Problem.c_str());
        UnlockLink(LinkPath, LockFd);
        return 2;
    }
    FILE *Log = nullptr;
    if (!LogPath.empty() && (Log = std::fopen(LogPath.c_str(), "w")) == nullptr) {
        std::fprintf(stderr, "trackwarden-sim: cannot write %s: %s\n", LogPath.c_str(), std::strerror(errno));
        UnlockLink(LinkPath, LockFd);
        return 2;
    }

    const int Master = posix_openpt(O_RDWR | O_NOCTTY);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) {
        std::fprintf(stderr, "trackwarden-sim: posix_openpt() failed: %s\n", std::strerror(errno));
        UnlockLink(LinkPath, LockFd);
        return 1;
    }
    const std::string SlaveName = ptsname(Master);
    // Our own hold on the slave keeps the master readable while the tool has it closed.
    const int Slave = open(SlaveName.c_str(), O_RDWR | O_NOCTTY);
    if (Slave < 0) {
        std::fprintf(stderr, "trackwarden-sim: open(%s) failed: %s\n", SlaveName.c_str(), std::strerror(errno));
        UnlockLink(LinkPath, LockFd);
        return 1;
    }
    termios Tio;
    if (tcgetattr(Slave, &Tio) == 0) {
        cfmakeraw(&Tio);
        tcsetattr(Slave, TCSANOW, &Tio);
    }
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);

    // A new link under a temporary name, renamed over the old one: PATH is
    // never missing, and never anything but a link.
    const std::string NewLink = LinkPath + ".new";
    unlink(NewLink.c_str());
    if (symlink(SlaveName.c_str(), NewLink.c_str()) != 0 || rename(NewLink.c_str(), LinkPath.c_str()) != 0) {
        std::fprintf(stderr, "trackwarden-sim: cannot link %s: %s\n", LinkPath.c_str(), std::strerror(errno));
        unlink(NewLink.c_str());
        UnlockLink(LinkPath, LockFd);
        return 1;
    }
    struct sigaction Action = {};
    Action.sa_handler = OnSignal;
    sigaction(SIGTERM, &Action, nullptr);
    sigaction(SIGINT, &Action, nullptr);
    sigaction(SIGHUP, &Action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::printf("trackwarden-sim: listening on %s -> %s\n", LinkPath.c_str(), SlaveName.c_str());
    std::fflush(stdout);

    std::vector<TSimAction> Actions;
    uint8_t Chunk[512];
    bool HungUp = false;
    while (!StopRequested && !HungUp) {
        pollfd In{Master, POLLIN, 0};
        const int Ready = poll(&In, 1, 20);
        if (Ready < 0 && errno != EINTR)
            break;
        Actions.clear();
        if (Ready == 0) {
            Device.Idle(Actions);
        } else if (Ready > 0 && (In.revents & POLLIN)) {
            const ssize_t N = read(Master, Chunk, sizeof Chunk);
            if (N > 0)
                Device.Feed(Chunk, static_cast<size_t>(N), Actions);
        }
        for (const TSimAction &Done : Actions) {
            if (Log != nullptr)
                std::fprintf(Log, "> %s\n", HexBytes(Done.Frame).c_str());
            if (Options.ReplyDelayMs > 0 && (Done.Flood || !Done.Reply.empty()))
                std::this_thread::sleep_for(std::chrono::milliseconds(Options.ReplyDelayMs));
            if (Done.Flood) {
                Flood(Master, Options.FloodMs);
                if (Log != nullptr)
                    std::fprintf(Log, "< flood %d ms\n", Options.FloodMs);
            } else if (!Done.Reply.empty()) {
                WriteAll(Master, Done.Reply.data(), Done.Reply.size());
                if (Log != nullptr)
                    std::fprintf(Log, "< %s\n", HexBytes(Done.Reply).c_str());
            }
            if (Log != nullptr)
                std::fflush(Log);
            if (Done.HangUp) {
                // A hang-up discards what the other side has not read yet: let the last reply arrive.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                HungUp = true;
                break;
            }
        }
    }

    close(Slave);
    close(Master);
    if (LinkPointsAt(LinkPath, SlaveName))
        unlink(LinkPath.c_str());
    UnlockLink(LinkPath, LockFd);
    if (Log != nullptr) {
        std::fprintf(Log, HungUp ? "hung up\n" : "stopped\n");
        std::fclose(Log);
    }
    if (!SavePath.empty() && !SaveFile(SavePath, Device.Memory, sizeof Device.Memory)) {
        std::fprintf(stderr, "trackwarden-sim: cannot save %s\n", SavePath.c_str());
        return 1;
    }
    return 0;
}
