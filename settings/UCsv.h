// CSV as spreadsheets write it on Polish desktops: comma or semicolon
// separators, quoted cells that hold separators, quotes and line breaks,
// UTF-8 with or without a byte order mark or Windows-1250, CRLF, LF or CR.
// Works on bytes given to it; reading the file is the caller's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TTextEncoding : uint8_t {
    Detect, // UTF-8 when there is a byte order mark or the bytes are well-formed UTF-8, else Windows-1250
    Utf8,
    Cp1250,
};

struct TCsvOptions {
    TTextEncoding Encoding = TTextEncoding::Detect;
    char Separator = 0; // ',' or ';'; 0 takes the one the first row holds more of
};

struct TCsvCell {
    std::string Text; // UTF-8; a line break inside a quoted cell is "\n"
    int Line;         // the file's line on which the cell begins, from 1
};

struct TCsvRow {
    int Line; // the line of its first cell
    std::vector<TCsvCell> Cells;
};

enum class TCsvProblem : uint8_t {
    Utf16,         // the file is UTF-16 (a spreadsheet's "Unicode text"), not CSV as read here
    NotUtf8,       // a cell that is no UTF-8 although UTF-8 was chosen or marked
    UnclosedQuote, // a quoted cell that runs to the end of the file
    TextAfterQuote // characters between a closing quote and the next separator
};

struct TCsvFinding {
    int Line, Column; // Column: the cell's number in its row, from 1
    TCsvProblem Problem;
};

struct TCsv {
    TTextEncoding Encoding = TTextEncoding::Utf8; // what the text was read as
    char Separator = ',';
    bool ByteOrderMark = false;
    std::vector<TCsvRow> Rows; // without empty lines
    std::vector<TCsvFinding> Findings;
};

TCsv ParseCsv(std::string_view Bytes, const TCsvOptions &Options = {});

// The finding in Polish (UTF-8), without its place.
std::string CsvProblemText(TCsvProblem Problem);
