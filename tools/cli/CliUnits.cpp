// units: a units table checked whole on its base set, and with --make each
// unit's set written as <key>.set; and what program --units shares with it.
#include "CliUnits.h"
#include "CliFiles.h"
#include "CliSystem.h"

#include "UFiles.h"
#include "UUnitsBatch.h"

#include <filesystem>
#include <memory>

TCsvOptions CsvOptionsOf(const TCliArgs &Args)
{
    TCsvOptions Options;
    Options.Separator = Args.Separator.empty() ? 0 : Args.Separator[0];
    if (!Args.Encoding.empty())
        Options.Encoding = Args.Encoding == "utf-8" || Args.Encoding == "UTF-8" ? TTextEncoding::Utf8
                                                                                : TTextEncoding::Cp1250;
    return Options;
}

void PrintUnitsFindings(const std::string &Path, const TUnitsTable &Table, FILE *To)
{
    for (const TUnitsFinding &F : Table.Findings)
        std::fprintf(To, "%s: %s\n", Path.c_str(), UnitsFindingText(Table, F).c_str());
}

int CliUnits(const TCliArgs &Args)
{
    const std::string &Path = Args[0];
    auto Base = std::make_unique<TSettings>();
    if (!ReadSetFile(Args[1], *Base))
        return ExitFailure;
    if (!Args.Make.empty() && !std::filesystem::is_directory(Args.Make)) {
        Complain(Args.Make + ": to nie istniejący folder");
        return ExitFailure;
    }
    TUnitsTable Table;
    std::string Error;
    if (!ReadUnitsTable(Path, CsvOptionsOf(Args), *Base, Table, Error)) {
        Complain(Path + ": " + Error);
        return ExitFailure;
    }
    if (!Table.Findings.empty()) {
        PrintUnitsFindings(Path, Table, stdout);
        return ExitNegative;
    }
    std::printf("%s: %s, %s, separator %c\n", Path.c_str(),
                CountedNoun(Table.Rows.size(), "jednostka", "jednostki", "jednostek").c_str(),
                CountedNoun(Table.Fields.size(), "pole", "pola", "pól").c_str(), Table.Separator);
    if (Args.Make.empty())
        return ExitOk;
    const bool Ends = Args.Make.back() == '/' || Args.Make.back() == '\\';
    auto Set = std::make_unique<TSettings>();
    for (const TUnitsRow &Row : Table.Rows) {
        std::string Name;
        if (!NativeFileName(Row.Key + ".set", Name)) {
            Complain(Path + ": klucz " + Row.Key + " nie może być nazwą pliku w tym systemie");
            return ExitFailure;
        }
        const std::string Out = Args.Make + (Ends ? "" : "/") + Name;
        if (!FilesApart({Path, Args[1]}, {Out}) || !UnitSet(Table, Row, *Base, *Set) ||
            !WriteOutFile(Out, Set.get(), sizeof(TSettings)))
            return ExitFailure;
    }
    std::printf("Zapisano %s w %s.\n", CountedNoun(Table.Rows.size(), "zestaw", "zestawy", "zestawów").c_str(),
                Args.Make.c_str());
    return ExitOk;
}

int OpenUnitsBatch(const TCliArgs &Args, const TSettings &Base, TUnitsBatch &Batch)
{
    std::string Error;
    if (Batch.Open(Args.Units, CsvOptionsOf(Args), Base, Args[0], Error))
        return ExitOk;
    PrintUnitsFindings(Args.Units, Batch.Table(), stderr);
    Complain(Error);
    return Batch.Table().Findings.empty() ? ExitFailure : ExitNegative;
}

void PrintUnitsLeft(TUnitsBatch &Batch, const std::string &Path, FILE *To)
{
    const TUnitsCount Count = Batch.Count();
    std::fprintf(To, "Tabela jednostek %s: zaprogramowane %zu z %zu, wolne %zu.\n", Path.c_str(), Count.Used, Count.Rows,
                 Count.Left());
    std::fflush(To);
}
