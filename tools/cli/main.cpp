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
    const char *Arguments; // as the usage line shows them; one word per argument
    const char *Summary;
    int (*Run)(const TCliArgs &Args);
};

const TCliCommand Commands[] = {
    {"defaults", "OUT", "zapisuje nowy zestaw ustawień domyślnych (13676 B)", CliDefaults},
    {"image", "SET OUT", "sprawdza zestaw i zapisuje obraz pamięci urządzenia (8192 B)", CliImage},
    {"check", "SET", "sprawdza zestaw przed programowaniem", CliCheck},
    {"dump", "SET", "wypisuje zestaw, jedno pole w wierszu", CliDump},
    {"diff", "SET_A SET_B", "wypisuje pola, którymi zestawy się różnią", CliDiff},
    {"program", "SET --port PORT...", "programuje urządzenie zestawem (PORT: COM1..COM8 albo ścieżka)", CliProgram},
    {"compare", "SET --port PORT...", "porównuje zestaw z ustawieniami urządzenia", CliCompare},
    {"ports", "[--assign COMn DEVICE|--none]", "porty szeregowe systemu; --assign kieruje Sys/COMn na port", CliPorts},
};

// "X..." and "[...]" take more words than counted; the subcommand checks them.
bool TakesMore(const char *Arguments)
{
    const std::string Text = Arguments;
    return Text.find("...") != std::string::npos || Text.find('[') != std::string::npos;
}

size_t ArgumentCount(const char *Arguments)
{
    size_t Count = 0;
    int Optional = 0;
    for (const char *P = Arguments; *P != '\0'; ++P) {
        if (*P == '[')
            ++Optional;
        else if (*P == ']')
            --Optional;
        else if (Optional == 0 && *P != ' ' && (P == Arguments || P[-1] == ' '))
            ++Count;
    }
    return Count;
}

void PrintUsage(FILE *To)
{
    std::fputs("Użycie:\n", To);
    for (const TCliCommand &C : Commands) {
        const std::string Line = std::string(C.Name) + " " + C.Arguments;
        std::fprintf(To, "  trackwarden-cli %-28s %s\n", Line.c_str(), C.Summary);
    }
    std::fputs("program i compare: --port można podać wiele razy; --json: wynik każdego przebiegu jako JSON na\n"
               "standardowym wyjściu; --log PLIK: dopisuje wiersz o każdym przebiegu.\n",
               To);
    std::fputs("Kod wyjścia: 0 powodzenie, 1 wynik negatywny, 2 błędne wywołanie lub błąd pliku.\n", To);
}

} // namespace

int main(int argc, char **argv)
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
            const size_t Count = ArgumentCount(C.Arguments);
            if (Args.size() == Count || (TakesMore(C.Arguments) && Args.size() > Count)) {
                const int Status = C.Run(Args);
                // Output that never arrived (a full disk behind stdout) is no success.
                if (std::fflush(stdout) != 0) {
                    Complain("błąd zapisu na standardowe wyjście");
                    return ExitFailure;
                }
                return Status;
            }
            Complain(std::string("złe argumenty: ") + C.Name + " " + C.Arguments);
            PrintUsage(stderr);
            return ExitFailure;
        }
        Complain(std::string("nieznane polecenie: ") + argv[1]);
    }
    PrintUsage(stderr);
    return ExitFailure;
}
