// The units table: CSV as spreadsheets write it, every kind of finding with
// its line and column, and a row applied onto a base set.
#include "UDecls.h"
#include "UFields.h"
#include "UImage.h"
#include "UProcs.h"
#include "UUnits.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TUnit {
    int Line;
    std::string Key;
    std::vector<std::string> Cells;
};

struct TReadRow {
    const char *Name;
    std::string Bytes;
    TCsvOptions Options;
    TTextEncoding Encoding;
    char Separator;
    std::vector<std::string> Columns;
    std::vector<TUnit> Units;
};

const TReadRow ReadRows[] = {
    {"CommaLf", "Jednostka,SimPin,Users[1].PhoneNumber\nA1,1234,+48600100200\nA2,,+48600\n", {},
     TTextEncoding::Utf8, ',', {"SimPin", "Users[1].PhoneNumber"},
     {{2, "A1", {"1234", "+48600100200"}}, {3, "A2", {"", "+48600"}}}},
    {"SemicolonCrlf", "Nr;SimPin;DevicePin\r\nA1;1234;9999\r\nA2;;0000\r\n", {}, TTextEncoding::Utf8, ';',
     {"SimPin", "DevicePin"}, {{2, "A1", {"1234", "9999"}}, {3, "A2", {"", "0000"}}}},
    {"Utf8ByteOrderMark", "\xEF\xBB\xBFKlucz;Users[1].Description\r\nA;Zażółć\r\n", {}, TTextEncoding::Utf8, ';',
     {"Users[1].Description"}, {{2, "A", {"Zażółć"}}}},
    {"Cp1250Detected", "Nr;Users[1].Description\r\nA;Za\xBF\xF3\xB3\xE6 g\xEA\x9C\x6C\xB9\r\n", {},
     TTextEncoding::Cp1250, ';', {"Users[1].Description"}, {{2, "A", {"Zażółć gęślą"}}}},
    // Two Windows-1250 letters that happen to form UTF-8: detection reads "ó", the caller's choice "Ăł".
    {"Utf8Detected", "Nr;Users[1].Identifier\nA;\xC3\xB3\n", {}, TTextEncoding::Utf8, ';', {"Users[1].Identifier"},
     {{2, "A", {"ó"}}}},
    {"Cp1250Chosen", "Nr;Users[1].Identifier\nA;\xC3\xB3\n", {TTextEncoding::Cp1250, 0}, TTextEncoding::Cp1250, ';',
     {"Users[1].Identifier"}, {{2, "A", {"Ăł"}}}},
    {"QuotedSeparatorsQuotesAndLineBreaks",
     "Nr;Users[1].Description;ArmNotify[1].SmsText\r\n\"A;1\";\"Mówi \"\"Jan\"\"\";\"Linia 1\r\nLinia 2\"\r\nB;;\"\"\r\n",
     {}, TTextEncoding::Utf8, ';', {"Users[1].Description", "ArmNotify[1].SmsText"},
     {{2, "A;1", {"Mówi \"Jan\"", "Linia 1\nLinia 2"}}, {4, "B", {"", ""}}}},
    {"EmptyTrailingLinesAndRowsOfSeparators", "Nr,SimPin\nA,1111\n\n,\n\r\n\n", {}, TTextEncoding::Utf8, ',',
     {"SimPin"}, {{2, "A", {"1111"}}}},
    {"LoneCrAndNoFinalLineBreak", "Nr,SimPin\rA,1111\rB,2222", {}, TTextEncoding::Utf8, ',', {"SimPin"},
     {{2, "A", {"1111"}}, {3, "B", {"2222"}}}},
    {"EmptyLineBetweenRows", "Nr;SimPin\n\nA;1111\n", {}, TTextEncoding::Utf8, ';', {"SimPin"},
     {{3, "A", {"1111"}}}},
    // A key header with a comma makes the separators a tie; the caller names the right one.
    {"SeparatorChosen", "Nr,klucz;SimPin\nA,1;1111\n", {TTextEncoding::Detect, ';'}, TTextEncoding::Utf8, ';',
     {"SimPin"}, {{2, "A,1", {"1111"}}}},
};

class UnitsRead : public ::testing::TestWithParam<TReadRow> {};

TEST_P(UnitsRead, RowsAsTheSpreadsheetHasThem)
{
    const TReadRow &Row = GetParam();
    const TUnitsTable T = ParseUnitsTable(Row.Bytes, Row.Options);
    for (const TUnitsFinding &F : T.Findings)
        ADD_FAILURE() << UnitsFindingText(T, F);
    EXPECT_EQ(T.Encoding, Row.Encoding);
    EXPECT_EQ(T.Separator, Row.Separator);
    EXPECT_EQ(T.ColumnNames, Row.Columns);
    ASSERT_EQ(T.Rows.size(), Row.Units.size());
    for (size_t K = 0; K < T.Rows.size(); ++K) {
        EXPECT_EQ(T.Rows[K].Line, Row.Units[K].Line) << K;
        EXPECT_EQ(T.Rows[K].Key, Row.Units[K].Key) << K;
        EXPECT_EQ(T.Rows[K].Cells, Row.Units[K].Cells) << K;
    }
}

INSTANTIATE_TEST_SUITE_P(Units, UnitsRead, ::testing::ValuesIn(ReadRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

struct TPlace {
    int Line, Column;
    TUnitsProblem Problem;
    bool operator==(const TPlace &) const = default;
};

struct TFindingRow {
    const char *Name;
    std::string Bytes;
    std::vector<TPlace> Places;
    std::string FirstText = ""; // UnitsFindingText of the first finding, when given
};

using P = TUnitsProblem;

const TFindingRow FindingRows[] = {
    {"UnknownColumn", "Nr;SimPin;Users[0].Phone\nA;1234;x\n", {{1, 3, P::UnknownColumn}},
     "wiersz 1, kolumna C (Users[0].Phone): nieznane pole \"Users[0].Phone\" (nazwy pól jak w wyniku polecenia dump)"},
    {"DuplicateColumn", "Nr;SimPin;SimPin\nA;1;2\n", {{1, 3, P::DuplicateColumn}},
     "wiersz 1, kolumna C (SimPin): pole SimPin jest już w kolumnie B"},
    {"UnnamedColumnWithValues", "Nr;SimPin;\nA;1111;x\n", {{1, 3, P::UnnamedColumn}}},
    {"UnnamedEmptyColumnIsFine", "Nr;SimPin;\nA;1111;\n", {}},
    {"OutOfRange", "Nr;TestPeriod;PhoneModel;ArmByRing;RingInMode\nA;43;3;2;0\nB;42;2;1;3\n",
     {{2, 2, P::Value}, {2, 3, P::Value}, {2, 4, P::Value}, {2, 5, P::Value}},
     "wiersz 2, kolumna B (TestPeriod): 43 poza zakresem 1..42"},
    {"NotANumber", "Nr;RingInMode;Inputs[1].DelayTime\nA;tak;1,5\n", {{2, 2, P::Value}, {2, 3, P::Value}},
     "wiersz 2, kolumna B (RingInMode): \"tak\" nie jest liczbą całkowitą 1..3"},
    {"TooLongForTheField", "Nr;SimPin;Users[1].Description\nA;12345;" + std::string(81, 'x') + "\n",
     {{2, 2, P::Value}, {2, 3, P::Value}},
     "wiersz 2, kolumna B (SimPin): tekst ma 5 znaków, a mieści się najwyżej 4"},
    {"SmsTextLongerThanItsSlot",
     "Nr;ArmNotify[2].SmsText;Inputs[8].Users[3].Functions[2].SmsText\nA;" + std::string(61, 'x') + ";" +
         std::string(60, 'y') + "\n",
     {{2, 2, P::Value}}, "wiersz 2, kolumna B (ArmNotify[2].SmsText): tekst ma 61 znaków, a mieści się najwyżej 60"},
    {"NotInWindows1250", "Nr;Users[1].Identifier\nA;Jan 😀\n", {{2, 2, P::Value}},
     "wiersz 2, kolumna B (Users[1].Identifier): znaku \"😀\" (U+1F600) nie ma w kodzie Windows-1250"},
    {"DuplicateKeyInEitherCase", "Nr;SimPin\nA1;1111\nB;2222\na1;3333\n", {{4, 1, P::DuplicateKey}},
     "wiersz 4, kolumna A (Nr): klucz \"a1\" powtarza klucz z wiersza 2"},
    {"MessagesStayOnOneLine", "Nr;TestPeriod\nA;\"1\n2\"\nB\xC2\x9B;3\n", {{2, 2, P::Value}, {4, 1, P::KeyNotFileName}},
     "wiersz 2, kolumna B (TestPeriod): \"1\\x0A2\" nie jest liczbą całkowitą 1..42"},
    {"EmptyKey", "Nr;SimPin\n;1111\n  ;2222\n", {{2, 1, P::EmptyKey}, {3, 1, P::EmptyKey}}},
    {"KeyThatCannotNameAFile", "Nr;SimPin\nA/1;1\ncom1;2\nCON.x;3\nB.;4\n..;5\nx\ty;6\nCOM10;7\n",
     {{2, 1, P::KeyNotFileName}, {3, 1, P::KeyNotFileName}, {4, 1, P::KeyNotFileName}, {5, 1, P::KeyNotFileName},
      {6, 1, P::KeyNotFileName}, {7, 1, P::KeyNotFileName}}},
    {"WrongNumberOfCells", "Nr;SimPin;DevicePin\nA;1;2;3\nB;1\nC;1;2\n",
     {{2, 4, P::CellCount}, {3, 3, P::CellCount}},
     "wiersz 2, kolumna D: wiersz ma 4 komórki, a nagłówek 3"},
    {"MultiLineCellMovesTheLine", "Nr;ArmNotify[1].SmsText;SimPin\nA;\"a\nb\";12345\nB;x;1\n",
     {{3, 3, P::Value}}},
    {"UnclosedQuote", "Nr;SimPin\nA;1111\nB;\"12\n", {{3, 2, P::UnclosedQuote}},
     "wiersz 3, kolumna B (SimPin): cudzysłów otwierający komórkę nie jest zamknięty do końca pliku"},
    {"TextAfterClosingQuote", "Nr;SimPin\nA;\"12\"34\n", {{2, 2, P::TextAfterQuote}}},
    {"Utf16", std::string("\xFF\xFEN\0r\0", 6), {{1, 0, P::Utf16}}},
    {"NotUtf8ThoughMarked", "\xEF\xBB\xBFNr;Users[1].Identifier\nA;Za\xBF\n", {{2, 2, P::NotUtf8}}},
    {"EmptyFile", "", {{1, 0, P::Empty}}},
    {"OnlyEmptyLines", "\r\n\r\n", {{1, 0, P::Empty}}},
    // Tabs are no separator here: one column, and every unit would get the base set.
    {"KeyColumnOnly", "Nr\tSimPin\nA\t1111\n", {{1, 0, P::NoFieldColumns}, {2, 1, P::KeyNotFileName}},
     "wiersz 1: w nagłówku jest tylko kolumna klucza; pola rozdziela się przecinkiem albo średnikiem"},
    {"InLineThenColumnOrder", "Nr;SimPin;Bad\n;12345;x\nA;1;y\nA;1\n",
     {{1, 3, P::UnknownColumn}, {2, 1, P::EmptyKey}, {2, 2, P::Value}, {4, 1, P::DuplicateKey}, {4, 3, P::CellCount}}},
};

class UnitsCheck : public ::testing::TestWithParam<TFindingRow> {};

TEST_P(UnitsCheck, EachFindingWithItsPlace)
{
    const TFindingRow &Row = GetParam();
    const TUnitsTable T = ParseUnitsTable(Row.Bytes);
    std::vector<TPlace> Places;
    for (const TUnitsFinding &F : T.Findings) {
        Places.push_back({F.Line, F.Column, F.Problem});
        EXPECT_FALSE(F.Text.empty());
    }
    std::vector<TPlace> Expected = Row.Places;
    EXPECT_EQ(Places.size(), Expected.size());
    for (const TPlace &E : Expected)
        EXPECT_NE(std::find(Places.begin(), Places.end(), E), Places.end()) << E.Line << ":" << E.Column;
    if (!Row.FirstText.empty() && !T.Findings.empty()) {
        EXPECT_EQ(UnitsFindingText(T, T.Findings.front()), Row.FirstText);
    }
    for (size_t K = 1; K < T.Findings.size(); ++K)
        EXPECT_LE(T.Findings[K - 1].Line, T.Findings[K].Line);
}

INSTANTIATE_TEST_SUITE_P(Units, UnitsCheck, ::testing::ValuesIn(FindingRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// A row applied onto a base: its values arrive, empty cells keep the base's,
// and the device image of the unit's set decodes to the same values.
TEST(Units, RowAppliedOntoTheBaseReadsBackFromTheImage)
{
    const std::string Csv = "Jednostka;SimPin;Users[1].PhoneNumber;DevicePin;Inputs[3].Users[2].Functions[1].SmsText;"
                            "Inputs[3].Users[2].Functions[1].Reaction;TestPeriod;TestEnabled;Users[2].Description\r\n"
                            "TW-0001;1234;+48600100200;4321;Alarm wejścia 3;3;12;1;\r\n"
                            "TW-0002;;+48600100300;;;;;;Opis drugi\r\n";
    const TUnitsTable T = ParseUnitsTable(Csv);
    ASSERT_TRUE(T.Findings.empty());
    SetDefaultSettings();
    const TSettings Base = Settings;

    auto Unit = std::make_unique<TSettings>(Base);
    const TUnitsRow *Row = FindUnitsRow(T, "tw-0001");
    ASSERT_NE(Row, nullptr);
    ASSERT_TRUE(ApplyUnitsRow(T, *Row, *Unit));
    EXPECT_EQ(Unit->SimPin.Str(), "1234");
    EXPECT_EQ(Unit->Users[1].PhoneNumber.Str(), "+48600100200");
    EXPECT_EQ(Unit->DevicePin.Str(), "4321");
    EXPECT_EQ(Unit->Inputs[3].Users[2].Functions[1].SmsText.Str(), "Alarm wej\x9C" "cia 3");
    EXPECT_EQ(Unit->Inputs[3].Users[2].Functions[1].Reaction, 3);
    EXPECT_EQ(Unit->TestPeriod, 12);
    EXPECT_EQ(Unit->TestEnabled, 1);
    EXPECT_EQ(Unit->Users[2].Description.Str(), Base.Users[2].Description.Str());
    Settings = *Unit;
    EXPECT_EQ(CheckSettings(), "");

    uint8_t Image[DeviceImageSize];
    EncodeImageOf(*Unit, Image);
    auto Read = std::make_unique<TSettings>(Base);
    DecodeDeviceImage(Image, *Read);
    for (size_t C = 0; C < T.Fields.size(); ++C)
        if (!Row->Cells[C].empty()) {
            EXPECT_TRUE(SameFieldValue(*Read, *Unit, *T.Fields[C])) << T.Fields[C]->Name;
        }

    // The second unit changes only what its cells give.
    auto Second = std::make_unique<TSettings>(Base);
    ASSERT_TRUE(ApplyUnitsRow(T, T.Rows[1], *Second));
    for (const TFieldDesc &F : SettingsFields()) {
        const bool Given = F.Name == "Users[1].PhoneNumber" || F.Name == "Users[2].Description";
        EXPECT_EQ(SameFieldValue(*Second, Base, F), !Given) << F.Name;
    }
}

TEST(Units, RowWithABadCellChangesNothing)
{
    const TUnitsTable T = ParseUnitsTable("Nr;SimPin;TestPeriod\nA;1234;99\n");
    ASSERT_EQ(T.Findings.size(), 1u);
    SetDefaultSettings();
    auto Set = std::make_unique<TSettings>(Settings);
    EXPECT_FALSE(ApplyUnitsRow(T, T.Rows[0], *Set));
    EXPECT_EQ(std::memcmp(Set.get(), &Settings, sizeof Settings), 0);
    EXPECT_EQ(FindUnitsRow(T, "B"), nullptr);
}

} // namespace
