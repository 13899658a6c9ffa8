#include "SimTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TSpeed {
    speed_t Code;
    int32_t Baud;
};

const TSpeed Speeds[] = {
    {B300, 300},         {B600, 600},         {B1200, 1200},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},     {B115200, 115200},
    {B230400, 230400},   {B460800, 460800},   {B500000, 500000},   {B576000, 576000},   {B921600, 921600},
    {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000}, {B2000000, 2000000},
};

void MakeRaw(termios &Tio)
{
    cfmakeraw(&Tio);
    Tio.c_cflag |= CLOCAL | CREAD;
    Tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    Tio.c_cc[VMIN] = 1;
    Tio.c_cc[VTIME] = 0;
}

} // namespace

bool BaudSupported(int32_t Baud)
{
    for (const TSpeed &Speed : Speeds)
        if (Speed.Baud == Baud)
            return true;
    return false;
}

bool LineSpeed(int Fd, int32_t &Baud, int32_t &BitsPerCharacter)
{
    termios Tio;
    if (tcgetattr(Fd, &Tio) != 0)
        return false;
    Baud = 0;
    for (const TSpeed &Speed : Speeds)
        if (Speed.Code == cfgetospeed(&Tio))
            Baud = Speed.Baud;
    const tcflag_t Size = Tio.c_cflag & CSIZE;
    const int32_t DataBits = Size == CS5 ? 5 : Size == CS6 ? 6 : Size == CS7 ? 7 : 8;
    BitsPerCharacter = 1 + DataBits + ((Tio.c_cflag & PARENB) ? 1 : 0) + ((Tio.c_cflag & CSTOPB) ? 2 : 1);
    return Baud > 0;
}

std::string OpenPseudoTerminal(TSimTerminal &Terminal)
{
    const int Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) {
        const std::string Problem = std::string("posix_openpt() failed: ") + std::strerror(errno);
        if (Master >= 0)
            close(Master);
        return Problem;
    }
    Terminal.Fd = Master;
    Terminal.Name = ptsname(Master);
    // Our own hold on the slave keeps the master readable while the tool has it closed.
    Terminal.HoldFd = open(Terminal.Name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Terminal.HoldFd < 0) {
        const std::string Problem = "open(" + Terminal.Name + ") failed: " + std::strerror(errno);
        CloseTerminal(Terminal);
        return Problem;
    }
    termios Tio;
    if (tcgetattr(Terminal.HoldFd, &Tio) == 0) {
        MakeRaw(Tio);
        cfsetispeed(&Tio, B115200);
        cfsetospeed(&Tio, B115200);
        tcsetattr(Terminal.HoldFd, TCSANOW, &Tio);
    }
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    return {};
}

std::string OpenPort(const std::string &Name, int32_t Baud, TSimTerminal &Terminal)
{
    // Without O_NONBLOCK, a port whose carrier is down would keep us waiting.
    const int Fd = open(Name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0)
        return std::strerror(errno);
    std::string Problem;
    if (!isatty(Fd))
        Problem = "not a terminal";
    else if (tcgetsid(Fd) >= 0 && tcgetsid(Fd) == getsid(0))
        Problem = "the terminal the simulator runs in";
    else if (flock(Fd, LOCK_EX | LOCK_NB) != 0)
        Problem = "another program holds it";
    else if (tcgetattr(Fd, &Terminal.Saved) != 0)
        Problem = std::string("tcgetattr() failed: ") + std::strerror(errno);
    if (!Problem.empty()) {
        close(Fd);
        return Problem;
    }
    Terminal.Fd = Fd;
    Terminal.Name = Name;
    Terminal.RestoreSettings = true;
    ioctl(Fd, TIOCEXCL);
    termios Tio = Terminal.Saved;
    MakeRaw(Tio);
    for (const TSpeed &Speed : Speeds)
        if (Speed.Baud == Baud) {
            cfsetispeed(&Tio, Speed.Code);
            cfsetospeed(&Tio, Speed.Code);
        }
    if (tcsetattr(Fd, TCSANOW, &Tio) != 0) {
        Problem = std::string("tcsetattr() failed: ") + std::strerror(errno);
        CloseTerminal(Terminal);
        return Problem;
    }
    tcflush(Fd, TCIOFLUSH);
    return {};
}

void CloseTerminal(TSimTerminal &Terminal)
{
    if (Terminal.RestoreSettings) {
        // What is still on its way out is no one's any more.
        tcflush(Terminal.Fd, TCIOFLUSH);
        tcsetattr(Terminal.Fd, TCSANOW, &Terminal.Saved);
        ioctl(Terminal.Fd, TIOCNXCL);
        Terminal.RestoreSettings = false;
    }
    if (Terminal.HoldFd >= 0)
        close(Terminal.HoldFd);
    if (Terminal.Fd >= 0)
        close(Terminal.Fd);
    Terminal.HoldFd = Terminal.Fd = -1;
}

// A second simulator cannot take the link over and the first cannot remove
// the second's. The lock file is removed by its holder, after checking that
// the file locked is still the one of that name.
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
    return S_ISDIR(St.st_mode)   ? "a folder is there"
           : S_ISREG(St.st_mode) ? "a regular file is there"
                                 : "something other than a link is there";
}

bool LinkPointsAt(const std::string &LinkPath, const std::string &Target)
{
    char Buffer[4096];
    const ssize_t N = readlink(LinkPath.c_str(), Buffer, sizeof Buffer);
    return N > 0 && std::string(Buffer, static_cast<size_t>(N)) == Target;
}
