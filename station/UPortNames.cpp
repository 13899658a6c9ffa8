#include "UPortNames.h"

#include "UPortList.h"
#include "USerialComm.h"

#include <cctype>

bool ParsePort(const std::string &Text, int32_t &Port, std::string &DevicePath)
{
    if (Text.find('/') != std::string::npos) {
        Port = 1;
        DevicePath = Text;
        return true;
    }
    if (Text.size() < 4 || Text.size() > 6)
        return false;
    for (size_t I = 0; I < 3; ++I)
        if (std::toupper(static_cast<unsigned char>(Text[I])) != "COM"[I])
            return false;
    int32_t Number = 0;
    for (size_t I = 3; I < Text.size(); ++I) {
        if (!std::isdigit(static_cast<unsigned char>(Text[I])))
            return false;
        Number = Number * 10 + (Text[I] - '0');
    }
    if (Text[3] == '0' || Number < 1 || Number > ComPorts.Cli)
        return false;
    Port = Number;
    DevicePath.clear();
    return true;
}

std::string PortIdentity(const std::string &Given)
{
    TSerialComm Comm;
    if (!ParsePort(Given, Comm.Port, Comm.DevicePath))
        return Given;
    std::string Name = Comm.DeviceName(true);
    if (Name.empty())
        Name = Comm.DeviceName(false);
    return CanonicalDeviceName(Name);
}

std::string PortFileName(const std::string &Port, const char *Extension)
{
    std::string Name = Port.substr(Port.find_last_of("/\\") + 1);
    for (char &C : Name)
        if (!std::isalnum(static_cast<unsigned char>(C)) && C != '-' && C != '_' && C != '.')
            C = '_';
    if (Name.empty() || Name == "." || Name == "..")
        Name = "port";
    return Name + Extension;
}
