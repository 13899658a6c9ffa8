// Any bytes as a units table from a spreadsheet, read with the choice of
// encoding and separator that the first byte names. Findings lie on the file's lines, in order; every
// row has one cell per column; a table without findings gives each unit a
// set that passes the settings check; and the rows, written out again as
// CSV, read back cell for cell. Every broken invariant aborts.
#include "UCsv.h"
#include "UDecls.h"
#include "UFields.h"
#include "UProcs.h"
#include "UUnits.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

void Require(bool Ok, const char *What, long Where = -1)
{
    if (!Ok) {
        std::fprintf(stderr, "invariant broken: %s (%ld)\n", What, Where);
        std::abort();
    }
}

// Every cell quoted, quotes doubled: what any spreadsheet reads back as it was.
std::string Written(const TCsv &Csv)
{
    std::string Out = "\xEF\xBB\xBF";
    for (const TCsvRow &Row : Csv.Rows) {
        for (size_t C = 0; C < Row.Cells.size(); ++C) {
            Out += C ? std::string(1, Csv.Separator) + "\"" : "\"";
            for (char Ch : Row.Cells[C].Text)
                Out += Ch == '"' ? "\"\"" : std::string(1, Ch);
            Out += '"';
        }
        Out += "\r\n";
    }
    return Out;
}

void CheckTable(std::string_view Bytes, const TCsvOptions &Options, long Lines)
{
    const TUnitsTable T = ParseUnitsTable(Bytes, Options);
    int Line = 0, Column = 0;
    for (const TUnitsFinding &F : T.Findings) {
        Require(F.Line >= 1 && F.Line <= Lines, "finding on a line of the file", F.Line);
        Require(F.Column >= 0, "finding's column", F.Column);
        Require(F.Line > Line || (F.Line == Line && F.Column >= Column), "findings in order", F.Line);
        Require(!F.Text.empty() && !UnitsFindingText(T, F).empty(), "finding says what is wrong", F.Line);
        Line = F.Line;
        Column = F.Column;
    }
    Require(T.Fields.size() == T.ColumnNames.size(), "a field slot per column");
    int Previous = 1;
    for (const TUnitsRow &Row : T.Rows) {
        Require(Row.Line > Previous && Row.Line <= Lines, "rows after the header, in order", Row.Line);
        Require(Row.Cells.size() == T.Fields.size(), "a cell per column", Row.Line);
        Previous = Row.Line;
    }
    if (!T.Findings.empty())
        return;
    SetDefaultSettings();
    const auto Base = std::make_unique<TSettings>(Settings);
    for (const TUnitsRow &Row : T.Rows) {
        Settings = *Base;
        Require(ApplyUnitsRow(T, Row, Settings), "a checked row applies", Row.Line);
        Require(CheckSettings().empty(), "a checked row gives a set that passes the check", Row.Line);
        Require(FindUnitsRow(T, Row.Key) == &Row, "a key finds its own row", Row.Line);
    }
}

void CheckRoundTrip(std::string_view Bytes, const TCsvOptions &Options)
{
    const TCsv First = ParseCsv(Bytes, Options);
    if (First.Rows.empty())
        return;
    const TCsv Again = ParseCsv(Written(First), {TTextEncoding::Utf8, First.Separator});
    Require(Again.Rows.size() == First.Rows.size(), "as many rows written and read back");
    for (size_t R = 0; R < First.Rows.size(); ++R) {
        const auto &A = First.Rows[R].Cells, &B = Again.Rows[R].Cells;
        Require(A.size() == B.size(), "as many cells written and read back", static_cast<long>(R));
        for (size_t C = 0; C < A.size(); ++C)
            Require(A[C].Text == B[C].Text, "a cell reads back as written", static_cast<long>(R));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    if (Size == 0)
        return 0;
    constexpr TTextEncoding Encodings[] = {TTextEncoding::Detect, TTextEncoding::Utf8, TTextEncoding::Cp1250};
    constexpr char Separators[] = {'\0', ',', ';'};
    const TCsvOptions Options = {Encodings[Data[0] % 3], Separators[Data[0] / 3 % 3]};
    const std::string_view Bytes(reinterpret_cast<const char *>(Data + 1), Size - 1);
    // CR, LF and CRLF each end a line; a finding may stand on the line after the last break.
    long Lines = 1;
    for (size_t I = 0; I < Bytes.size(); ++I)
        if (Bytes[I] == '\n' || (Bytes[I] == '\r' && (I + 1 >= Bytes.size() || Bytes[I + 1] != '\n')))
            ++Lines;
    CheckTable(Bytes, Options, Lines);
    CheckRoundTrip(Bytes, Options);
    return 0;
}
