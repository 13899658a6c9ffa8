// POSIX binding of the serial port: termios, poll() on the port and a stop pipe.
#include "USerialComm.h"

#include "UDecls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#endif

struct TSerialPortImpl {
    int Fd = -1;
    int StopRead = -1;
    int StopWrite = -1;
    // The line settings found at the opening, given back at the close.
    termios Original = {};
    bool HasOriginal = false;
};

namespace {

std::string LinkName(int32_t Port)
{
    return ProgramDir.Str() + "Sys/COM" + std::to_string(Port);
}

bool LinkExists(int32_t Port)
{
    struct stat Info;
    return lstat(LinkName(Port).c_str(), &Info) == 0;
}

bool SetCloseOnExecNonBlocking(int Fd)
{
    return fcntl(Fd, F_SETFD, FD_CLOEXEC) == 0 && fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) | O_NONBLOCK) == 0;
}

speed_t SpeedCode(int32_t BaudRate)
{
    switch (BaudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

// Between reads that found bytes; far below a quiet tick.
constexpr int BatchWaitMs = 2;

// Bits of the Win32 device-control block's flag word that have a termios counterpart.
constexpr uint32_t FlagParityCheck = 0x2;
constexpr uint32_t FlagCtsFlow = 0x4;
constexpr uint32_t FlagOutX = 0x100;
constexpr uint32_t FlagInX = 0x200;

bool SameDevice(const struct stat &Port, int Fd)
{
    struct stat St;
    return Fd >= 0 && fstat(Fd, &St) == 0 && S_ISCHR(St.st_mode) && St.st_rdev == Port.st_rdev;
}

// The device number of the controlling terminal as the kernel reports it.
bool IsControllingDevice(dev_t Device)
{
#ifdef __linux__
    std::ifstream Stat("/proc/self/stat");
    std::string Text((std::istreambuf_iterator<char>(Stat)), {});
    // After the command name, which ends with the last ')': state, ppid, pgrp, session, tty_nr.
    const size_t Close = Text.rfind(')');
    if (Close == std::string::npos)
        return false;
    std::istringstream Fields(Text.substr(Close + 1));
    std::string State;
    long Parent = 0, Group = 0, Session = 0;
    unsigned long Tty = 0;
    if (!(Fields >> State >> Parent >> Group >> Session >> Tty) || Tty == 0)
        return false;
    return major(Device) == ((Tty >> 8) & 0xFFF) && minor(Device) == ((Tty & 0xFF) | ((Tty >> 12) & 0xFFF00));
#else
    (void)Device;
    return false;
#endif
}

} // namespace

bool IsControllingTerminal(const std::string &Name)
{
    struct stat Port;
    if (stat(Name.c_str(), &Port) != 0 || !S_ISCHR(Port.st_mode))
        return false;
    // /dev/tty stands for whatever terminal controls the process.
    struct stat Tty;
    if ((stat("/dev/tty", &Tty) == 0 && Tty.st_rdev == Port.st_rdev) || IsControllingDevice(Port.st_rdev))
        return true;
    for (int Fd = 0; Fd <= 2; ++Fd)
        if (isatty(Fd) && SameDevice(Port, Fd))
            return true;
    return false;
}

std::string TSerialComm::DeviceName(bool UseDevicePath) const
{
    if (!DevicePath.empty())
        return UseDevicePath ? DevicePath : std::string();
    // COM n is the link Sys/COMn beside the program when there is one, else the n-th serial port.
    if (LinkExists(Port))
        return UseDevicePath ? LinkName(Port) : std::string();
    return UseDevicePath ? std::string() : "/dev/ttyS" + std::to_string(Port - 1);
}

std::string SystemError(const char *Call)
{
    return std::string(Call) + ": " + std::strerror(errno);
}

void TSerialComm::OpenDevice(bool UseDevicePath)
{
    Handle = nullptr;
    const std::string Name = DeviceName(UseDevicePath);
    if (Name.empty())
        return;
    if (IsControllingTerminal(Name)) {
        Error = Name + ": terminal, w którym działa program";
        return;
    }
    const int Fd = open(Name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0) {
        Error = Name + ": " + SystemError("open");
        return;
    }
    // Exclusive: TIOCEXCL keeps others from opening it, the lock tells us whether someone holds it.
    // A terminal that controls our session is the user's, whatever its name.
    std::string Refusal;
    if (!isatty(Fd))
        Refusal = SystemError("isatty");
    else if (tcgetsid(Fd) == getsid(0))
        Refusal = "terminal sterujący sesji programu";
    else if (flock(Fd, LOCK_EX | LOCK_NB) != 0)
        Refusal = SystemError("flock");
    if (!Refusal.empty()) {
        Error = Name + ": " + Refusal;
        close(Fd);
        return;
    }
    ioctl(Fd, TIOCEXCL);
    int Stop[2];
    if (pipe(Stop) != 0) {
        Error = Name + ": " + SystemError("pipe");
        close(Fd);
        return;
    }
    SetCloseOnExecNonBlocking(Stop[0]);
    SetCloseOnExecNonBlocking(Stop[1]);
    Handle = new TSerialPortImpl{Fd, Stop[0], Stop[1]};
}

bool ConfigurePort(TSerialComm &Comm)
{
    const int Fd = Comm.Handle->Fd;
    termios Tio;
    if (tcgetattr(Fd, &Tio) != 0) {
        Comm.Error = SystemError("tcgetattr");
        return false;
    }
    Comm.Handle->Original = Tio;
    Comm.Handle->HasOriginal = true;
    const speed_t Speed = SpeedCode(Comm.BaudRate);
    if (Speed == B0) {
        Comm.Error = "prędkość " + std::to_string(Comm.BaudRate) + " niedostępna";
        return false;
    }

    Tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    Tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    Tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    Tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    Tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    Tio.c_cflag |= CREAD | CLOCAL;
    switch (Comm.ByteSize & 0xFF) {
    case 5: Tio.c_cflag |= CS5; break;
    case 6: Tio.c_cflag |= CS6; break;
    case 7: Tio.c_cflag |= CS7; break;
    default: Tio.c_cflag |= CS8; break;
    }
    switch (Comm.Parity & 0xFF) {
    case 0: break;
    case 1: Tio.c_cflag |= PARENB | PARODD; break;
    case 2: Tio.c_cflag |= PARENB; break;
#ifdef CMSPAR
    case 3: Tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: Tio.c_cflag |= PARENB | CMSPAR; break;
#endif
    default: Comm.Error = "parzystość niedostępna"; return false;
    }
    if ((Comm.StopBits & 0xFF) != 0)
        Tio.c_cflag |= CSTOPB;
    const uint32_t Flags = Comm.Flags | 1;
    if (Flags & FlagParityCheck)
        Tio.c_iflag |= INPCK;
    if (Flags & FlagCtsFlow)
        Tio.c_cflag |= CRTSCTS;
    if (Flags & FlagOutX)
        Tio.c_iflag |= IXON;
    if (Flags & FlagInX)
        Tio.c_iflag |= IXOFF;
    Tio.c_cc[VMIN] = 1;
    Tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&Tio, Speed) != 0 || cfsetospeed(&Tio, Speed) != 0) {
        Comm.Error = SystemError("cfsetspeed");
        return false;
    }
    if (tcsetattr(Fd, TCSANOW, &Tio) != 0) {
        Comm.Error = SystemError("tcsetattr");
        return false;
    }

    // A pseudo-terminal has no modem lines and no serial driver: both are skipped there.
    int Lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(Fd, TIOCMBIC, &Lines);
#ifdef __linux__
    serial_struct Serial;
    if (ioctl(Fd, TIOCGSERIAL, &Serial) == 0) {
        Serial.flags |= ASYNC_LOW_LATENCY;
        ioctl(Fd, TIOCSSERIAL, &Serial);
    }
#endif
    return true;
}

void ClosePortHandle(TPortHandle Handle)
{
    if (Handle == nullptr || Handle->Fd < 0)
        return;
    tcflush(Handle->Fd, TCIOFLUSH);
    if (Handle->HasOriginal)
        tcsetattr(Handle->Fd, TCSANOW, &Handle->Original);
    // The exclusive mode outlives us on a terminal that someone else keeps open (a simulator).
    ioctl(Handle->Fd, TIOCNXCL);
    close(Handle->Fd);
    Handle->Fd = -1;
}

void FreePortHandle(TPortHandle Handle)
{
    if (Handle == nullptr)
        return;
    ClosePortHandle(Handle);
    close(Handle->StopRead);
    close(Handle->StopWrite);
    delete Handle;
}

void StopReceiveThread(TPortHandle Handle)
{
    const char Byte = 1;
    while (write(Handle->StopWrite, &Byte, 1) < 0 && errno == EINTR) {
    }
}

bool WritePort(TPortHandle Handle, const uint8_t *Data, int32_t Count, int32_t TimeoutPerByteMs)
{
    int32_t Done = 0;
    int32_t Left = Count * TimeoutPerByteMs;
    while (Done < Count) {
        const ssize_t N = write(Handle->Fd, Data + Done, static_cast<size_t>(Count - Done));
        if (N > 0) {
            Done += static_cast<int32_t>(N);
            continue;
        }
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        // The driver's buffer is full: wait for room as long as the bytes left may take.
        if (Left <= 0)
            return false;
        pollfd Out{Handle->Fd, POLLOUT, 0};
        if (poll(&Out, 1, Left) <= 0)
            return false;
        Left -= TimeoutPerByteMs;
    }
    return true;
}

void SetReceivePriority(int32_t Priority)
{
#ifdef __linux__
    static const int Nice[7] = {19, 10, 5, 0, -5, -10, -20};
    if (Priority >= -3 && Priority <= 3)
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), Nice[Priority + 3]);
#else
    (void)Priority;
#endif
}

void TSerialCommThread::Execute()
{
    pollfd Wait[2] = {{Handle->StopRead, POLLIN, 0}, {Handle->Fd, POLLIN, 0}};
    pollfd Probe = Wait[1];
    if (poll(&Probe, 1, 0) < 0 || (Probe.revents & POLLNVAL)) {
        SetState(Failed);
        return;
    }
    Running = true;
    SetState(Reading);

    // Once a read fails (a hung-up pseudo-terminal, an unplugged adapter) the
    // port is left alone and only the stop is awaited: polling a dead port spins.
    bool PortAlive = true;
    uint8_t Chunk[256];
    for (;;) {
        const int Ready = poll(Wait, PortAlive ? 2 : 1, -1);
        if (Ready < 0) {
            if (errno == EINTR)
                continue;
            if (!PortAlive)
                break;
            PortAlive = false;
            continue;
        }
        if (Wait[0].revents != 0)
            break;
        if (!PortAlive || Wait[1].revents == 0)
            continue;
        if (Wait[1].revents & POLLIN) {
            const ssize_t N = read(Handle->Fd, Chunk, sizeof Chunk);
            if (N > 0) {
                for (ssize_t I = 0; I < N; ++I)
                    if (OnByte != nullptr)
                        OnByte(Chunk[I]);
                // Bytes trickle in one by one on a slow line and come without end
                // in a flood: a short wait (for the stop only) lets the next read
                // take them in a batch, one wake-up for many bytes. A reply ends
                // only after QuietTickCount ticks of quiet, so the wait costs nothing
                // there; a fast exchange ends a reply by its length and turns it off.
                if (Batching.load()) {
                    pollfd Stop = Wait[0];
                    poll(&Stop, 1, BatchWaitMs);
                }
            } else if (N == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                PortAlive = false;
            }
        } else {
            PortAlive = false;
        }
    }

    char Drain[16];
    while (read(Handle->StopRead, Drain, sizeof Drain) > 0) {
    }
    ClosePortHandle(Handle);
    Running = false;
    SetState(Stopped);
}
