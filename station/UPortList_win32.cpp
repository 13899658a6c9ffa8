// Serial ports from the registry's SERIALCOMM map (every COM name the system
// has), described from SetupAPI's Ports class where it knows the device.
#include "UPortList_win32.h"

#include "USerialComm.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

namespace {

// The Ports (COM & LPT) device class.
const GUID PortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string Upper(std::string Text)
{
    for (char &C : Text)
        C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
    return Text;
}

std::string DeviceProperty(HDEVINFO Devices, SP_DEVINFO_DATA &Device, DWORD Property)
{
    char Value[512] = {};
    DWORD Type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(Devices, &Device, Property, &Type, reinterpret_cast<BYTE *>(Value),
                                           sizeof Value - 1, nullptr))
        return {};
    return Value; // the first string of a multi-string
}

// COM name -> what SetupAPI says of its device.
std::map<std::string, TSerialPortInfo> DescribedPorts()
{
    std::map<std::string, TSerialPortInfo> Found;
    const HDEVINFO Devices = SetupDiGetClassDevsA(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (Devices == INVALID_HANDLE_VALUE)
        return Found;
    SP_DEVINFO_DATA Device = {};
    Device.cbSize = sizeof Device;
    for (DWORD I = 0; SetupDiEnumDeviceInfo(Devices, I, &Device); ++I) {
        const HKEY Key = SetupDiOpenDevRegKey(Devices, &Device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (Key == INVALID_HANDLE_VALUE)
            continue;
        char Name[64] = {};
        DWORD Size = sizeof Name - 1, Type = 0;
        const bool Named = RegQueryValueExA(Key, "PortName", nullptr, &Type, reinterpret_cast<BYTE *>(Name), &Size) ==
                           ERROR_SUCCESS;
        TSerialPortInfo Info;
        char Instance[512] = {};
        if (SetupDiGetDeviceInstanceIdA(Devices, &Device, Instance, sizeof Instance, nullptr))
            ReadLatencyTimer(Key, Instance, Info);
        RegCloseKey(Key);
        if (!Named)
            continue;
        Info.Description = DeviceProperty(Devices, Device, SPDRP_FRIENDLYNAME);
        Info.Manufacturer = DeviceProperty(Devices, Device, SPDRP_MFG);
        Info.Driver = DeviceProperty(Devices, Device, SPDRP_SERVICE);
        // USB\VID_0403&PID_6001...
        const std::string Hardware = Upper(DeviceProperty(Devices, Device, SPDRP_HARDWAREID));
        const size_t Vid = Hardware.find("VID_"), Pid = Hardware.find("PID_");
        if (Vid != std::string::npos && Pid != std::string::npos)
            Info.VendorProduct = Upper(Hardware.substr(Vid + 4, 4)) + ":" + Upper(Hardware.substr(Pid + 4, 4));
        Found[Upper(Name)] = Info;
    }
    SetupDiDestroyDeviceInfoList(Devices);
    return Found;
}

} // namespace

void ReadLatencyTimer(HKEY Key, const std::string &Instance, TSerialPortInfo &Info)
{
    DWORD Latency = 0, Size = sizeof Latency, Type = 0;
    if (RegQueryValueExA(Key, "LatencyTimer", nullptr, &Type, reinterpret_cast<BYTE *>(&Latency), &Size) !=
            ERROR_SUCCESS ||
        Type != REG_DWORD)
        return;
    Info.LatencyTimer = std::to_string(Latency);
    // The driver reads it when the adapter starts: it takes effect once the adapter is plugged in again.
    if (Latency > 1)
        Info.LatencyFix = "reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + Instance +
                          "\\Device Parameters\" /v LatencyTimer /t REG_DWORD /d 1 /f" +
                          " (jako administrator, potem ponowne podłączenie adaptera)";
}

TPortsSystem CurrentPortsSystem()
{
    return {};
}

TPortList ListSerialPorts(const TPortsSystem &System)
{
    TPortList List;
    std::vector<TSerialPortInfo> &Ports = List.Ports;
    HKEY Map = nullptr;
    const LONG Opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &Map);
    // A system without serial ports has no map at all.
    if (Opened == ERROR_FILE_NOT_FOUND)
        return List;
    if (Opened != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(Opened));
        List.Errors.push_back("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM: " + SystemError("RegOpenKeyEx"));
        return List;
    }
    const std::map<std::string, TSerialPortInfo> Described = DescribedPorts();
    for (DWORD I = 0;; ++I) {
        char Value[256] = {}, Data[64] = {};
        DWORD ValueSize = sizeof Value, DataSize = sizeof Data - 1, Type = 0;
        if (RegEnumValueA(Map, I, Value, &ValueSize, nullptr, &Type, reinterpret_cast<BYTE *>(Data), &DataSize) !=
            ERROR_SUCCESS)
            break;
        if (Type != REG_SZ)
            continue;
        TSerialPortInfo Info;
        const auto Known = Described.find(Upper(Data));
        if (Known != Described.end())
            Info = Known->second;
        Info.Name = Data;
        if (Info.Driver.empty())
            Info.Driver = Value; // the kernel device, e.g. \Device\Serial0
        if (System.FindHolders) {
            // Windows names no holder; a port opened elsewhere refuses a second opening.
            const std::string Path = "\\\\.\\" + Info.Name;
            const HANDLE Port =
                CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (Port != INVALID_HANDLE_VALUE)
                CloseHandle(Port);
            else if (GetLastError() == ERROR_ACCESS_DENIED)
                Info.Holder = "inny program";
        }
        Ports.push_back(std::move(Info));
    }
    RegCloseKey(Map);
    std::sort(Ports.begin(), Ports.end(), [](const TSerialPortInfo &A, const TSerialPortInfo &B) {
        return A.Name.size() != B.Name.size() ? A.Name.size() < B.Name.size() : A.Name < B.Name;
    });
    return List;
}

std::string CanonicalDeviceName(const std::string &Name)
{
    std::string Upper = ::Upper(Name);
    if (Upper.rfind("\\\\.\\", 0) == 0)
        Upper.erase(0, 4);
    return Upper;
}

bool AssignComLink(const std::string &, int32_t, const std::string &, std::string &Error)
{
    Error = "--assign: w systemie Windows porty COM nazywa system (Menedżer urządzeń)";
    return false;
}
