#include "UPortList.h"

#include "UPortNames.h"

#include <algorithm>
#include <filesystem>

std::string StableDeviceName(const std::string &Port)
{
    TPortsSystem System = CurrentPortsSystem();
    System.FindHolders = false;
    const std::string Device = PortIdentity(Port);
    for (const TSerialPortInfo &Info : ListSerialPorts(System).Ports)
        if (CanonicalDeviceName(Info.Name) == Device)
            return Info.StableName;
    return {};
}

TPortList StationPorts(const TPortsSystem &System)
{
    TPortList List = ListSerialPorts(System);
    std::vector<std::string> Known;
    for (const TSerialPortInfo &Info : List.Ports)
        Known.push_back(CanonicalDeviceName(Info.Name));
    std::vector<std::pair<int, TSerialPortInfo>> Links;
    std::error_code Code;
    for (const auto &Entry : std::filesystem::directory_iterator(System.SysDir, Code)) {
        const std::string Name = Entry.path().filename().string();
        if (Name.size() < 4 || Name.compare(0, 3, "COM") != 0 ||
            !std::all_of(Name.begin() + 3, Name.end(), [](char C) { return C >= '0' && C <= '9'; }) ||
            Name.size() > 6 || !Entry.is_symlink(Code) || !Entry.exists(Code))
            continue;
        const std::string Target = std::filesystem::read_symlink(Entry.path(), Code).string();
        if (Code || std::find(Known.begin(), Known.end(), CanonicalDeviceName(Entry.path().string())) != Known.end())
            continue;
        // Named by its path: a child run finds it wherever its own program folder is.
        TSerialPortInfo Info;
        Info.Name = System.SysDir + Name;
        Info.Description = Target;
        Info.ComLinks.push_back(Name);
        Links.emplace_back(std::stoi(Name.substr(3)), std::move(Info));
    }
    std::sort(Links.begin(), Links.end(), [](const auto &A, const auto &B) { return A.first < B.first; });
    for (auto &Link : Links)
        List.Ports.push_back(std::move(Link.second));
    return List;
}
