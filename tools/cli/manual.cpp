// trackwarden-cli-manual LANGUAGE < PAGE > PAGE: the manual page with its
// synopsis written from the CLI's declaration, one entry per subcommand, so
// that the page and the usage never differ. Built to make the package's
// pages; never installed.
#include "CliArgs.h"

#include <iostream>
#include <string>

namespace {

// The usage is Polish; an English page names the log's file in English.
std::string InLanguage(std::string Roff, const std::string &Language)
{
    if (Language == "en")
        for (size_t At; (At = Roff.find("\\fIPLIK\\fR")) != std::string::npos;)
            Roff.replace(At, 10, "\\fIFILE\\fR");
    return Roff;
}

bool StartsWith(const std::string &Line, const char *Prefix)
{
    return Line.rfind(Prefix, 0) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: trackwarden-cli-manual en|pl < PAGE > PAGE\n";
        return 2;
    }
    const std::string Language = argv[1];
    // The synopsis runs from its heading to the marker, or to the next heading.
    const char *const End = ".\\\" End of the synopsis.";
    bool InSynopsis = false, Written = false;
    for (std::string Line; std::getline(std::cin, Line);) {
        if (InSynopsis && !StartsWith(Line, End) && !StartsWith(Line, ".SH "))
            continue;
        InSynopsis = false;
        std::cout << Line << '\n';
        if (StartsWith(Line, ".SH SYNOPSIS") || StartsWith(Line, ".SH SKŁADNIA")) {
            for (const TSynopsis &S : CommandSynopses())
                std::cout << ".SY trackwarden\\-cli\n" << InLanguage(S.Roff, Language) << "\n.YS\n";
            std::cout << ".SY trackwarden\\-cli\n\\fB\\-\\-help\\fR\n.YS\n";
            InSynopsis = Written = true;
        }
    }
    if (!Written) {
        std::cerr << "trackwarden-cli-manual: the page has no synopsis heading\n";
        return 1;
    }
    return std::cout ? 0 : 1;
}
