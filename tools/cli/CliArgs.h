// The command line of trackwarden-cli: one CLI11 declaration per subcommand,
// from which the parsing, the usage text and the manual page's synopsis come.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

// What a subcommand was given. The positional words are indexed in the
// order of its usage line (image SET OUT: [0] SET, [1] OUT).
struct TCliArgs {
    std::array<std::string, 3> Words;
    std::vector<std::string> Ports;
    std::string Base, Image, Log, Assign;
    std::string Units, Make, Separator, Encoding; // a units table, its sets' folder, how its CSV is read
    bool Json = false, Details = false, None = false;

    const std::string &operator[](size_t I) const { return Words[I]; }
};

// One line on stderr, prefixed with the program's name.
void Complain(const std::string &Message);

// Parses argv and runs the subcommand; the exit status (2 for bad usage).
int RunCommandLine(int argc, char **argv);

// "program SET --port PORT... [--json] [--log PLIK]" for every subcommand
// but the hidden ones, in the order of the usage.
struct TSynopsis {
    std::string Name;
    std::string Line;    // the name and its arguments
    std::string Summary; // what it does, one line
    std::string Roff;    // Line in roff, with bold options and italic values
};
std::vector<TSynopsis> CommandSynopses();
void PrintUsage(FILE *To);
// "złe argumenty: " and the subcommand's synopsis, for what its declaration cannot say.
void ComplainAboutUsage(const std::string &Name);
