// Serial ports from sysfs: /sys/class/tty/NAME with a device behind it, the
// USB device above that, the node in /dev, its by-id name, the processes
// holding it (from /proc, where readable) and the Sys/COMn links.
#include "UPortList.h"

#include "UDecls.h"
#include "UPortNames.h"
#include "USerialComm.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The names in Folder, sorted. A folder that cannot be read gives none; its
// reason goes to Errors where one is given and the folder ought to be there.
std::vector<std::string> Entries(const std::string &Folder, std::vector<std::string> *Errors = nullptr)
{
    std::vector<std::string> Names;
    DIR *Dir = opendir(Folder.c_str());
    if (Dir == nullptr) {
        if (Errors != nullptr && errno != ENOENT)
            Errors->push_back(Folder + ": opendir: " + std::strerror(errno));
        return Names;
    }
    while (const dirent *Entry = readdir(Dir)) {
        const std::string Name = Entry->d_name;
        if (Name != "." && Name != "..")
            Names.push_back(Name);
    }
    closedir(Dir);
    std::sort(Names.begin(), Names.end());
    return Names;
}

std::string RealPath(const std::string &Path)
{
    char Resolved[PATH_MAX];
    return realpath(Path.c_str(), Resolved) != nullptr ? std::string(Resolved) : std::string();
}

std::string LinkTarget(const std::string &Path)
{
    char Target[PATH_MAX];
    const ssize_t Size = readlink(Path.c_str(), Target, sizeof Target - 1);
    return Size > 0 ? std::string(Target, static_cast<size_t>(Size)) : std::string();
}

std::string BaseName(const std::string &Path)
{
    const size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

// The first line of a sysfs attribute, empty when there is none.
std::string Attribute(const std::string &Path)
{
    std::ifstream In(Path);
    std::string Line;
    std::getline(In, Line);
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == ' '))
        Line.pop_back();
    return Line;
}

bool IsDirectory(const std::string &Path)
{
    struct stat Info;
    return stat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

// The driver of the device or of the nearest device above it; newer kernels
// put the serial core's own "port" and "ctrl" devices in between.
std::string DriverOf(const std::string &Device)
{
    std::string Folder = RealPath(Device);
    while (Folder.size() > 1) {
        const std::string Driver = LinkTarget(Folder + "/driver");
        if (!Driver.empty() && Driver.find("/serial-base/") == std::string::npos)
            return BaseName(Driver);
        Folder.erase(Folder.rfind('/'));
    }
    return {};
}

// The USB device (the folder with idVendor) above a tty's device, if any.
void FillUsb(const std::string &SysRoot, const std::string &Device, TSerialPortInfo &Info)
{
    std::string Folder = RealPath(Device);
    const std::string Top = RealPath(SysRoot);
    while (!Folder.empty() && Folder.size() > Top.size()) {
        const std::string Vendor = Attribute(Folder + "/idVendor");
        if (!Vendor.empty()) {
            Info.VendorProduct = Vendor + ":" + Attribute(Folder + "/idProduct");
            Info.Manufacturer = Attribute(Folder + "/manufacturer");
            Info.Product = Attribute(Folder + "/product");
            Info.Serial = Attribute(Folder + "/serial");
            return;
        }
        Folder.erase(Folder.rfind('/'));
    }
}

// Read and write for the user by owner, group or others; root may always.
void FillAccess(const TPortsSystem &System, TSerialPortInfo &Info)
{
    struct stat Node;
    if (stat(Info.Name.c_str(), &Node) != 0 || System.Uid == 0)
        return;
    const auto Gid = static_cast<uint32_t>(Node.st_gid);
    const bool InGroup = std::find(System.Groups.begin(), System.Groups.end(), Gid) != System.Groups.end();
    const mode_t Mode = Node.st_mode;
    if (Node.st_uid == System.Uid)
        Info.MayOpen = (Mode & 0600) == 0600;
    else if (InGroup)
        Info.MayOpen = (Mode & 060) == 060;
    else
        Info.MayOpen = (Mode & 06) == 06;
    if (Info.MayOpen || Node.st_uid == System.Uid || InGroup || (Mode & 060) != 060)
        return;
    const group *Group = getgrgid(Node.st_gid);
    if (Group != nullptr)
        Info.AccessFix = "sudo usermod -aG " + std::string(Group->gr_name) + " " + System.UserName +
                         " (potem ponowne zalogowanie)";
}

// Processes with the node open: /proc/PID/fd links to it.
std::string Holders(const TPortsSystem &System, const std::string &Node)
{
    std::string Found;
    const std::string Self = std::to_string(getpid());
    for (const std::string &Pid : Entries(System.ProcRoot)) {
        if (Pid.find_first_not_of("0123456789") != std::string::npos || Pid == Self)
            continue;
        const std::string Fds = System.ProcRoot + "/" + Pid + "/fd";
        for (const std::string &Fd : Entries(Fds)) {
            const std::string Target = LinkTarget(Fds + "/" + Fd);
            if (Target.empty() || (Target != Node && RealPath(Target) != Node))
                continue;
            const std::string Name = Attribute(System.ProcRoot + "/" + Pid + "/comm");
            Found += (Found.empty() ? "" : ", ") + Pid + (Name.empty() ? "" : " (" + Name + ")");
            break;
        }
    }
    return Found;
}

// Looked up rather than opened: opening a serial port moves its modem lines.
bool IsTerminalDevice(dev_t Device)
{
    constexpr unsigned PtySlaveFirst = 136, PtySlaveLast = 143;
    if (major(Device) >= PtySlaveFirst && major(Device) <= PtySlaveLast)
        return true;
    const std::string Subsystem =
        RealPath("/sys/dev/char/" + std::to_string(major(Device)) + ":" + std::to_string(minor(Device)) + "/subsystem");
    return BaseName(Subsystem) == "tty";
}

} // namespace

TPortsSystem CurrentPortsSystem()
{
    TPortsSystem System;
    System.SysDir = ProgramDir.Str() + "Sys/";
    System.Uid = geteuid();
    gid_t Groups[256];
    const int Count = getgroups(256, Groups);
    for (int I = 0; I < Count; ++I)
        System.Groups.push_back(Groups[I]);
    System.Groups.push_back(getegid());
    const passwd *User = getpwuid(System.Uid);
    System.UserName = User != nullptr ? User->pw_name : "$USER";
    return System;
}

TPortList ListSerialPorts(const TPortsSystem &System)
{
    TPortList List;
    std::vector<TSerialPortInfo> &Ports = List.Ports;
    const std::string Class = System.SysRoot + "/class/tty/";
    std::vector<std::pair<std::string, std::string>> ById; // link, the node it resolves to
    for (const std::string &Link : Entries(System.DevRoot + "/serial/by-id"))
        ById.emplace_back(System.DevRoot + "/serial/by-id/" + Link, RealPath(System.DevRoot + "/serial/by-id/" + Link));
    for (const std::string &Name : Entries(Class, &List.Errors)) {
        const std::string Device = Class + Name + "/device";
        if (!IsDirectory(Device))
            continue; // virtual terminals, consoles, pseudo-terminals
        // Serial-core drivers list ports whether or not there is a UART behind them.
        if (Attribute(Class + Name + "/type") == "0")
            continue;
        TSerialPortInfo Info;
        Info.Driver = DriverOf(Device);
        Info.Name = System.DevRoot + "/" + Name;
        const std::string Node = RealPath(Info.Name);
        for (const auto &[Link, Target] : ById)
            if (!Node.empty() && Target == Node)
                Info.StableName = Link;
        FillUsb(System.SysRoot, Device, Info);
        Info.LatencyTimer = Attribute(Device + "/latency_timer");
        FillAccess(System, Info);
        if (System.FindHolders && !Node.empty())
            Info.Holder = Holders(System, Node);
        for (int Com = 1; Com <= ComPorts.Cli; ++Com) {
            const std::string ComLink = System.SysDir + "COM" + std::to_string(Com);
            if (!Node.empty() && !LinkTarget(ComLink).empty() && RealPath(ComLink) == Node)
                Info.ComLinks.push_back("COM" + std::to_string(Com));
        }
        Ports.push_back(std::move(Info));
    }
    return List;
}

std::string CanonicalDeviceName(const std::string &Name)
{
    const std::string Real = RealPath(Name);
    return Real.empty() ? Name : Real;
}

bool AssignComLink(const std::string &SysDir, int32_t Com, const std::string &Device, std::string &Error)
{
    const std::string Link = SysDir + "COM" + std::to_string(Com);
    struct stat Info;
    if (lstat(Link.c_str(), &Info) == 0 && !S_ISLNK(Info.st_mode)) {
        Error = Link + ": to nie jest łącze, nie zmieniam";
        return false;
    }
    if (Device.empty()) {
        if (unlink(Link.c_str()) != 0 && errno != ENOENT) {
            Error = Link + ": nie można usunąć łącza (unlink: " + std::strerror(errno) + ")";
            return false;
        }
        return true;
    }
    // Only a terminal device: a link to a file would have the run write the image into it.
    if (stat(Device.c_str(), &Info) != 0 || !S_ISCHR(Info.st_mode) || !IsTerminalDevice(Info.st_rdev)) {
        Error = Device + ": to nie jest urządzenie terminalowe";
        return false;
    }
    if (IsControllingTerminal(Device)) {
        Error = Device + ": to terminal, w którym działa program, nie port urządzenia";
        return false;
    }
    // /dev/tty, /dev/console and /dev/ptmx (also /dev/pts/ptmx): terminals no device is ever on.
    constexpr unsigned TtyMajor = 5;
    if (major(Info.st_rdev) == TtyMajor && minor(Info.st_rdev) <= 2) {
        Error = Device + ": to terminal systemu (konsola albo pseudoterminal), nie port urządzenia";
        return false;
    }
    const std::string Target = Device[0] == '/' ? Device : RealPath(Device);
    // A new link put in place in one step, so the window never sees none.
    const std::string Temporary = Link + ".new";
    unlink(Temporary.c_str());
    if (symlink(Target.c_str(), Temporary.c_str()) != 0 || rename(Temporary.c_str(), Link.c_str()) != 0) {
        Error = Link + ": nie można utworzyć łącza (" + std::strerror(errno) + ")";
        unlink(Temporary.c_str());
        return false;
    }
    return true;
}
