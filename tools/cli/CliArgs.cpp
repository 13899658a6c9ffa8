#include "CliArgs.h"
#include "CliCommands.h"

#include "UChildProcess.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>

namespace {

struct TCommand {
    const char *Name;
    const char *Summary;
    int (*Run)(const TCliArgs &Args);
    // Declares the words and options on the subcommand, each into its field of Args.
    std::function<void(CLI::App &Sub, TCliArgs &Args)> Declare;
};

void Word(CLI::App &Sub, const char *Name, std::string &Into)
{
    Sub.add_option(Name, Into)->required();
}

void Ports(CLI::App &Sub, TCliArgs &Args)
{
    Sub.add_option("--port", Args.Ports)->required()->allow_extra_args(false)->type_name("PORT");
}

void Reports(CLI::App &Sub, TCliArgs &Args)
{
    Sub.add_flag("--json", Args.Json);
    Sub.add_option("--log", Args.Log)->type_name("PLIK");
}

// How a units table's CSV is read, where detection is not wanted.
void CsvChoices(CLI::App &Sub, TCliArgs &Args)
{
    Sub.add_option("--separator", Args.Separator)->check(CLI::IsMember({",", ";"}).description(""))->type_name("ZNAK");
    Sub.add_option("--encoding", Args.Encoding)
        ->check(CLI::IsMember({"utf-8", "cp1250"}, CLI::ignore_case).description(""))
        ->type_name("KODOWANIE");
}

const TCommand Commands[] = {
    {"defaults", "zapisuje nowy zestaw ustawień domyślnych (13676 B)", CliDefaults,
     [](CLI::App &S, TCliArgs &A) { Word(S, "OUT", A.Words[0]); }},
    {"image", "sprawdza zestaw i zapisuje obraz pamięci urządzenia (8192 B)", CliImage,
     [](CLI::App &S, TCliArgs &A) {
         Word(S, "SET", A.Words[0]);
         Word(S, "OUT", A.Words[1]);
     }},
    {"check", "sprawdza zestaw przed programowaniem", CliCheck,
     [](CLI::App &S, TCliArgs &A) { Word(S, "SET", A.Words[0]); }},
    {"dump", "wypisuje zestaw, jedno pole w wierszu", CliDump,
     [](CLI::App &S, TCliArgs &A) { Word(S, "SET", A.Words[0]); }},
    {"diff", "wypisuje pola, którymi zestawy się różnią (zestaw albo obraz pamięci)", CliDiff,
     [](CLI::App &S, TCliArgs &A) {
         Word(S, "SET_A", A.Words[0]);
         Word(S, "SET_B", A.Words[1]);
     }},
    {"decode", "zamienia obraz pamięci (8192 B) na zestaw, na bazie SET albo domyślnego", CliDecode,
     [](CLI::App &S, TCliArgs &A) {
         Word(S, "IMG", A.Words[0]);
         Word(S, "OUT", A.Words[1]);
         S.add_option("--base", A.Base)->type_name("SET");
     }},
    {"program", "programuje urządzenie zestawem (PORT: COMn albo ścieżka urządzenia)", CliProgram,
     [](CLI::App &S, TCliArgs &A) {
         Word(S, "SET", A.Words[0]);
         Ports(S, A);
         S.add_option("--units", A.Units)->type_name("TABELA");
         CsvChoices(S, A);
         Reports(S, A);
     }},
    {"compare", "porównuje zestaw z ustawieniami urządzenia (--details: które się różnią)", CliCompare,
     [](CLI::App &S, TCliArgs &A) {
         Word(S, "SET", A.Words[0]);
         Ports(S, A);
         S.add_flag("--details", A.Details);
         Reports(S, A);
     }},
    {"read", "odczytuje ustawienia urządzenia do zestawu OUT (przy wielu portach OUT i IMG to foldery)", CliRead,
     [](CLI::App &S, TCliArgs &A) {
         Ports(S, A);
         Word(S, "OUT", A.Words[0]);
         S.add_option("--base", A.Base)->type_name("SET");
         S.add_option("--image", A.Image)->type_name("IMG");
         Reports(S, A);
     }},
    {"units", "sprawdza tabelę jednostek na zestawie SET; --make: zestaw każdej jednostki w KATALOG", CliUnits,
     [](CLI::App &S, TCliArgs &A) {
         Word(S, "TABELA", A.Words[0]);
         Word(S, "SET", A.Words[1]);
         S.add_option("--make", A.Make)->type_name("KATALOG");
         CsvChoices(S, A);
     }},
    {"ports", "porty szeregowe systemu; --assign kieruje Sys/COMn na port", CliPorts,
     [](CLI::App &S, TCliArgs &A) {
         CLI::Option *Assign = S.add_option("--assign", A.Assign)->type_name("COMn");
         CLI::Option *Device = S.add_option("DEVICE", A.Words[0])->needs(Assign);
         S.add_flag("--none", A.None)->needs(Assign)->excludes(Device);
     }},
    // Started by a station only: not in the usage.
    {ChildModeWord, "", CliChild,
     [](CLI::App &S, TCliArgs &A) {
         S.group("");
         Word(S, "DOWN", A.Words[0]);
         Word(S, "UP", A.Words[1]);
         Word(S, "TOKEN", A.Words[2]);
     }},
};

// Every subcommand declared on App, each into its own TCliArgs.
struct TDeclared {
    CLI::App App{"", "trackwarden-cli"};
    std::vector<CLI::App *> Subs;
    std::vector<TCliArgs> Args = std::vector<TCliArgs>(std::size(Commands));

    TDeclared()
    {
        App.set_help_flag("--help,-h");
        App.require_subcommand(0, 1);
        for (size_t I = 0; I < std::size(Commands); ++I) {
            CLI::App *Sub = App.add_subcommand(Commands[I].Name, Commands[I].Summary);
            Commands[I].Declare(*Sub, Args[I]);
            Subs.push_back(Sub);
        }
    }
};

// How a synopsis is written: plain for the usage, with roff's fonts for the manual page.
struct TStyle {
    std::string (*Option)(const std::string &Name);
    std::string (*Value)(const std::string &Name);
};

std::string Plain(const std::string &Text)
{
    return Text;
}

std::string RoffEscaped(const std::string &Text)
{
    std::string Out;
    for (const char C : Text)
        Out += C == '-' ? std::string("\\-") : C == '\\' ? std::string("\\e") : std::string(1, C);
    return Out;
}

std::string RoffBold(const std::string &Text)
{
    return "\\fB" + RoffEscaped(Text) + "\\fR";
}

std::string RoffItalic(const std::string &Text)
{
    return "\\fI" + RoffEscaped(Text) + "\\fR";
}

const TStyle PlainStyle = {Plain, Plain};
const TStyle RoffStyle = {RoffBold, RoffItalic};

// One word of the synopsis: "SET", "--port PORT...", "--json".
std::string Shown(const CLI::Option &O, const TStyle &Style)
{
    const std::string Many = O.get_items_expected_max() > 1 ? "..." : "";
    if (O.get_positional())
        return Style.Value(O.get_name()) + Many;
    if (O.get_items_expected_max() == 0)
        return Style.Option(O.get_name());
    return Style.Option(O.get_name()) + " " + Style.Value(O.get_type_name()) + Many;
}

// Options in their declared order; one that needs another follows it in the
// same brackets, and those that exclude each other are joined by "|".
std::string SynopsisOf(const CLI::App &Sub, const TStyle &Style = PlainStyle)
{
    std::string Line = Style.Option(Sub.get_name());
    const std::vector<const CLI::Option *> Options = Sub.get_options();
    for (const CLI::Option *O : Options) {
        if (O == Sub.get_help_ptr() || !O->get_needs().empty())
            continue;
        std::string Text = Shown(*O, Style);
        std::string Followers;
        for (const CLI::Option *F : Options) {
            if (F->get_needs().count(const_cast<CLI::Option *>(O)) == 0)
                continue;
            const bool Alternative = !Followers.empty() && !F->get_excludes().empty();
            Followers += (Alternative ? "|" : " ") + Shown(*F, Style);
        }
        Text += Followers;
        Line += " " + (O->get_required() ? Text : "[" + Text + "]");
    }
    return Line;
}

// CLI11's own messages are English; ours say the same in the tool's words.
void ComplainAboutUsage(const CLI::ParseError &Error, const TDeclared &Declared)
{
    const CLI::App *Sub = nullptr;
    for (const CLI::App *S : Declared.Subs)
        if (S->parsed())
            Sub = S;
    if (Sub == nullptr) {
        const std::vector<std::string> Rest = Declared.App.remaining();
        if (!Rest.empty())
            Complain((Rest[0][0] == '-' ? "nieznana opcja: " : "nieznane polecenie: ") + Rest[0]);
        return;
    }
    for (const std::string &Rest : Sub->remaining()) {
        if (Rest.size() > 1 && Rest[0] == '-' && Rest != "--") {
            Complain("nieznana opcja: " + Rest);
            return;
        }
    }
    // CLI11 names the option first: "--log: 1 required TEXT missing".
    const std::string What = Error.what();
    const std::string Name = What.substr(0, What.find(':'));
    const CLI::Option *Port = Sub->get_option_no_throw("--port");
    if (dynamic_cast<const CLI::ArgumentMismatch *>(&Error) != nullptr && Name.rfind("--", 0) == 0)
        Complain("opcja " + Name + ": brak wartości albo podana więcej niż raz");
    else if (dynamic_cast<const CLI::RequiredError *>(&Error) != nullptr && Port != nullptr && Port->count() == 0)
        Complain(PortUsage());
    else
        Complain("złe argumenty: " + SynopsisOf(*Sub));
}

} // namespace

void Complain(const std::string &Message)
{
    std::fprintf(stderr, "trackwarden-cli: %s\n", Message.c_str());
}

std::vector<TSynopsis> CommandSynopses()
{
    const TDeclared Declared;
    std::vector<TSynopsis> Out;
    for (const CLI::App *Sub : Declared.Subs)
        if (!Sub->get_group().empty())
            Out.push_back({Sub->get_name(), SynopsisOf(*Sub), Sub->get_description(), SynopsisOf(*Sub, RoffStyle)});
    return Out;
}

void ComplainAboutUsage(const std::string &Name)
{
    for (const TSynopsis &S : CommandSynopses())
        if (S.Name == Name)
            Complain("złe argumenty: " + S.Line);
}

void PrintUsage(FILE *To)
{
    std::fputs("Użycie:\n", To);
    for (const TSynopsis &S : CommandSynopses()) {
        if (S.Line.size() > 28)
            std::fprintf(To, "  trackwarden-cli %s\n  %-44s %s\n", S.Line.c_str(), "", S.Summary.c_str());
        else
            std::fprintf(To, "  trackwarden-cli %-28s %s\n", S.Line.c_str(), S.Summary.c_str());
    }
    std::fputs("program, compare i read: --port można podać wiele razy; --json: wynik każdego przebiegu jako JSON na\n"
               "standardowym wyjściu; --log PLIK: dopisuje wiersz o każdym przebiegu. Opcje i argumenty w dowolnej\n"
               "kolejności; po -- same argumenty.\n"
               "program --units TABELA: każde urządzenie dostaje kolejną wolną jednostkę tabeli (CSV); zaprogramowane\n"
               "jednostki zapisuje TABELA.used. --separator , albo ; i --encoding utf-8 albo cp1250 zamiast wykrywania.\n",
               To);
    std::fputs("Kod wyjścia: 0 powodzenie, 1 wynik negatywny, 2 błędne wywołanie, błąd pliku lub utracone wyjście,\n"
               "130/143 przebieg przerwany (Ctrl-C, SIGTERM).\n",
               To);
}

int RunCommandLine(int argc, char **argv)
{
    auto Declared = std::make_unique<TDeclared>();
    try {
        Declared->App.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        PrintUsage(stdout);
        return ExitOk;
    } catch (const CLI::ParseError &Error) {
        ComplainAboutUsage(Error, *Declared);
        PrintUsage(stderr);
        return ExitFailure;
    }
    for (size_t I = 0; I < Declared->Subs.size(); ++I)
        if (Declared->Subs[I]->parsed())
            return Commands[I].Run(Declared->Args[I]);
    PrintUsage(stderr);
    return ExitFailure;
}
