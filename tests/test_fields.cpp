#include "UDecls.h"
#include "UFields.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Idx(const char *Name, int N)
{
    return std::string(Name) + "[" + std::to_string(N) + "]";
}

// How many times each control (kind word + number) is bound.
std::map<std::string, int> ControlUses()
{
    std::map<std::string, int> Uses;
    auto Use = [&](const char *Kind, int N) { ++Uses[std::string(Kind) + std::to_string(N)]; };
    for (const TFieldDesc &F : SettingsFields()) {
        const char *Kind = ControlKindWord(F.Kind);
        switch (F.Kind) {
        case TFieldKind::RadioGroup:
            for (int K = 0; K < F.RadioCount; ++K)
                Use(Kind, F.Control + K);
            break;
        case TFieldKind::RadioPair:
        case TFieldKind::Reaction:
            Use(Kind, F.Control);
            Use(Kind, F.Control2);
            break;
        default: Use(Kind, F.Control); break;
        }
    }
    return Uses;
}

std::set<int> UsedRadioNumbers()
{
    std::set<int> Radios;
    for (int i = 1; i <= InputCount; ++i) {
        const int R = 59 * (i - 1);
        for (int K = 1; K <= 5; ++K)
            Radios.insert(R + K);
        for (int u = 1; u <= UserCount; ++u)
            for (int f = 1; f <= FunctionCount; ++f) {
                const int Q = R + 18 * (u - 1) + 9 * (f - 1);
                for (int K : {6, 7, 11, 12, 13, 14})
                    Radios.insert(Q + K);
            }
    }
    for (int N : {509, 510, 511, 539, 540, 541, 542, 543, 544, 545, 546})
        Radios.insert(N);
    return Radios;
}

TEST(Fields, EveryControlBoundOnce)
{
    std::map<std::string, int> Expected;
    for (int N = 1; N <= 109; ++N)
        Expected["Edit" + std::to_string(N)] = 1;
    for (int N = 1; N <= 250; ++N)
        Expected["CheckBox" + std::to_string(N)] = 1;
    for (int N = 1; N <= 35; ++N)
        Expected["SpinEdit" + std::to_string(N)] = 1;
    const std::set<int> Radios = UsedRadioNumbers();
    ASSERT_EQ(Radios.size(), 339u);
    for (int N : Radios)
        Expected["RadioButton" + std::to_string(N)] = 1;
    Expected["ComboBox1"] = Expected["ComboBox2"] = 1;

    const std::map<std::string, int> Actual = ControlUses();
    for (const auto &[Name, Count] : Actual)
        EXPECT_EQ(Count, Expected.count(Name) ? 1 : 0) << Name << " bound " << Count << " times";
    for (const auto &[Name, Count] : Expected)
        EXPECT_TRUE(Actual.count(Name)) << Name << " not bound";

    std::vector<std::string> Direct;
    for (const TFieldDesc &F : SettingsFields())
        if (F.Direct)
            Direct.push_back(F.Name);
    EXPECT_EQ(Direct, (std::vector<std::string>{"DeviceVersion", "PhoneModel", "DevicePin"}));
}

struct TBindingRow {
    const char *Name;
    TFieldKind Kind;
    int Control, Control2, RadioCount, FirstOrdinal, Capacity;
};

const TBindingRow BindingRows[] = {
    {"SimPin", TFieldKind::Text, 1, 0, 0, 0, 4},
    {"SmsCentreNumber", TFieldKind::Text, 2, 0, 0, 0, 23},
    {"Users[2].Identifier", TFieldKind::Text, 6, 0, 0, 0, 15},
    {"Users[3].PhoneNumber", TFieldKind::Text, 11, 0, 0, 0, 23},
    {"Inputs[8].Description", TFieldKind::Text, 61, 0, 0, 0, 80},
    {"Inputs[5].Activity", TFieldKind::RadioGroup, 237, 0, 3, 0, 0},
    {"Inputs[8].Activity", TFieldKind::RadioGroup, 414, 0, 3, 0, 0},
    {"Inputs[1].DelayUnit10s", TFieldKind::RadioPair, 5, 4, 0, 0, 0},
    {"Inputs[8].DelayUnit10s", TFieldKind::RadioPair, 418, 417, 0, 0, 0},
    {"Inputs[8].DelayTime", TFieldKind::Number, 8, 0, 0, 0, 0},
    {"Inputs[3].ShortOut1Off", TFieldKind::Flag, 19, 0, 0, 0, 0},
    {"Inputs[8].OpenOut2Off", TFieldKind::Flag, 64, 0, 0, 0, 0},
    {"Inputs[1].Users[1].Functions[1].ReactOnShort", TFieldKind::RadioPair, 6, 7, 0, 0, 0},
    {"Inputs[1].Users[1].Functions[1].GpsAction", TFieldKind::RadioGroup, 11, 0, 4, 0, 0},
    {"Inputs[1].Users[1].Functions[1].Reaction", TFieldKind::Reaction, 113, 114, 0, 0, 0},
    {"Inputs[1].Users[1].Functions[1].SmsText", TFieldKind::Text, 13, 0, 0, 0, 160},
    {"Inputs[8].Users[3].Functions[2].ReactOnShort", TFieldKind::RadioPair, 464, 465, 0, 0, 0},
    {"Inputs[8].Users[3].Functions[2].GpsAction", TFieldKind::RadioGroup, 469, 0, 4, 0, 0},
    {"Inputs[8].Users[3].Functions[2].Reaction", TFieldKind::Reaction, 207, 208, 0, 0, 0},
    {"Inputs[8].Users[3].Functions[2].SmsText", TFieldKind::Text, 67, 0, 0, 0, 160},
    {"Outputs[2].Description", TFieldKind::Text, 77, 0, 0, 0, 80},
    {"Outputs[2].Actions[2].AllowBySms", TFieldKind::Flag, 74, 0, 0, 0, 0},
    {"Outputs[2].Actions[2].SmsCode", TFieldKind::Text, 82, 0, 0, 0, 4},
    {"Outputs[1].Actions[2].AutoRevert", TFieldKind::Flag, 70, 0, 0, 0, 0},
    {"Outputs[2].Actions[1].AutoRevertTime", TFieldKind::Number, 11, 0, 0, 0, 0},
    {"Outputs[1].Actions[1].Notify[1].Reaction", TFieldKind::Reaction, 209, 210, 0, 0, 0},
    {"Outputs[2].Actions[2].Notify[3].Reaction", TFieldKind::Reaction, 231, 232, 0, 0, 0},
    {"Outputs[2].Actions[2].Notify[3].SmsText", TFieldKind::Text, 85, 0, 0, 0, 160},
    {"Outputs[1].Actions[2].Notify[1].SmsText", TFieldKind::Text, 74, 0, 0, 0, 160},
    {"PowerUpArmState", TFieldKind::RadioGroup, 509, 0, 3, 1, 0},
    {"DisarmOut2Off", TFieldKind::Flag, 84, 0, 0, 0, 0},
    {"ArmNotify[3].Reaction", TFieldKind::Reaction, 237, 238, 0, 0, 0},
    {"DisarmNotify[1].SmsText", TFieldKind::Text, 91, 0, 0, 0, 160},
    {"TestNotify[3].Reaction", TFieldKind::Reaction, 249, 250, 0, 0, 0},
    {"TestPeriod", TFieldKind::Number, 13, 0, 0, 0, 0},
    {"RingOutHangUpOnAnswer", TFieldKind::RadioPair, 539, 540, 0, 0, 0},
    {"RingInMode", TFieldKind::RadioGroup, 541, 0, 3, 1, 0},
    {"RingInSmsCode", TFieldKind::Text, 97, 0, 0, 0, 4},
    {"GpsUsers[2].StartBySms", TFieldKind::Flag, 102, 0, 0, 0, 0},
    {"GpsUsers[3].StopSmsCode", TFieldKind::Text, 107, 0, 0, 0, 4},
    {"GpsUsers[3].AutoSendPeriod", TFieldKind::Number, 23, 0, 0, 0, 0},
    {"GpsReplySmsCode", TFieldKind::Text, 98, 0, 0, 0, 4},
    {"SmsValidityUnit", TFieldKind::RadioGroup, 544, 0, 3, 1, 0},
    {"NationalNumberType", TFieldKind::Number, 31, 0, 0, 0, 0},
    {"SmsPduType", TFieldKind::Number, 28, 0, 0, 0, 0},
    {"PhoneRestartSmsCode", TFieldKind::Text, 109, 0, 0, 0, 4},
    {"PhoneModel", TFieldKind::List, 2, 0, 0, 0, 0},
    {"DevicePin", TFieldKind::Text, 108, 0, 0, 0, 4},
};

TEST(Fields, SpotBindings)
{
    for (const TBindingRow &Row : BindingRows) {
        SCOPED_TRACE(Row.Name);
        const TFieldDesc &F = FieldNamed(Row.Name);
        EXPECT_EQ(F.Kind, Row.Kind);
        EXPECT_EQ(F.Control, Row.Control);
        EXPECT_EQ(F.Control2, Row.Control2);
        EXPECT_EQ(F.RadioCount, Row.RadioCount);
        EXPECT_EQ(F.FirstOrdinal, Row.FirstOrdinal);
        EXPECT_EQ(F.Capacity, Row.Capacity);
    }
}

struct TRangeRow {
    const char *Name;
    int32_t Min, Max;
};

// What each kind of control allows: the form's spin edits (tested against
// the window in test_ui_form.cpp), lists, radio ordinals, flags, reactions.
const TRangeRow RangeRows[] = {
    {"Inputs[1].DelayTime", 1, 255}, {"Outputs[2].Actions[2].AutoRevertTime", 1, 255},
    {"TestPeriod", 1, 42}, {"SmsLimitPeriod", 1, 42}, {"GpsUsers[3].AutoSendPeriod", 1, 255},
    {"SmsPduType", 0, 255}, {"NationalNumberType", 0, 255}, {"SmsDcs", 0, 255},
    {"Inputs[4].Activity", 0, 2}, {"Inputs[1].Users[1].Functions[1].GpsAction", 0, 3},
    {"PowerUpArmState", 1, 3}, {"RingInMode", 1, 3}, {"SmsValidityUnit", 1, 3},
    {"Inputs[1].DelayUnit10s", 0, 1}, {"RingOutHangUpOnAnswer", 0, 1}, {"ArmByRing", 0, 1},
    {"Inputs[2].Users[1].Functions[2].Reaction", 0, 3}, {"TestNotify[3].Reaction", 0, 3},
    {"DeviceVersion", 0, 1}, {"PhoneModel", 0, 2},
};

TEST(Fields, ControlRanges)
{
    for (const TRangeRow &Row : RangeRows) {
        const TFieldDesc &F = FieldNamed(Row.Name);
        EXPECT_EQ(F.Min, Row.Min) << Row.Name;
        EXPECT_EQ(F.Max, Row.Max) << Row.Name;
    }
}

TEST(Fields, LookupsByNameControlAndOffset)
{
    for (const TFieldDesc &F : SettingsFields()) {
        EXPECT_EQ(FieldByName(F.Name), &F);
        EXPECT_EQ(FieldOfControl(F.Kind, F.Control), &F) << F.Name;
    }
    EXPECT_EQ(FieldByName("Users[0].Phone"), nullptr);
    EXPECT_EQ(FieldByName("simpin"), nullptr);
    EXPECT_EQ(FieldOfControl(TFieldKind::Number, 36), nullptr);
    const std::vector<const TFieldDesc *> &Ordered = FieldsInRecordOrder();
    ASSERT_EQ(Ordered.size(), SettingsFields().size());
    for (size_t K = 1; K < Ordered.size(); ++K)
        EXPECT_LT(Ordered[K - 1]->Offset, Ordered[K]->Offset) << Ordered[K]->Name;
}

TEST(Fields, CountedNounTakesThePolishForm)
{
    const std::pair<size_t, const char *> Rows[] = {{0, "0 kodów"},  {1, "1 kod"},     {2, "2 kody"},
                                                    {4, "4 kody"},   {5, "5 kodów"},   {12, "12 kodów"},
                                                    {14, "14 kodów"}, {22, "22 kody"}, {25, "25 kodów"},
                                                    {104, "104 kody"}, {112, "112 kodów"}};
    for (const auto &[N, Text] : Rows)
        EXPECT_EQ(CountedNoun(N, "kod", "kody", "kodów"), Text);
}

TEST(Fields, WindowFillOrder)
{
    std::vector<std::string> Expected = {"SimPin", "SmsCentreNumber"};
    for (int u = 1; u <= UserCount; ++u)
        for (const char *Name : {"Identifier", "Description", "PhoneNumber"})
            Expected.push_back(Idx("Users", u) + "." + Name);
    for (int i = 1; i <= InputCount; ++i) {
        const std::string P = Idx("Inputs", i) + ".";
        for (const char *Name : {"Description", "Activity", "DelayUnit10s", "DelayTime"})
            Expected.push_back(P + Name);
        // The output flags in the order of their check boxes.
        for (const char *Name : {"ShortOut1On", "ShortOut2On", "ShortOut1Off", "ShortOut2Off", "OpenOut1On",
                                 "OpenOut2On", "OpenOut1Off", "OpenOut2Off"})
            Expected.push_back(P + Name);
        for (int u = 1; u <= UserCount; ++u)
            for (int f = 1; f <= FunctionCount; ++f)
                for (const char *Name : {"ReactOnShort", "Reaction", "GpsAction", "SmsText"})
                    Expected.push_back(P + Idx("Users", u) + "." + Idx("Functions", f) + "." + Name);
    }
    for (int o = 1; o <= OutputCount; ++o) {
        const std::string P = Idx("Outputs", o) + ".";
        Expected.push_back(P + "Description");
        for (int a = 1; a <= ActionCount; ++a) {
            const std::string AP = P + Idx("Actions", a) + ".";
            for (const char *Name : {"AllowBySms", "SmsCode", "AllowByRing", "AutoRevert", "AutoRevertTime"})
                Expected.push_back(AP + Name);
            for (int u = 1; u <= UserCount; ++u)
                for (const char *Name : {"Reaction", "SmsText"})
                    Expected.push_back(AP + Idx("Notify", u) + "." + Name);
        }
    }

    const std::vector<TFieldDesc> &Fields = SettingsFields();
    ASSERT_GT(Fields.size(), Expected.size() + 3);
    for (size_t K = 0; K < Expected.size(); ++K)
        ASSERT_EQ(Fields[K].Name, Expected[K]) << "position " << K;

    // Then the tabs UZBR, TEST, RING, SMS, GPS and SPEC, each a block of its own, and the PROG fields last.
    auto Position = [&](const std::string &Name) {
        return std::find_if(Fields.begin(), Fields.end(), [&](const TFieldDesc &F) { return F.Name == Name; }) -
               Fields.begin();
    };
    const char *TabBlocks[][2] = {
        {"ArmByInput", "TestNotify[3].SmsText"}, {"RingOutDuration", "RingInRejectTime"},
        {"SmsLimitEnabled", "SmsAttempts"},      {"GpsUsers[1].AutoSendPeriod", "GpsFixLossTime"},
        {"Out1FollowsGsmReady", "PhoneRestartSmsCode"},
    };
    auto Next = static_cast<ptrdiff_t>(Expected.size());
    for (const auto &Block : TabBlocks) {
        EXPECT_EQ(Position(Block[0]), Next) << Block[0];
        Next = Position(Block[1]) + 1;
    }
    EXPECT_LT(Position("DisarmNotify[3].SmsText"), Position("TestEnabled"));
    ASSERT_EQ(static_cast<size_t>(Next) + 3, Fields.size());
    EXPECT_EQ(Fields[Next].Name, "DeviceVersion");
    EXPECT_EQ(Fields[Next + 1].Name, "PhoneModel");
    EXPECT_EQ(Fields[Next + 2].Name, "DevicePin");
}

uint32_t FieldSize(const TFieldDesc &F)
{
    switch (F.Kind) {
    case TFieldKind::Text: return static_cast<uint32_t>(F.Capacity) + 1;
    case TFieldKind::Flag:
    case TFieldKind::RadioPair: return 1;
    default: return 4;
    }
}

TEST(Fields, CoverRecordWithoutOverlap)
{
    std::vector<int> Owner(sizeof(TSettings), -1);
    const std::vector<TFieldDesc> &Fields = SettingsFields();
    std::set<std::string> Names;
    for (size_t K = 0; K < Fields.size(); ++K) {
        const TFieldDesc &F = Fields[K];
        SCOPED_TRACE(F.Name);
        EXPECT_TRUE(Names.insert(F.Name).second) << "duplicate name";
        ASSERT_LE(F.Offset + FieldSize(F), sizeof(TSettings));
        if (FieldSize(F) == 4) {
            EXPECT_EQ(F.Offset % 4, 0u);
        }
        for (uint32_t B = F.Offset; B < F.Offset + FieldSize(F); ++B) {
            EXPECT_EQ(Owner[B], -1) << "byte " << B << " also belongs to " << Fields[Owner[B]].Name;
            Owner[B] = static_cast<int>(K);
        }
    }
    // Everything else is alignment: 6 bytes per input function and per input, 3 per notification,
    // output and GPS user, and 27 between the single fields.
    const auto Covered = std::count_if(Owner.begin(), Owner.end(), [](int O) { return O >= 0; });
    EXPECT_EQ(Covered, 13676 - (48 * 6 + 8 * 6 + 21 * 3 + 2 * 3 + 3 * 3 + 27));
}

TEST(Fields, AccessorsStayInsideField)
{
    TSettings S{};
    const TFieldDesc &Code = FieldNamed("ArmSmsCode");
    SetFieldText(S, Code, "ABCDEFG");
    EXPECT_EQ(FieldText(S, Code), "ABCD");
    EXPECT_EQ(S.DisarmBySms, 0) << "the byte after the field was written";
    SetFieldText(S, Code, "x");
    EXPECT_EQ(std::string(S.ArmSmsCode.Chars, 4), "xBCD");
    S.ArmSmsCode.Length = 200;
    EXPECT_EQ(FieldText(S, Code), "xBCD");

    S.Users[1].Identifier.Assign("Say \"hi\"\\");
    EXPECT_EQ(FieldValueText(S, FieldNamed("Users[1].Identifier")), "\"Say \\\"hi\\\"\\\\\"");
    SetFieldInt(S, FieldNamed("PhoneModel"), -1);
    EXPECT_EQ(FieldValueText(S, FieldNamed("PhoneModel")), "-1");
    EXPECT_EQ(S.PhoneModel, -1);
}

struct TFromTextRow {
    const char *Name;
    const char *Text;
    TValueError Error;
    const char *Stored;   // the value as FieldValueText then shows it, when accepted
    const char *Why = ""; // ValueErrorText, when refused
};

const TFromTextRow FromTextRows[] = {
    {"SimPin", "1234", TValueError::None, "\"1234\""},
    {"SimPin", "12345", TValueError::TooLong, "", "tekst ma 5 znaków, a mieści się najwyżej 4"},
    {"Users[1].Description", "Zażółć gęślą jaźń", TValueError::None, "\"Zażółć gęślą jaźń\""},
    {"Users[1].Identifier", "  €uro „x” ", TValueError::None, "\"  €uro „x” \""},
    {"Users[1].Identifier", "a😀", TValueError::NotCp1250, "", "znaku \"😀\" (U+1F600) nie ma w kodzie Windows-1250"},
    {"Users[1].Identifier", "a\xC3(", TValueError::NotCp1250, "", "niepoprawny zapis UTF-8 (bajt 0xC3)"},
    {"Users[2].PhoneNumber", "5555555555555555555555", TValueError::None, "\"5555555555555555555555\""},
    {"TestPeriod", "42", TValueError::None, "42"},
    {"TestPeriod", " +7\t", TValueError::None, "7"},
    {"TestPeriod", "43", TValueError::OutOfRange, "", "43 poza zakresem 1..42"},
    {"TestPeriod", "0", TValueError::OutOfRange, "", "0 poza zakresem 1..42"},
    {"TestPeriod", "99999999999999999999", TValueError::OutOfRange, "", "99999999999999999999 poza zakresem 1..42"},
    {"TestPeriod", "7,0", TValueError::NotANumber, "", "\"7,0\" nie jest liczbą całkowitą 1..42"},
    {"TestPeriod", "-", TValueError::NotANumber, "", "\"-\" nie jest liczbą całkowitą 1..42"},
    {"SmsPid", "0", TValueError::None, "0"},
    {"PhoneModel", "-1", TValueError::OutOfRange, "", "-1 poza zakresem 0..2"},
    {"PhoneModel", "2", TValueError::None, "2"},
    {"ArmByRing", "1", TValueError::None, "1"},
    {"ArmByRing", "tak", TValueError::NotANumber, "", "\"tak\" nie jest liczbą całkowitą 0..1"},
    {"Inputs[3].DelayUnit10s", "2", TValueError::OutOfRange, "", "2 poza zakresem 0..1"},
    {"RingInMode", "3", TValueError::None, "3"},
    {"Inputs[8].Activity", "3", TValueError::OutOfRange, "", "3 poza zakresem 0..2"},
    {"TestNotify[1].Reaction", "3", TValueError::None, "3"},
    {"TestNotify[1].Reaction", "4", TValueError::OutOfRange, "", "4 poza zakresem 0..3"},
};

TEST(Fields, ValueFromText)
{
    for (const TFromTextRow &Row : FromTextRows) {
        SCOPED_TRACE(std::string(Row.Name) + " <- " + Row.Text);
        const TFieldDesc &F = FieldNamed(Row.Name);
        TSettings S{};
        std::memset(&S, 0x11, sizeof S);
        const TSettings Before = S;
        TFieldValue V;
        ASSERT_EQ(FieldValueFromText(F, Row.Text, V), Row.Error);
        EXPECT_EQ(ValueErrorText(F, Row.Text, Row.Error), Row.Why);
        if (Row.Error != TValueError::None)
            continue;
        SetFieldValue(S, F, V);
        EXPECT_EQ(FieldValueText(S, F), Row.Stored);
        // Nothing but the field changes.
        for (size_t B = 0; B < sizeof S; ++B)
            if (B < F.Offset || B >= F.Offset + FieldSize(F)) {
                ASSERT_EQ(reinterpret_cast<const uint8_t *>(&S)[B], reinterpret_cast<const uint8_t *>(&Before)[B]) << B;
            }
    }
    // A limit below the capacity: an SMS text that must fit its slot of the image.
    TFieldValue V;
    const TFieldDesc &Sms = FieldNamed("ArmNotify[1].SmsText");
    EXPECT_EQ(FieldValueFromText(Sms, std::string(61, 'x'), V, 60), TValueError::TooLong);
    EXPECT_EQ(ValueErrorText(Sms, std::string(61, 'x'), TValueError::TooLong, 60),
              "tekst ma 61 znaków, a mieści się najwyżej 60");
    EXPECT_EQ(FieldValueFromText(Sms, std::string(60, 'x'), V, 60), TValueError::None);
}

} // namespace
