// What units and program --units share: how the table's CSV is read and
// how its findings are printed.
#pragma once

#include "CliCommands.h"

#include "UUnits.h"

#include <cstdio>

TCsvOptions CsvOptionsOf(const TCliArgs &Args);
// One line per finding: "UNITS.csv: wiersz 3, kolumna C (SimPin): ...".
void PrintUnitsFindings(const std::string &Path, const TUnitsTable &Table, FILE *To);

class TUnitsBatch;
// The table of program --units opened on its base: ExitOk, or the status
// to end with after its findings (on stderr) or why it cannot be used.
int OpenUnitsBatch(const TCliArgs &Args, const TSettings &Base, TUnitsBatch &Batch);
// After a batch: "Tabela jednostek units.csv: zaprogramowane 2 z 3, wolne 1." (other benches' runs count too).
void PrintUnitsLeft(TUnitsBatch &Batch, const std::string &Path, FILE *To);
