// A units table: one row per device of a batch, each giving that unit's
// values on top of a base set. The first column is the unit's key (under
// any name), every other column a field named as dump names it
// ("SimPin", "Users[1].PhoneNumber", "Inputs[3].Users[2].Functions[1].SmsText").
// A cell holds the value as a spreadsheet shows it (FieldValueFromText);
// an empty cell leaves the base's value. The table is read from CSV bytes
// (UCsv.h) and checked whole: every finding carries its line and column.
#pragma once

#include "UCsv.h"
#include "UDecls.h"
#include "UFields.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TUnitsProblem : uint8_t {
    Utf16,           // these four: the file itself, see TCsvProblem
    NotUtf8,
    UnclosedQuote,
    TextAfterQuote,
    Empty,           // no header row
    NoFieldColumns,  // the header holds the key column only (a wrong separator, most likely)
    UnknownColumn,   // no field of that name
    UnnamedColumn,   // a column without a name that holds values
    DuplicateColumn, // a field named by two columns
    CellCount,       // a row with another number of cells than the header
    EmptyKey,        // an empty or blank key
    DuplicateKey,    // the same key (letters in either case) as an earlier row
    KeyNotFileName,  // a key that cannot name the unit's set file on Windows or Linux
    Value,           // a cell that is no value of its field: see TUnitsFinding::Value
    SetCheck,        // the unit's set (base and row) fails the check before a run
};

struct TUnitsFinding {
    int Line;   // the file's line, from 1
    int Column; // the cell's number in its row, from 1 (the key's is 1); 0 for the row or file as a whole
    TUnitsProblem Problem;
    TValueError Value; // when Problem is Value, else None
    std::string Text;  // Polish, UTF-8, without the place
};

struct TUnitsRow {
    int Line;                       // where the row begins
    std::string Key;                // UTF-8
    std::vector<std::string> Cells; // UTF-8, one per column after the key; "" keeps the base's value
};

struct TUnitsTable {
    TTextEncoding Encoding = TTextEncoding::Utf8; // what the file was read as
    char Separator = ',';
    std::string KeyName;                    // the key column's header
    std::vector<std::string> ColumnNames;   // the headers after the key's
    std::vector<const TFieldDesc *> Fields; // the field of each column; nullptr for one that names none
    std::vector<TUnitsRow> Rows;            // in table order; rows of empty cells only are left out
    std::vector<TUnitsFinding> Findings;    // by line, then column; a table with any is not to be used
};

TUnitsTable ParseUnitsTable(std::string_view Bytes, const TCsvOptions &Options = {});

// Writes the row's values onto Set, which holds the base. False, and Set
// untouched, when a cell is no value of its field (a table with findings).
bool ApplyUnitsRow(const TUnitsTable &Table, const TUnitsRow &Row, TSettings &Set);

// The row of that key or nullptr. Keys are compared as file names are on
// Windows: ASCII letters in either case are the same.
const TUnitsRow *FindUnitsRow(const TUnitsTable &Table, std::string_view Key);
bool SameUnitsKey(std::string_view A, std::string_view B);

// The most characters a cell may give the text field F: its capacity, or
// what one slot of the device image holds for an SMS text.
int UnitsTextLimit(const TFieldDesc &F);

// The finding with its place: "wiersz 3, kolumna C (SimPin): ...".
std::string UnitsFindingText(const TUnitsTable &Table, const TUnitsFinding &Finding);
