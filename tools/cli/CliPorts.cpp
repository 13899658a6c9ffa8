// trackwarden-cli ports: what serial ports there are, who may and who does
// use them, and the Sys/COMn links that give them to the window.
#include "CliCommands.h"
#include "CliPorts.h"

#include "UDecls.h"
#include "UFolders.h"
#include "UPortNames.h"

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

int CliPorts(const TCliArgs &Args)
{
    ProgramDir.Assign(ProgramFolder());
    const TPortsSystem System = CurrentPortsSystem();
    if (!Args.Assign.empty()) {
        int32_t Com = 0;
        std::string Device;
        if (!ParsePort(Args.Assign, Com, Device) || !Device.empty() || Args[0].empty() == !Args.None) {
            ComplainAboutUsage("ports");
            return ExitFailure;
        }
        std::string Error;
        if (AssignComLink(System.SysDir, Com, Args[0], Error))
            return ExitOk;
        Complain(Error);
        return ExitFailure;
    }
    const TPortList List = ListSerialPorts(System);
    for (const std::string &Error : List.Errors)
        Complain(Error);
    PrintPorts(List.Ports, stdout);
    return ExitOk;
}

void PrintPorts(const std::vector<TSerialPortInfo> &Ports, FILE *To)
{
    if (Ports.empty())
        std::fputs("Brak portów szeregowych.\n", To);
    for (const TSerialPortInfo &Port : Ports)
        std::fprintf(To, "%s\n", DescribePort(Port).c_str());
}
