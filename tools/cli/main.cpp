// trackwarden-cli: the settings files and the device image without the
// window, for scripts and production lines. Paths are taken as given.
#include "CliCommands.h"

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
    {"program", "SET --port PORT", "programuje urządzenie zestawem (PORT: COM1..COM8 albo ścieżka)", CliProgram},
    {"compare", "SET --port PORT [--details]", "porównuje zestaw z ustawieniami urządzenia (--details: które się różnią)",
     CliCompare},
    {"read", "--port PORT OUT [--base SET] [--image IMG]", "odczytuje ustawienia urządzenia do zestawu OUT", CliRead},
};

// Words of the usage line: all of them at most, those outside brackets at least.
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
            if (ArgumentCountFits(C.Arguments, Args.size())) {
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
