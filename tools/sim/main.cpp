// trackwarden-sim: a simulated device behind a pseudo-terminal or on a port.
#include "SimDevice.h"
#include "SimLine.h"
#include "SimTerminal.h"
#include "UFiles.h"
#include "UStandardStreams.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
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
                 "       trackwarden-sim --port TTY [--baud B] [options]\n"
                 "  --link PATH              a new pseudo-terminal, PATH a link to it\n"
                 "  --port TTY               serve on an existing terminal instead\n"
                 "  --baud B                 the port's speed (115200)\n"
                 "  --version A.B.C          version the device reports (1.2.3)\n"
                 "  --memory FILE            load the 8192-byte memory from FILE\n"
                 "  --save FILE              save the memory to FILE on exit\n"
                 "  --delay MS               reply delay (2)\n"
                 "  --log FILE               log requests and replies\n"
                 "  --log-times              ... each line with its time in ms\n"
                 "timing of a real line:\n"
                 "  --wire                   bytes take their time at the line's baud rate, both ways\n"
                 "  --write-ms MS            time to store a written block before its echo (--delay)\n"
                 "  --read-ms MS             time to fetch a read block before its reply (--delay)\n"
                 "  --latency MS             replies held and sent in bursts every MS ms, as a USB adapter does\n"
                 "  --deaf-ms MS             bytes arriving within MS ms after a reply are lost\n"
                 "  --trailing N             N zero bytes after every reply\n"
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

// A whole decimal number within [Min, Max]; anything else is refused.
bool ParseInt(const char *Text, int32_t Min, int32_t Max, int32_t &Value)
{
    char *End = nullptr;
    errno = 0;
    const long N = std::strtol(Text, &End, 10);
    if (errno != 0 || End == Text || *End != '\0' || N < Min || N > Max)
        return false;
    Value = static_cast<int32_t>(N);
    return true;
}

struct TNumberOption {
    const char *Name;
    int32_t *Target;
    int32_t Min, Max;
};

struct TFlagOption {
    const char *Name;
    bool *Target;
};

struct TTextOption {
    const char *Name;
    std::string *Target;
};

struct TSimArgs {
    TSimOptions Device;
    TSimTiming Timing;
    std::string LinkPath, PortPath, MemoryPath, SavePath, LogPath, Version;
    int32_t Baud = 115200;
    bool LogTimes = false;
};

// Refuses (with its line and the usage) every option it does not know and
// every value outside what the option can mean.
bool ParseArgs(int argc, char **argv, TSimArgs &A)
{
    constexpr int32_t MaxMs = 60000, MaxCount = 1000000;
    const TNumberOption Numbers[] = {
        {"--delay", &A.Timing.DelayMs, 0, MaxMs},
        {"--write-ms", &A.Timing.WriteMs, 0, MaxMs},
        {"--read-ms", &A.Timing.ReadMs, 0, MaxMs},
        {"--latency", &A.Timing.LatencyMs, 0, 255},
        {"--deaf-ms", &A.Timing.DeafMs, 0, MaxMs},
        {"--trailing", &A.Timing.Trailing, 0, 255},
        {"--baud", &A.Baud, 50, 4000000},
        {"--version-length", &A.Device.VersionLength, 0, 200},
        {"--version-faults", &A.Device.VersionFaults, 0, MaxCount},
        {"--bad-checksum-every", &A.Device.BadChecksumEvery, 0, MaxCount},
        {"--corrupt-byte", &A.Device.CorruptAddress, 0, SimMemorySize - 1},
        {"--ignore", &A.Device.IgnoreFirst, 0, MaxCount},
        {"--flood", &A.Device.FloodMs, 0, MaxMs},
        {"--hang-up-after", &A.Device.HangUpAfter, 0, MaxCount},
    };
    const TFlagOption Flags[] = {
        {"--silent", &A.Device.Silent},
        {"--wrong-echo", &A.Device.WrongEcho},
        {"--short-write-reply", &A.Device.ShortWriteReply},
        {"--wire", &A.Timing.Wire},
        {"--log-times", &A.LogTimes},
    };
    const TTextOption Texts[] = {
        {"--link", &A.LinkPath}, {"--port", &A.PortPath}, {"--memory", &A.MemoryPath},
        {"--save", &A.SavePath}, {"--log", &A.LogPath},   {"--version", &A.Version},
    };
    auto Refuse = [](const std::string &What) {
        std::fprintf(stderr, "trackwarden-sim: %s\n", What.c_str());
        Usage();
        return false;
    };
    for (int I = 1; I < argc; ++I) {
        const std::string Arg = argv[I];
        const char *Value = I + 1 < argc ? argv[I + 1] : nullptr;
        bool Known = false;
        for (const TFlagOption &Flag : Flags)
            if (Arg == Flag.Name) {
                *Flag.Target = true;
                Known = true;
            }
        for (const TTextOption &Text : Texts) {
            if (Arg != Text.Name)
                continue;
            if (Value == nullptr || *Value == '\0')
                return Refuse("bad option " + Arg + ": a value is needed");
            *Text.Target = Value;
            Known = true;
            ++I;
        }
        for (const TNumberOption &Number : Numbers) {
            if (Arg != Number.Name)
                continue;
            if (Value == nullptr || !ParseInt(Value, Number.Min, Number.Max, *Number.Target))
                return Refuse("bad option " + Arg + (Value ? std::string(" ") + Value : std::string()) + ": from " +
                              std::to_string(Number.Min) + " to " + std::to_string(Number.Max));
            Known = true;
            ++I;
        }
        if (!Known)
            return Refuse("bad option " + Arg);
    }
    if (!A.Version.empty()) {
        unsigned V[3];
        char Tail;
        if (std::sscanf(A.Version.c_str(), "%u.%u.%u%c", &V[0], &V[1], &V[2], &Tail) != 3 || V[0] > 255 ||
            V[1] > 255 || V[2] > 255 || A.Version.find_first_not_of("0123456789.") != std::string::npos)
            return Refuse("bad option --version " + A.Version + ": A.B.C, each from 0 to 255");
        for (int K = 0; K < 3; ++K)
            A.Device.Version[K] = static_cast<uint8_t>(V[K]);
    }
    if (!BaudSupported(A.Baud))
        return Refuse("bad option --baud " + std::to_string(A.Baud) + ": not a speed the terminal knows");
    if (A.LinkPath.empty() == A.PortPath.empty())
        return Refuse(A.LinkPath.empty() ? "--link PATH or --port TTY is needed" : "--link and --port together");
    return true;
}

int64_t NowNs(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - Start).count();
}

// Without times the log is as it always was: a line per request and per reply.
struct TSimLog {
    FILE *File = nullptr;
    bool Times = false;

    void Line(int64_t AtNs, const char *Mark, const std::string &Text)
    {
        if (File == nullptr)
            return;
        if (Times)
            std::fprintf(File, "%.3f ", static_cast<double>(AtNs) / 1e6);
        std::fprintf(File, "%s%s%s\n", Mark, Text.empty() ? "" : " ", Text.c_str());
        std::fflush(File);
    }
};

} // namespace

int main(int argc, char **argv)
{
    OpenStandardStreams();
    TSimArgs Args;
    if (argc < 2) {
        Usage();
        return 2;
    }
    if (!ParseArgs(argc, argv, Args))
        return 2;

    TSimDevice Device(Args.Device);
    if (!Args.MemoryPath.empty()) {
        const std::string Problem = ReadMemoryFile(Args.MemoryPath, Device.Memory, sizeof Device.Memory);
        if (!Problem.empty()) {
            std::fprintf(stderr, "trackwarden-sim: --memory %s: %s (a regular file of %zu bytes is needed)\n",
                         Args.MemoryPath.c_str(), Problem.c_str(), sizeof Device.Memory);
            return 2;
        }
    }
    // Found now, while nothing has been lost: the memory is saved only at exit.
    if (!Args.SavePath.empty() && !WholeFileWritable(Args.SavePath)) {
        std::fprintf(stderr,
                     "trackwarden-sim: --save %s: cannot be saved there (a regular file that may be replaced, in a "
                     "folder that may be written, is needed)\n",
                     Args.SavePath.c_str());
        return 2;
    }
    // A save past the file-size limit fails and cleans up rather than killing us.
    signal(SIGXFSZ, SIG_IGN);

    const std::string &LinkPath = Args.LinkPath;
    int LockFd = -1;
    TSimTerminal Terminal;
    FILE *LogFile = nullptr;
    auto Release = [&] {
        CloseTerminal(Terminal);
        if (LockFd >= 0)
            UnlockLink(LinkPath, LockFd);
        if (LogFile != nullptr)
            std::fclose(LogFile);
    };
    if (!LinkPath.empty()) {
        LockFd = LockLink(LinkPath);
        if (LockFd < 0) {
            if (errno == EBUSY)
                std::fprintf(stderr, "trackwarden-sim: %s is owned by another running simulator\n", LinkPath.c_str());
            else
                std::fprintf(stderr, "trackwarden-sim: cannot lock %s.lock: %s\n", LinkPath.c_str(),
                             std::strerror(errno));
            return 2;
        }
        if (const std::string Problem = LinkPlaceProblem(LinkPath); !Problem.empty()) {
            std::fprintf(stderr, "trackwarden-sim: --link %s: %s; only a symbolic link is replaced\n",
                         LinkPath.c_str(), Problem.c_str());
            Release();
            return 2;
        }
    } else if (const std::string Problem = OpenPort(Args.PortPath, Args.Baud, Terminal); !Problem.empty()) {
        std::fprintf(stderr, "trackwarden-sim: --port %s: %s\n", Args.PortPath.c_str(), Problem.c_str());
        return 2;
    }
    if (!Args.LogPath.empty() && (LogFile = std::fopen(Args.LogPath.c_str(), "w")) == nullptr) {
        std::fprintf(stderr, "trackwarden-sim: cannot write %s: %s\n", Args.LogPath.c_str(), std::strerror(errno));
        Release();
        return 2;
    }

    if (!LinkPath.empty()) {
        if (const std::string Problem = OpenPseudoTerminal(Terminal); !Problem.empty()) {
            std::fprintf(stderr, "trackwarden-sim: %s\n", Problem.c_str());
            Release();
            return 1;
        }
        // A new link under a temporary name, renamed over the old one: PATH is
        // never missing, and never anything but a link.
        const std::string NewLink = LinkPath + ".new";
        unlink(NewLink.c_str());
        if (symlink(Terminal.Name.c_str(), NewLink.c_str()) != 0 || rename(NewLink.c_str(), LinkPath.c_str()) != 0) {
            std::fprintf(stderr, "trackwarden-sim: cannot link %s: %s\n", LinkPath.c_str(), std::strerror(errno));
            unlink(NewLink.c_str());
            Release();
            return 1;
        }
    }
    struct sigaction Action = {};
    Action.sa_handler = OnSignal;
    sigaction(SIGTERM, &Action, nullptr);
    sigaction(SIGINT, &Action, nullptr);
    sigaction(SIGHUP, &Action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // The wire's pace is a tenth of a millisecond a byte: wake-ups must be that exact.
    prctl(PR_SET_TIMERSLACK, 1000UL);

    if (!LinkPath.empty())
        std::printf("trackwarden-sim: listening on %s -> %s\n", LinkPath.c_str(), Terminal.Name.c_str());
    else
        std::printf("trackwarden-sim: listening on %s\n", Terminal.Name.c_str());
    std::fflush(stdout);

    const auto Start = std::chrono::steady_clock::now();
    TSimLog Log{LogFile, Args.LogTimes};
    TSimLine Line(Device, Args.Timing);
    std::vector<TSimHeard> Heard;
    uint8_t Chunk[512];
    bool HungUp = false;
    // The device drops a byte of an incomplete frame every 20 ms of silence.
    constexpr int64_t IdleNs = 20000000;
    int64_t LastInputNs = 0;
    while (!StopRequested && !HungUp) {
        int64_t Now = NowNs(Start);
        int64_t WaitNs = LastInputNs + IdleNs - Now;
        if (const int64_t Due = Line.NextDue(); Due >= 0)
            WaitNs = std::min(WaitNs, Due - Now);
        WaitNs = std::max<int64_t>(WaitNs, 0);
        const timespec Timeout{static_cast<time_t>(WaitNs / 1000000000), static_cast<long>(WaitNs % 1000000000)};
        pollfd In{Terminal.Fd, POLLIN, 0};
        const int Ready = ppoll(&In, 1, &Timeout, nullptr);
        if (Ready < 0 && errno != EINTR)
            break;
        Now = NowNs(Start);
        Heard.clear();
        if (Ready > 0 && (In.revents & POLLIN)) {
            const ssize_t N = read(Terminal.Fd, Chunk, sizeof Chunk);
            if (N > 0) {
                int32_t Baud = 0, Bits = 10;
                if (LineSpeed(Terminal.Fd, Baud, Bits))
                    Line.SetLine(Baud, Bits);
                Line.Receive(Now, Chunk, static_cast<size_t>(N), Heard);
                LastInputNs = Now;
            }
        } else if (Ready > 0 && (In.revents & (POLLHUP | POLLERR))) {
            // A port's other end gone for good (an unplugged adapter).
            if (LinkPath.empty())
                break;
        } else if (Ready == 0 && Now - LastInputNs >= IdleNs) {
            Line.Idle(Now, Heard);
            LastInputNs = Now;
        }
        for (const TSimHeard &Request : Heard)
            Log.Line(Request.AtNs, Request.Lost ? "~" : ">", HexBytes(Request.Bytes));
        for (const TSimOutput &Out : Line.TakeDue(NowNs(Start))) {
            if (Out.Flood) {
                Flood(Terminal.Fd, Args.Device.FloodMs);
                Log.Line(NowNs(Start), "<", "flood " + std::to_string(Args.Device.FloodMs) + " ms");
                Line.BusyUntil(NowNs(Start));
            }
            if (!Out.Bytes.empty()) {
                const int64_t WrittenNs = NowNs(Start);
                WriteAll(Terminal.Fd, Out.Bytes.data(), Out.Bytes.size());
                // With times, every burst as it went; without, every reply whole.
                if (Log.Times)
                    Log.Line(WrittenNs, "<", HexBytes(Out.Bytes));
                else if (!Out.Reply.empty())
                    Log.Line(WrittenNs, "<", HexBytes(Out.Reply));
            }
            if (Out.HangUp) {
                // A hang-up discards what the other side has not read yet: let the last reply arrive.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                HungUp = true;
                break;
            }
        }
    }

    const bool OwnLink = !LinkPath.empty() && LinkPointsAt(LinkPath, Terminal.Name);
    CloseTerminal(Terminal);
    if (OwnLink)
        unlink(LinkPath.c_str());
    Log.Line(NowNs(Start), HungUp ? "hung up" : "stopped", "");
    Release();
    if (!Args.SavePath.empty() && !WriteWholeFile(Args.SavePath, Device.Memory, sizeof Device.Memory)) {
        std::fprintf(stderr, "trackwarden-sim: cannot save %s\n", Args.SavePath.c_str());
        return 1;
    }
    return 0;
}
