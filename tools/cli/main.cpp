// trackwarden-cli: the settings files and the device image without the
// window, for scripts and production lines. Paths are taken as given.
#include "CliCommands.h"
#include "CliPorts.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct TCliCommand {
    const char *Name;
    const char *Arguments; // as the usage line shows them; one word per argument, [optional ones] in brackets
    const char *Summary;
    int (*Run)(const TCliArgs &Args);
};

const TCliCommand Commands[] = {
    {"defaults", "OUT", "zapisuje nowy zestaw ustawień domyślnych (13676 B)", CliDefaults},
    {"image", "SET OUT", "sprawdza zestaw i zapisuje obraz pamięci urządzenia (8192 B)", CliImage},
    {"check", "SET", "sprawdza zestaw przed programowaniem", CliCheck},
    {"dump", "SET", "wypisuje zestaw, jedno pole w wierszu", CliDump},
    {"diff", "SET_A SET_B", "wypisuje pola, którymi zestawy się różnią (zestaw albo obraz pamięci)", CliDiff},
    {"decode", "IMG OUT [--base SET]", "zamienia obraz pamięci (8192 B) na zestaw, na bazie SET albo domyślnego", CliDecode},
    {"program", "SET --port PORT...", "programuje urządzenie zestawem (PORT: COM1..COM8 albo ścieżka)", CliProgram},
    {"compare", "SET --port PORT... [--details]", "porównuje zestaw z ustawieniami urządzenia (--details: które się różnią)",
     CliCompare},
    {"read", "--port PORT... OUT [--base SET] [--image IMG]",
     "odczytuje ustawienia urządzenia do zestawu OUT (przy wielu portach OUT i IMG to foldery)", CliRead},
    {"ports", "[--assign COMn DEVICE|--none]", "porty szeregowe systemu; --assign kieruje Sys/COMn na port", CliPorts},
};

// Words of the usage line: all of them at most ("X..." any number more), those outside brackets at least.
bool ArgumentCountFits(const char *Arguments, size_t Count)
{
    size_t Least = 0, Most = 0;
    bool Optional = false;
    for (const char *P = Arguments; *P != '\0'; ++P) {
        Optional = Optional || *P == '[';
        if (*P != ' ' && (P == Arguments || P[-1] == ' ')) {
            ++Most;
            Least += Optional ? 0 : 1;
        }
        Optional = Optional && *P != ']';
    }
    if (std::strstr(Arguments, "...") != nullptr)
        Most = SIZE_MAX;
    return Count >= Least && Count <= Most;
}

void PrintUsage(FILE *To)
{
    std::fputs("Użycie:\n", To);
    for (const TCliCommand &C : Commands) {
        const std::string Line = std::string(C.Name) + " " + C.Arguments;
        if (Line.size() > 28)
            std::fprintf(To, "  trackwarden-cli %s\n  %-44s %s\n", Line.c_str(), "", C.Summary);
        else
            std::fprintf(To, "  trackwarden-cli %-28s %s\n", Line.c_str(), C.Summary);
    }
    std::fputs("program, compare i read: --port można podać wiele razy; --json: wynik każdego przebiegu jako JSON na\n"
               "standardowym wyjściu; --log PLIK: dopisuje wiersz o każdym przebiegu.\n",
               To);
    std::fputs("Kod wyjścia: 0 powodzenie, 1 wynik negatywny, 2 błędne wywołanie, błąd pliku lub utracone wyjście,\n"
               "130/143 przebieg przerwany (Ctrl-C, SIGTERM).\n",
               To);
}

// Output that never arrived (a full disk behind stdout or stderr) is no
// success: 0 and 1 become 2. A write error stays with its stream, so one
// that was flushed long ago is caught as well as what is still buffered.
int CheckedOutput(int Status)
{
    const bool OutLost = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (OutLost)
        Complain("błąd zapisu na standardowe wyjście");
    const bool ErrLost = std::fflush(stderr) != 0 || std::ferror(stderr) != 0;
    return (OutLost || ErrLost) && Status < ExitFailure ? ExitFailure : Status;
}

int RunCommand(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return ExitOk;
    }
    if (argc >= 2) {
        for (const TCliCommand &C : Commands) {
            if (std::strcmp(argv[1], C.Name) != 0)
                continue;
            const TCliArgs Args(argv + 2, argv + argc);
            if (ArgumentCountFits(C.Arguments, Args.size()))
                return C.Run(Args);
            Complain(std::string("złe argumenty: ") + C.Name + " " + C.Arguments);
            PrintUsage(stderr);
            return ExitFailure;
        }
        Complain(std::string("nieznane polecenie: ") + argv[1]);
    }
    PrintUsage(stderr);
    return ExitFailure;
}

} // namespace

int main(int argc, char **argv)
{
    return CheckedOutput(RunCommand(argc, argv));
}
