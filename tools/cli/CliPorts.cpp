// trackwarden-cli ports: what serial ports there are, who may and who does
// use them, and the Sys/COMn links that give them to the window.
#include "CliPorts.h"
#include "CliBatch.h"

#include "UFiles.h"
#include "UFolders.h"
#include "USerialComm.h"

#include <cstdio>

namespace {

void Field(std::string &Line, const char *Label, const std::string &Value)
{
    if (!Value.empty())
        Line += std::string("  ") + Label + Value;
}

} // namespace

std::string DescribePort(const TSerialPortInfo &Port)
{
    std::string Line = Port.Name;
    Field(Line, "stała nazwa: ", Port.StableName);
    Field(Line, "sterownik: ", Port.Driver);
    Field(Line, "USB: ", Port.VendorProduct);
    Field(Line, "producent: ", Port.Manufacturer);
    Field(Line, "produkt: ", Port.Product);
    Field(Line, "nr seryjny: ", Port.Serial);
    Field(Line, "opis: ", Port.Description);
    Field(Line, "opóźnienie adaptera: ", Port.LatencyTimer.empty() ? "" : Port.LatencyTimer + " ms");
    std::string Links;
    for (const std::string &Com : Port.ComLinks)
        Links += (Links.empty() ? "" : ", ") + Com;
    Field(Line, "łącze: ", Links);
    if (Port.MayOpen)
        Line += "  dostęp: tak";
    else
        Line += "  brak dostępu" + (Port.AccessFix.empty() ? std::string() : ": " + Port.AccessFix);
    Field(Line, "zajęty przez: ", Port.Holder);
    return Line;
}

std::string StableDeviceName(const std::string &Port)
{
    TSerialComm Comm;
    if (!ParsePort(Port, Comm.Port, Comm.DevicePath))
        return {};
    std::string Name = Comm.DeviceName(true);
    if (Name.empty())
        Name = Comm.DeviceName(false);
    TPortsSystem System = CurrentPortsSystem();
    System.FindHolders = false;
    const std::string Device = CanonicalDeviceName(Name);
    for (const TSerialPortInfo &Info : ListSerialPorts(System))
        if (CanonicalDeviceName(Info.Name) == Device)
            return Info.StableName;
    return {};
}

int CliPorts(const TCliArgs &Args)
{
    ProgramDir.Assign(ProgramFolder());
    const TPortsSystem System = CurrentPortsSystem();
    if (!Args.empty()) {
        int32_t Com = 0;
        std::string Device;
        const bool Usage = Args.size() != 3 || Args[0] != "--assign" || !ParsePort(Args[1], Com, Device) ||
                           !Device.empty();
        if (Usage) {
            Complain("użycie: ports [--assign COMn URZĄDZENIE|--none]");
            return ExitFailure;
        }
        return AssignComLink(System.SysDir, Com, Args[2] == "--none" ? std::string() : Args[2]) ? ExitOk
                                                                                                 : ExitFailure;
    }
    PrintPorts(ListSerialPorts(System), stdout);
    return ExitOk;
}

void PrintPorts(const std::vector<TSerialPortInfo> &Ports, FILE *To)
{
    if (Ports.empty())
        std::fputs("Brak portów szeregowych.\n", To);
    for (const TSerialPortInfo &Port : Ports)
        std::fprintf(To, "%s\n", DescribePort(Port).c_str());
}
