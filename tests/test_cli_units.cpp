// trackwarden-cli with a units table: the table checked with each finding's
// place, a set per unit, and a batch programmed from it against simulators
// (a row used only by a programmed unit, given back by a failure and by
// Ctrl-C, handed out in table order, refused once the table has run out,
// and read back from a device as that unit's values).
#include "URunLines.h"
#include "USha256.h"
#include "test_cli_json.h"
#include "test_cli_support.h"
#include "test_run_support.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

namespace {

using TLines = std::vector<std::string>;

TLines SplitLines(const std::string &Text)
{
    TLines Lines;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);)
        Lines.push_back(Line);
    return Lines;
}

std::string FileText(const std::string &Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

void WriteText(const std::string &Path, const std::string &Text)
{
    std::ofstream(Path, std::ios::binary) << Text;
}

// The set's fields as dump prints them, by name.
std::map<std::string, std::string> Dumped(const std::string &Set, const std::string &Scratch)
{
    const TProgramResult R = RunProgram("trackwarden-cli", {"dump", Set}, Scratch);
    EXPECT_EQ(R.Status, 0) << R.Err;
    std::map<std::string, std::string> Fields;
    for (const std::string &Line : SplitLines(R.Out))
        if (const size_t At = Line.find(" = "); At != std::string::npos)
            Fields[Line.substr(0, At)] = Line.substr(At + 3);
    return Fields;
}

class TUnitsFolder {
public:
    TUnitsFolder()
    {
        SetDefaultSettings();
        WriteBytes(Base, &Settings, sizeof Settings);
    }
    TProgramFolder Folder;
    const std::string Base = Folder.Path + "base.set";
    const std::string Table = Folder.Path + "units.csv";
};

// Windows-1250, semicolons, CRLF, a quoted cell with the separator and quotes.
const std::string Cp1250Table = "Jednostka;SimPin;Users[1].PhoneNumber;Inputs[3].Users[2].Functions[1].SmsText\r\n"
                                "\xA3\xF3" "d\x9F-1;1234;+48600100200;\"Alarm; drzwi \"\"A\"\"\"\r\n"
                                "\xA3\xF3" "d\x9F-2;;+48600100201;\r\n\r\n";

TEST(CliUnits, CheckAndMake)
{
    TUnitsFolder F;
    WriteText(F.Table, "Jednostka,SimPin,Users[1].Phone\nA,12345,1\nA,1,2\n,,\n");
    mkdir((F.Folder.Path + "sets").c_str(), 0755);
    const TProgramResult Bad =
        RunProgram("trackwarden-cli", {"units", F.Table, F.Base, "--make", F.Folder.Path + "sets"}, F.Folder.Path);
    EXPECT_EQ(Bad.Status, 1) << Bad.Err;
    EXPECT_EQ(SplitLines(Bad.Out),
              (TLines{F.Table + ": wiersz 1, kolumna C (Users[1].Phone): nieznane pole \"Users[1].Phone\" (nazwy pól "
                                "jak w wyniku polecenia dump)",
                      F.Table + ": wiersz 2, kolumna B (SimPin): tekst ma 5 znaków, a mieści się najwyżej 4",
                      F.Table + ": wiersz 3, kolumna A (Jednostka): klucz \"A\" powtarza klucz z wiersza 2"}));
    EXPECT_TRUE(std::filesystem::is_empty(F.Folder.Path + "sets")) << "no set of a table with findings";

    WriteText(F.Table, Cp1250Table);
    const TProgramResult Made = RunProgram("trackwarden-cli",
                                           {"units", F.Table, F.Base, "--make", F.Folder.Path + "sets", "--encoding",
                                            "cp1250", "--separator", ";"},
                                           F.Folder.Path);
    EXPECT_EQ(Made.Status, 0) << Made.Err;
    EXPECT_EQ(Made.Out, F.Table + ": 2 jednostki, 3 pola, separator ;\nZapisano 2 zestawy w " + F.Folder.Path +
                            "sets.\n");
    const auto One = Dumped(F.Folder.Path + "sets/Łódź-1.set", F.Folder.Path);
    const auto Two = Dumped(F.Folder.Path + "sets/Łódź-2.set", F.Folder.Path);
    EXPECT_EQ(One.at("SimPin"), "\"1234\"");
    EXPECT_EQ(One.at("Inputs[3].Users[2].Functions[1].SmsText"), "\"Alarm; drzwi \\\"A\\\"\"");
    EXPECT_EQ(Two.at("SimPin"), "\"\"") << "an empty cell keeps the base's value";
    EXPECT_EQ(Two.at("Users[1].PhoneNumber"), "\"+48600100201\"");
}

// trackwarden-cli started in the background, its output in files.
class TBackgroundCli {
public:
    TBackgroundCli(const std::vector<std::string> &Arguments, const std::string &Scratch)
        : OutName(Scratch + "bg-out.txt"), ErrName(Scratch + "bg-err.txt")
    {
        Pid = StartCli(Arguments, "", OutName, ErrName);
    }
    bool WaitForLine(const std::string &Line)
    {
        for (int I = 0; I < 300; ++I) {
            if (FileText(OutName).find(Line + "\n") != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    int Stop(int Signal)
    {
        if (Pid > 0)
            kill(Pid, Signal);
        return WaitCli(Pid);
    }
    std::string Err() const { return FileText(ErrName); }

private:
    const std::string OutName, ErrName;
    pid_t Pid = 0;
};

std::vector<TJsonObject> JsonRecords(const std::string &Out)
{
    std::vector<TJsonObject> Records;
    for (const std::string &Line : SplitLines(Out)) {
        const auto Object = ParseJsonObject(Line);
        EXPECT_TRUE(Object.has_value()) << Line;
        if (Object)
            Records.push_back(*Object);
    }
    return Records;
}

TEST(CliUnits, BatchFromTable)
{
    TUnitsFolder F;
    WriteText(F.Table, "Jednostka;SimPin;Users[1].PhoneNumber;DevicePin\n"
                       "A;1111;+48600000001;1001\n"
                       "B;2222;+48600000002;1002\n"
                       "C;3333;+48600000003;1003\n");
    const std::string Journal = F.Table + ".used", Audit = F.Folder.Path + "audit.log";
    mkdir((F.Folder.Path + "sets").c_str(), 0755);
    ASSERT_EQ(RunProgram("trackwarden-cli", {"units", F.Table, F.Base, "--make", F.Folder.Path + "sets"}, F.Folder.Path)
                  .Status,
              0);
    auto ShaOf = [&F](const std::string &Key) {
        const std::string Bytes = FileText(F.Folder.Path + "sets/" + Key + ".set");
        return Sha256Hex(Bytes.data(), Bytes.size());
    };
    std::vector<std::unique_ptr<TSimProcess>> Sims;
    auto Device = [&](const std::vector<std::string> &Options) {
        const std::string Link = F.Folder.Path + "dev" + std::to_string(Sims.size());
        Sims.push_back(std::make_unique<TSimProcess>(Link, Options));
        EXPECT_TRUE(Sims.back()->Ready);
        return Link;
    };
    const std::string P1 = Device({}), P2 = Device({"--silent"}), P3 = Device({});
    const std::string UntouchedLog = F.Folder.Path + "p4.log";
    const std::string P4 = Device({"--log", UntouchedLog});

    // Ctrl-C in the middle of programming gives the row back.
    {
        TBackgroundCli Run({"program", F.Base, "--units", F.Table, "--port", P1, "--log", Audit}, F.Folder.Path);
        ASSERT_TRUE(Run.WaitForLine(LineProgramming));
        EXPECT_EQ(Run.Stop(SIGINT), 130) << Run.Err();
        EXPECT_NE(Run.Err().find("Jednostka: A (wiersz 2)"), std::string::npos) << Run.Err();
        const TLines Lines = SplitLines(FileText(Audit));
        ASSERT_EQ(Lines.size(), 1u);
        EXPECT_NE(Lines[0].find("\tprogram\tinterrupted\t"), std::string::npos) << Lines[0];
        // The unit key, before the fast exchange's field.
        const std::string Unit = Lines[0].substr(0, Lines[0].rfind('\t'));
        EXPECT_EQ(Unit.substr(Unit.rfind('\t') + 1), "A");
        EXPECT_EQ(FileText(Journal), "");
    }
    // A failed device gives its row back; the programmed one uses it up (fast runs: the table is what is tested).
    {
        const TProgramResult R = RunProgram(
            "trackwarden-cli", {"program", F.Base, "--units", F.Table, "--fast", "--port", P1, "--port", P2, "--json"},
            F.Folder.Path);
        EXPECT_EQ(R.Status, 1) << R.Err;
        const auto Records = JsonRecords(R.Out);
        ASSERT_EQ(Records.size(), 2u);
        for (const auto &Record : Records) {
            const bool First = Record.at("port").String == P1;
            EXPECT_EQ(Record.at("unit_key").String, First ? "A" : "B");
            EXPECT_EQ(Record.at("result").String, First ? "ok" : "no-reply");
            EXPECT_EQ(Record.at("set_sha256").String, ShaOf(First ? "A" : "B"));
            EXPECT_EQ(Record.at("set_file").String, F.Base);
        }
        EXPECT_EQ(FileText(Journal), "A\n");
        EXPECT_NE(R.Err.find("Tabela jednostek " + F.Table + ": zaprogramowane 1 z 3, wolne 2.\n"), std::string::npos)
            << R.Err;
    }
    // Rows in table order; a port with none left is refused before its device is touched.
    {
        const TProgramResult R = RunProgram(
            "trackwarden-cli",
            {"program", F.Base, "--units", F.Table, "--fast", "--port", P1, "--port", P3, "--port", P4, "--log", Audit},
            F.Folder.Path);
        EXPECT_EQ(R.Status, 1) << R.Err;
        TLines Used = SplitLines(FileText(Journal));
        std::sort(Used.begin() + 1, Used.end()); // as the runs ended
        EXPECT_EQ(Used, (TLines{"A", "B", "C"}));
        const TLines Lines = SplitLines(FileText(Audit));
        ASSERT_EQ(Lines.size(), 4u);
        std::map<std::string, std::string> Units; // port -> result and unit
        for (size_t I = 1; I < 4; ++I) {
            std::vector<std::string> Fields;
            std::istringstream In(Lines[I]);
            for (std::string Field; std::getline(In, Field, '\t');)
                Fields.push_back(Field);
            ASSERT_EQ(Fields.size(), 13u) << Lines[I];
            Units[Fields[2]] = Fields[8] + " " + Fields[11];
        }
        EXPECT_EQ(Units[P1], "ok B");
        EXPECT_EQ(Units[P3], "ok C");
        EXPECT_EQ(Units[P4], "start -");
        EXPECT_NE(R.Err.find(P4 + ": brak wolnej jednostki w tabeli " + F.Table), std::string::npos) << R.Err;
        EXPECT_EQ(FileText(UntouchedLog), "");
    }
    // Once every unit is programmed, a run is refused with its own line.
    {
        const TProgramResult R =
            RunProgram("trackwarden-cli", {"program", F.Base, "--units", F.Table, "--port", P4, "--json"}, F.Folder.Path);
        EXPECT_EQ(R.Status, 1);
        EXPECT_NE(R.Err.find("tabela jednostek " + F.Table + " wyczerpana: 3 jednostki zaprogramowane"),
                  std::string::npos)
            << R.Err;
        const auto Records = JsonRecords(R.Out);
        ASSERT_EQ(Records.size(), 1u);
        EXPECT_EQ(Records[0].at("result").String, "start");
        EXPECT_EQ(FileText(UntouchedLog), "");
    }
    // The device holds its unit's values.
    const std::string Read = F.Folder.Path + "read.set";
    const TProgramResult R = RunProgram("trackwarden-cli", {"read", "--fast", "--port", P3, Read}, F.Folder.Path);
    ASSERT_EQ(R.Status, 0) << R.Err;
    const auto Fields = Dumped(Read, F.Folder.Path);
    EXPECT_EQ(Fields.at("SimPin"), "\"3333\"");
    EXPECT_EQ(Fields.at("Users[1].PhoneNumber"), "\"+48600000003\"");
    EXPECT_EQ(Fields.at("DevicePin"), "\"1003\"");
}

} // namespace
