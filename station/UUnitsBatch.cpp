#include "UUnitsBatch.h"

#include "UFiles.h"
#include "UProcs.h"

#include <algorithm>
#include <set>

namespace {

// Tables are typed by hand or exported from a spreadsheet: far below this.
constexpr int64_t MaxTableBytes = 64 << 20;

// Keys are the same in either case of ASCII letters, as file names on Windows are.
std::string Folded(const std::string &Key)
{
    std::string Out = Key;
    for (char &C : Out)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return Out;
}

} // namespace

uint64_t UnitsJournalSlot(const std::string &Key)
{
    // FNV-1a: a slot per key among 2^61, past the append lock.
    uint64_t Hash = 14695981039346656037u;
    for (const char C : Folded(Key)) {
        Hash ^= static_cast<unsigned char>(C);
        Hash *= 1099511628211u;
    }
    return UnitsJournalAppendLock + 1 + (Hash & ((uint64_t{1} << 61) - 1));
}

std::vector<std::string> UnitsJournalKeys(const std::string &Text)
{
    std::vector<std::string> Keys;
    for (size_t Start = 0, End; (End = Text.find('\n', Start)) != std::string::npos; Start = End + 1) {
        std::string Key = Text.substr(Start, End - Start);
        if (!Key.empty() && Key.back() == '\r')
            Key.pop_back();
        if (!Key.empty())
            Keys.push_back(std::move(Key));
    }
    return Keys;
}

std::string UnitsJournalLine(const std::string &Key, bool LastLineWhole)
{
    return (LastLineWhole ? "" : "\n") + Key + "\n";
}

std::string UnitsJournalPath(const std::string &TablePath)
{
    return TablePath + ".used";
}

bool UnitSet(const TUnitsTable &Table, const TUnitsRow &Row, const TSettings &Base, TSettings &Set)
{
    Set = Base;
    return ApplyUnitsRow(Table, Row, Set);
}

bool ReadUnitsTable(const std::string &Path, const TCsvOptions &Options, const TSettings &Base, TUnitsTable &Table,
                    std::string &Error)
{
    const int64_t Size = GetFullFileLength(Path);
    if (Size < 0) {
        Error = FileExistsByName(Path) ? "Błąd odczytu pliku!" : "Brak takiego pliku!";
        return false;
    }
    if (Size > MaxTableBytes) {
        Error = "Błąd odczytu pliku! (" + std::to_string(Size) + " B, tabela jednostek ma najwyżej " +
                std::to_string(MaxTableBytes) + " B)";
        return false;
    }
    std::string Bytes(static_cast<size_t>(Size), '\0');
    if (Size > 0 && !ReadWholeFile(Path, Bytes.data(), static_cast<int32_t>(Size))) {
        Error = "Błąd odczytu pliku! (plik zajęty lub niedostępny)";
        return false;
    }
    Table = ParseUnitsTable(Bytes, Options);
    auto Set = std::make_unique<TSettings>();
    std::vector<TUnitsFinding> More;
    for (const TUnitsRow &Row : Table.Rows) {
        if (!UnitSet(Table, Row, Base, *Set))
            continue; // its cells have their findings already
        const std::string Problem = CheckSettingsOf(*Set);
        if (!Problem.empty())
            More.push_back({Row.Line, 0, TUnitsProblem::SetCheck, TValueError::None,
                            "zestaw jednostki " + Row.Key + ": " + Problem});
    }
    Table.Findings.insert(Table.Findings.end(), More.begin(), More.end());
    std::stable_sort(Table.Findings.begin(), Table.Findings.end(), [](const TUnitsFinding &A, const TUnitsFinding &B) {
        return A.Line != B.Line ? A.Line < B.Line : A.Column < B.Column;
    });
    return true;
}

std::string UnitName(const TUnitsTable &Table, const std::string &Key)
{
    const TUnitsRow *Row = FindUnitsRow(Table, Key);
    return Key + (Row != nullptr ? " (wiersz " + std::to_string(Row->Line) + ")" : "");
}

bool TUnitsBatch::Open(const std::string &TablePath, const TCsvOptions &Options, const TSettings &BaseSet,
                       const std::string &BaseFileName, std::string &Error)
{
    Path = TablePath;
    BaseFile = BaseFileName;
    Base = std::make_unique<TSettings>(BaseSet);
    if (!ReadUnitsTable(Path, Options, *Base, Units, Error)) {
        Error = Path + ": " + Error;
        return false;
    }
    if (!Units.Findings.empty()) {
        Error = Path + ": tabela jednostek ma błędy";
        return false;
    }
    const std::string JournalPath = UnitsJournalPath(Path);
    if (!Journal.Open(JournalPath, Error)) {
        Error = JournalPath + ": nie można otworzyć dziennika jednostek (" + Error + ")";
        return false;
    }
    return true;
}

bool TUnitsBatch::UsedKeys(std::vector<std::string> &Keys, std::string &Error)
{
    if (!Journal.ReadKeys(Keys, Error)) {
        Error = UnitsJournalPath(Path) + ": nie można odczytać dziennika jednostek (" + Error + ")";
        return false;
    }
    for (std::string &Key : Keys)
        Key = Folded(Key);
    std::sort(Keys.begin(), Keys.end());
    return true;
}

bool TUnitsBatch::Take(size_t Port, TRunSet &Set, std::string &Refusal)
{
    std::lock_guard<std::mutex> Guard(Lock);
    std::vector<std::string> Used;
    if (!Journal.IsOpen() || !UsedKeys(Used, Refusal)) {
        if (!Journal.IsOpen())
            Refusal = "tabela jednostek nie jest otwarta";
        return false;
    }
    // A second row for one port would leave the first held for good.
    if (HeldBy.count(Port) != 0) {
        Refusal = "port ma już jednostkę w toku: " + Units.Rows[HeldBy[Port]].Key;
        return false;
    }
    auto IsUsed = [&Used](const std::string &Key) { return std::binary_search(Used.begin(), Used.end(), Folded(Key)); };
    auto HeldHere = [this](size_t Row) {
        return std::any_of(HeldBy.begin(), HeldBy.end(), [Row](const auto &H) { return H.second == Row; }) ||
               std::find(Stuck.begin(), Stuck.end(), Row) != Stuck.end();
    };
    for (size_t R = 0; R < Units.Rows.size(); ++R) {
        const TUnitsRow &Row = Units.Rows[R];
        if (IsUsed(Row.Key) || HeldHere(R))
            continue;
        const uint64_t Slot = UnitsJournalSlot(Row.Key);
        if (!Journal.Hold(Slot))
            continue; // in progress elsewhere
        // Its holder writes the key before it lets go: a row held just now may have been used meanwhile.
        if (!UsedKeys(Used, Refusal)) {
            Journal.Release(Slot);
            return false;
        }
        if (IsUsed(Row.Key)) {
            Journal.Release(Slot);
            continue;
        }
        auto Unit = std::make_unique<TSettings>();
        if (!UnitSet(Units, Row, *Base, *Unit)) {
            Journal.Release(Slot);
            Refusal = "jednostka " + UnitName(Units, Row.Key) + ": wartość spoza zakresu pola";
            return false;
        }
        HeldBy[Port] = R;
        Set.Bytes.assign(reinterpret_cast<const char *>(Unit.get()), sizeof(TSettings));
        Set.File = BaseFile;
        Set.UnitKey = Row.Key;
        return true;
    }
    size_t UsedRows = 0;
    for (const TUnitsRow &Row : Units.Rows)
        UsedRows += IsUsed(Row.Key);
    if (UsedRows == Units.Rows.size())
        Refusal = "tabela jednostek " + Path + " wyczerpana: " +
                  CountedNoun(Units.Rows.size(), "jednostka zaprogramowana", "jednostki zaprogramowane",
                              "jednostek zaprogramowanych");
    else
        Refusal = "brak wolnej jednostki w tabeli " + Path + ": zaprogramowane " + std::to_string(UsedRows) + " z " +
                  std::to_string(Units.Rows.size()) + ", pozostałe w toku";
    return false;
}

bool TUnitsBatch::Settle(size_t Port, TPortResult Result, std::string &Error)
{
    std::lock_guard<std::mutex> Guard(Lock);
    const auto It = HeldBy.find(Port);
    if (It == HeldBy.end())
        return true;
    const size_t R = It->second;
    HeldBy.erase(It);
    const std::string &Key = Units.Rows[R].Key;
    if (Result == TPortResult::Ok && !Journal.Append(Key, Error)) {
        Stuck.push_back(R);
        Error = UnitsJournalPath(Path) + ": nie zapisano zaprogramowanej jednostki " + Key + " (" + Error + ")";
        return false;
    }
    Journal.Release(UnitsJournalSlot(Key));
    return true;
}

std::string TUnitsBatch::UnitOfPort(size_t Port) const
{
    std::lock_guard<std::mutex> Guard(Lock);
    const auto It = HeldBy.find(Port);
    return It == HeldBy.end() ? std::string() : Units.Rows[It->second].Key;
}

TUnitsCount TUnitsBatch::Count()
{
    std::lock_guard<std::mutex> Guard(Lock);
    TUnitsCount Count;
    Count.Rows = Units.Rows.size();
    Count.Held = HeldBy.size() + Stuck.size();
    std::vector<std::string> Used;
    std::string Error;
    if (!Journal.IsOpen() || !UsedKeys(Used, Error))
        return Count;
    // The journal may name keys of no row (a table edited since) and a key twice.
    Used.erase(std::unique(Used.begin(), Used.end()), Used.end());
    for (const TUnitsRow &Row : Units.Rows)
        Count.Used += std::binary_search(Used.begin(), Used.end(), Folded(Row.Key));
    return Count;
}

TSetProvider TUnitsHost::Provider()
{
    return [this](size_t Port, const std::string &, TRunSet &Set, std::string &Refusal) {
        if (!Batch.Take(Port, Set, Refusal)) {
            Inner.PortNote(Port, TNoteKind::Problem, Refusal);
            return false;
        }
        Inner.PortNote(Port, TNoteKind::Preparation, "Jednostka: " + UnitName(Batch.Table(), Set.UnitKey));
        return true;
    };
}

void TUnitsHost::PortFinished(size_t Port, const TPortRecord &Record)
{
    std::string Error;
    if (Batch.Settle(Port, Record.Result, Error)) {
        Inner.PortFinished(Port, Record);
        return;
    }
    Failed = true;
    Inner.PortNote(Port, TNoteKind::Problem, Error);
    TPortRecord Amended = Record;
    Amended.Error = Amended.Error.empty() ? Error : Amended.Error + "; " + Error;
    Inner.PortFinished(Port, Amended);
}
