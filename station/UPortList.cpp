#include "UPortList.h"

#include "UPortNames.h"

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
