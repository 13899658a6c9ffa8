#include "UUnits.h"

#include "Cp1250.h"
#include "UTextSlots.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Spreadsheet column letters: 1 A, 26 Z, 27 AA.
std::string ColumnLetters(int Column)
{
    std::string Out;
    for (; Column > 0; Column = (Column - 1) / 26)
        Out.insert(Out.begin(), static_cast<char>('A' + (Column - 1) % 26));
    return Out;
}

std::string FoldedKey(std::string_view Key)
{
    std::string Out(Key);
    for (char &C : Out)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return Out;
}

// A header's name in a finding's place: as it stands, or quoted when it needs escaping.
std::string ShownName(const std::string &Name)
{
    const std::string Quoted = QuotedUtf8(Name);
    return Quoted.size() == Name.size() + 2 ? Name : Quoted;
}

bool Blank(std::string_view Text)
{
    return Text.find_first_not_of(" \t") == std::string_view::npos;
}

// The set of a unit is written as <key>.set and its key goes into one line
// of a journal: no character a file name cannot hold on Windows, no control
// character (C1 ones included), no trailing dot or blank (Windows drops
// them), no device name.
bool KeyIsFileName(std::string_view Key)
{
    for (size_t I = 0; I < Key.size(); ++I) {
        const auto U = static_cast<unsigned char>(Key[I]);
        const auto Next = I + 1 < Key.size() ? static_cast<unsigned char>(Key[I + 1]) : 0;
        if (U < 0x20 || U == 0x7F || (U == 0xC2 && Next >= 0x80 && Next <= 0x9F) ||
            std::string_view("<>:\"/\\|?*").find(Key[I]) != std::string_view::npos)
            return false;
    }
    if (Key.empty() || Key.back() == '.' || Key.back() == ' ')
        return false;
    const std::string Stem = FoldedKey(Key.substr(0, Key.find('.')));
    for (const char *Device : {"con", "prn", "aux", "nul"})
        if (Stem == Device)
            return false;
    const bool Numbered = Stem.size() == 4 && Stem[3] >= '1' && Stem[3] <= '9';
    return !(Numbered && (Stem.rfind("com", 0) == 0 || Stem.rfind("lpt", 0) == 0));
}

TUnitsProblem ProblemOf(TCsvProblem Problem)
{
    switch (Problem) {
    case TCsvProblem::Utf16: return TUnitsProblem::Utf16;
    case TCsvProblem::NotUtf8: return TUnitsProblem::NotUtf8;
    case TCsvProblem::UnclosedQuote: return TUnitsProblem::UnclosedQuote;
    case TCsvProblem::TextAfterQuote: return TUnitsProblem::TextAfterQuote;
    }
    return TUnitsProblem::Utf16;
}

class TChecker {
public:
    TChecker(const TCsv &Csv, TUnitsTable &Out) : Csv(Csv), T(Out) {}

    void Run()
    {
        for (const TCsvFinding &F : Csv.Findings) {
            T.Findings.push_back(
                {F.Line, F.Column, ProblemOf(F.Problem), TValueError::None, CsvProblemText(F.Problem)});
        }
        if (Csv.Rows.empty()) {
            if (Csv.Findings.empty())
                Find(1, 0, TUnitsProblem::Empty, "plik jest pusty: brak nagłówka z nazwami pól");
            return;
        }
        Header(Csv.Rows.front());
        for (size_t R = 1; R < Csv.Rows.size(); ++R)
            Row(Csv.Rows[R]);
        std::stable_sort(T.Findings.begin(), T.Findings.end(), [](const TUnitsFinding &A, const TUnitsFinding &B) {
            return A.Line != B.Line ? A.Line < B.Line : A.Column < B.Column;
        });
    }

private:
    void Find(int Line, int Column, TUnitsProblem Problem, std::string Text)
    {
        T.Findings.push_back({Line, Column, Problem, TValueError::None, std::move(Text)});
    }

    void Header(const TCsvRow &H)
    {
        T.KeyName = H.Cells[0].Text;
        if (H.Cells.size() == 1)
            Find(H.Line, 0, TUnitsProblem::NoFieldColumns,
                 "w nagłówku jest tylko kolumna klucza; pola rozdziela się przecinkiem albo średnikiem");
        // A spreadsheet may write an empty column past the last one; only a used one needs a name.
        std::vector<bool> Used(H.Cells.size());
        for (size_t R = 1; R < Csv.Rows.size(); ++R)
            for (size_t C = 0; C < Used.size() && C < Csv.Rows[R].Cells.size(); ++C)
                Used[C] = Used[C] || !Csv.Rows[R].Cells[C].Text.empty();
        std::unordered_map<const TFieldDesc *, int> Seen;
        for (size_t C = 1; C < H.Cells.size(); ++C) {
            const std::string &Name = H.Cells[C].Text;
            const int Column = static_cast<int>(C) + 1;
            const TFieldDesc *F = FieldByName(Name);
            T.ColumnNames.push_back(Name);
            if (Name.empty()) {
                if (Used[C])
                    Find(H.Cells[C].Line, Column, TUnitsProblem::UnnamedColumn, "kolumna z wartościami nie ma nazwy");
            } else if (F == nullptr) {
                Find(H.Cells[C].Line, Column, TUnitsProblem::UnknownColumn,
                     "nieznane pole " + QuotedUtf8(Name) + " (nazwy pól jak w wyniku polecenia dump)");
            } else if (const auto It = Seen.find(F); It != Seen.end()) {
                Find(H.Cells[C].Line, Column, TUnitsProblem::DuplicateColumn,
                     "pole " + Name + " jest już w kolumnie " + ColumnLetters(It->second));
                F = nullptr;
            } else {
                Seen.emplace(F, Column);
            }
            T.Fields.push_back(F);
        }
    }

    void Row(const TCsvRow &R)
    {
        const bool AllEmpty =
            std::all_of(R.Cells.begin(), R.Cells.end(), [](const TCsvCell &C) { return C.Text.empty(); });
        if (AllEmpty)
            return;
        const size_t Width = T.Fields.size() + 1;
        if (R.Cells.size() != Width)
            Find(R.Line, static_cast<int>(std::min(R.Cells.size(), Width)) + 1, TUnitsProblem::CellCount,
                 "wiersz ma " + CountedNoun(R.Cells.size(), "komórkę", "komórki", "komórek") + ", a nagłówek " +
                     std::to_string(Width));

        TUnitsRow Unit{R.Line, R.Cells[0].Text, {}};
        for (size_t C = 1; C < Width; ++C)
            Unit.Cells.push_back(C < R.Cells.size() ? R.Cells[C].Text : std::string());
        Key(R.Cells[0], Unit.Key);
        for (size_t C = 0; C + 1 < Width && C + 1 < R.Cells.size(); ++C)
            Value(R.Cells[C + 1], static_cast<int>(C) + 2, T.Fields[C]);
        T.Rows.push_back(std::move(Unit));
    }

    void Key(const TCsvCell &Cell, const std::string &Key)
    {
        if (Blank(Key)) {
            Find(Cell.Line, 1, TUnitsProblem::EmptyKey, "pusty klucz jednostki");
            return;
        }
        if (!KeyIsFileName(Key))
            Find(Cell.Line, 1, TUnitsProblem::KeyNotFileName,
                 "klucz " + QuotedUtf8(Key) +
                     " nie może być nazwą pliku zestawu (znaki < > : \" / \\ | ? *, znaki sterujące, kropka lub spacja "
                     "na końcu, nazwy urządzeń jak CON czy COM1)");
        const auto [It, New] = Keys.emplace(FoldedKey(Key), Cell.Line);
        if (!New)
            Find(Cell.Line, 1, TUnitsProblem::DuplicateKey,
                 "klucz " + QuotedUtf8(Key) + " powtarza klucz z wiersza " + std::to_string(It->second));
    }

    void Value(const TCsvCell &Cell, int Column, const TFieldDesc *F)
    {
        // A cell that is no UTF-8 has its finding from the file's reading already.
        if (F == nullptr || Cell.Text.empty() || !IsUtf8(Cell.Text))
            return;
        TFieldValue V;
        const int Limit = F->Kind == TFieldKind::Text ? UnitsTextLimit(*F) : 0;
        const TValueError E = FieldValueFromText(*F, Cell.Text, V, Limit);
        if (E == TValueError::None)
            return;
        T.Findings.push_back({Cell.Line, Column, TUnitsProblem::Value, E, ValueErrorText(*F, Cell.Text, E, Limit)});
    }

    const TCsv &Csv;
    TUnitsTable &T;
    std::unordered_map<std::string, int> Keys; // folded key -> its first line
};

} // namespace

TUnitsTable ParseUnitsTable(std::string_view Bytes, const TCsvOptions &Options)
{
    const TCsv Csv = ParseCsv(Bytes, Options);
    TUnitsTable T;
    T.Encoding = Csv.Encoding;
    T.Separator = Csv.Separator;
    TChecker(Csv, T).Run();
    return T;
}

int UnitsTextLimit(const TFieldDesc &F)
{
    // A longer SMS text would fail the settings check of that unit's set.
    return TextSlotOfField(F) >= 0 ? SmsTextSlotLimit : F.Capacity;
}

bool ApplyUnitsRow(const TUnitsTable &Table, const TUnitsRow &Row, TSettings &Set)
{
    std::vector<std::pair<const TFieldDesc *, TFieldValue>> Values;
    for (size_t C = 0; C < Row.Cells.size() && C < Table.Fields.size(); ++C) {
        const TFieldDesc *F = Table.Fields[C];
        if (F == nullptr || Row.Cells[C].empty())
            continue;
        TFieldValue V;
        if (FieldValueFromText(*F, Row.Cells[C], V, F->Kind == TFieldKind::Text ? UnitsTextLimit(*F) : 0) !=
            TValueError::None)
            return false;
        Values.emplace_back(F, std::move(V));
    }
    for (const auto &[F, V] : Values)
        SetFieldValue(Set, *F, V);
    return true;
}

bool SameUnitsKey(std::string_view A, std::string_view B)
{
    return FoldedKey(A) == FoldedKey(B);
}

const TUnitsRow *FindUnitsRow(const TUnitsTable &Table, std::string_view Key)
{
    for (const TUnitsRow &Row : Table.Rows)
        if (SameUnitsKey(Row.Key, Key))
            return &Row;
    return nullptr;
}

std::string UnitsFindingText(const TUnitsTable &Table, const TUnitsFinding &Finding)
{
    std::string Place = "wiersz " + std::to_string(Finding.Line);
    if (Finding.Column > 0) {
        Place += ", kolumna " + ColumnLetters(Finding.Column);
        const auto C = static_cast<size_t>(Finding.Column);
        if (C == 1 && !Table.KeyName.empty())
            Place += " (" + ShownName(Table.KeyName) + ")";
        else if (C >= 2 && C - 2 < Table.ColumnNames.size() && !Table.ColumnNames[C - 2].empty())
            Place += " (" + ShownName(Table.ColumnNames[C - 2]) + ")";
    }
    return Place + ": " + Finding.Text;
}
