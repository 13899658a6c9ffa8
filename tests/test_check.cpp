#include "UDecls.h"
#include "UFields.h"
#include "UProcs.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const std::string Prefix = "Zbyt długa treść SMS (maksymalnie 60 znaków): ";

std::string N(int K)
{
    return std::to_string(K);
}

// The SMS texts in the order of the device's text slots.
std::vector<std::string> SlotTextNames()
{
    std::vector<std::string> Names;
    for (int i = 1; i <= 8; ++i)
        for (int u = 1; u <= 3; ++u)
            for (int f = 1; f <= 2; ++f)
                Names.push_back("Inputs[" + N(i) + "].Users[" + N(u) + "].Functions[" + N(f) + "].SmsText");
    for (int o = 1; o <= 2; ++o)
        for (int a = 1; a <= 2; ++a)
            for (int u = 1; u <= 3; ++u)
                Names.push_back("Outputs[" + N(o) + "].Actions[" + N(a) + "].Notify[" + N(u) + "].SmsText");
    for (const char *Block : {"ArmNotify", "DisarmNotify", "TestNotify"})
        for (int u = 1; u <= 3; ++u)
            Names.push_back(std::string(Block) + "[" + N(u) + "].SmsText");
    return Names;
}

void SetText(const std::string &Name, size_t Length)
{
    SetFieldText(Settings, FieldNamed(Name), std::string(Length, 'x'));
}

TEST(Check, DefaultSetPasses)
{
    SetDefaultSettings();
    EXPECT_EQ(CheckSettings(), "");
}

TEST(Check, TextLengthAndPlace)
{
    const char *Places[] = {
        "WEJ 3, Użytkownik 2, Funkcja 1.",
        "WYJ 1, Załączenie, Użytkownik 3.",
        "WYJ 2, Wyłączenie, Użytkownik 1.",
        "UZBR, Uzbrojenie, Użytkownik 1.",
        "UZBR, Rozbrojenie, Użytkownik 2.",
        "TEST, Użytkownik 3.",
    };
    struct TRow {
        const char *Field;
        size_t Length;
        std::string Expected;
    } Rows[] = {
        {"Inputs[3].Users[2].Functions[1].SmsText", 61, Prefix + Places[0]},
        {"Outputs[1].Actions[1].Notify[3].SmsText", 61, Prefix + Places[1]},
        {"Outputs[2].Actions[2].Notify[1].SmsText", 160, Prefix + Places[2]},
        {"ArmNotify[1].SmsText", 100, Prefix + Places[3]},
        {"DisarmNotify[2].SmsText", 61, Prefix + Places[4]},
        {"TestNotify[3].SmsText", 61, Prefix + Places[5]},
        {"Inputs[1].Users[1].Functions[1].SmsText", 61, Prefix + "WEJ 1, Użytkownik 1, Funkcja 1."},
        {"Inputs[8].Users[3].Functions[2].SmsText", 61, Prefix + "WEJ 8, Użytkownik 3, Funkcja 2."},
        {"Inputs[3].Users[2].Functions[1].SmsText", 60, ""},
        {"TestNotify[3].SmsText", 60, ""},
        {"ArmNotify[2].SmsText", 0, ""},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(std::string(Row.Field) + " of " + std::to_string(Row.Length));
        SetDefaultSettings();
        SetText(Row.Field, Row.Length);
        EXPECT_EQ(CheckSettings(), Row.Expected);
    }

    // A foreign length byte counts as the capacity, which is too long.
    SetDefaultSettings();
    Settings.TestNotify[2].SmsText.Length = 255;
    EXPECT_EQ(CheckSettings(), Prefix + "TEST, Użytkownik 2.");
}

TEST(Check, FirstSlotWins)
{
    const std::vector<std::string> Names = SlotTextNames();
    ASSERT_EQ(Names.size(), 69u);
    std::vector<std::string> Alone;
    for (const std::string &Name : Names) {
        SetDefaultSettings();
        SetText(Name, 61);
        Alone.push_back(CheckSettings());
        EXPECT_NE(Alone.back(), "") << Name;
    }
    for (size_t K = 0; K < Names.size(); ++K)
        for (size_t J = K + 1; J < Names.size(); J += 7) {
            SetDefaultSettings();
            SetText(Names[J], 61);
            SetText(Names[K], 160);
            EXPECT_EQ(CheckSettings(), Alone[K]) << Names[K] << " before " << Names[J];
        }
}

TEST(Check, NoOtherRule)
{
    std::mt19937 Rng(5);
    for (int Round = 0; Round < 20; ++Round) {
        FillRandomBytes(Settings, Rng);
        for (const TFieldDesc &F : SettingsFields())
            if (F.Kind == TFieldKind::Text)
                RecordBytes(Settings)[F.Offset] =
                    static_cast<uint8_t>(F.Capacity == 160 ? Rng() % 61 : 255); // descriptions and codes overlong too
        EXPECT_EQ(CheckSettings(), "") << "round " << Round;
    }
}

} // namespace
