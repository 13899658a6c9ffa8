#include "Cp1250.h"
#include "UDecls.h"
#include "UFields.h"
#include "UProcs.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <variant>

namespace {

using TValue = std::variant<int32_t, std::string>; // integers and flags, or UTF-8 text

// Every field that a new set holds as other than 0, false or empty.
std::map<std::string, TValue> NonZeroDefaults()
{
    std::map<std::string, TValue> D;
    const char *InputNames[] = {
        "Wejście wyłączników drzwiowych.",
        "Wejście wyłączników krańcowych.",
        "Wejście czujników dodatkowych.",
        "Wejście czujników prealarmu.",
        "Uzbrojenie/Rozbrojenie.",
        "Wejście stacyjki.",
        "Wejście syreny.",
        "Wejście przycisku napadowego.",
    };
    for (int u = 1; u <= 3; ++u) {
        const std::string P = "Users[" + std::to_string(u) + "].";
        D[P + "Identifier"] = "Użytkownik " + std::to_string(u);
        D[P + "Description"] = "Użytkownik " + std::to_string(u) + ".";
        D["GpsUsers[" + std::to_string(u) + "].AutoSendPeriod"] = 6;
    }
    for (int i = 1; i <= 8; ++i) {
        const std::string P = "Inputs[" + std::to_string(i) + "].";
        D[P + "Description"] = InputNames[i - 1];
        D[P + "DelayTime"] = 2;
        for (int u = 1; u <= 3; ++u)
            for (int f = 1; f <= 2; ++f)
                D[P + "Users[" + std::to_string(u) + "].Functions[" + std::to_string(f) + "].ReactOnShort"] = 1;
    }
    for (int o = 1; o <= 2; ++o) {
        const std::string P = "Outputs[" + std::to_string(o) + "].";
        D[P + "Description"] = "Wyjście " + std::to_string(o) + ".";
        for (int a = 1; a <= 2; ++a)
            D[P + "Actions[" + std::to_string(a) + "].AutoRevertTime"] = 30;
    }
    const std::pair<const char *, int32_t> Singles[] = {
        {"PowerUpArmState", 1},      {"TestPeriod", 24},           {"RingOutDuration", 30},
        {"RingOutHangUpOnAnswer", 1}, {"RingOutRetryDelay", 60},   {"RingOutAttempts", 3},
        {"RingInMode", 1},           {"RingInRejectTime", 3},      {"SmsLimitCount", 10},
        {"SmsLimitPeriod", 1},       {"SmsAckTimeout", 60},        {"SmsAttempts", 10},
        {"GpsFixLossTime", 6},       {"GsmLossDelay", 60},         {"SmsValidityUnit", 3},
        {"SmsValidityHours", 1},     {"SmsValidityDays", 1},       {"SmsValidityWeeks", 1},
        {"NationalNumberType", 129}, {"InternationalNumberType", 145}, {"SpecialNumberType", 177},
        {"SmsPduType", 17},
    };
    for (const auto &[Name, Value] : Singles)
        D[Name] = Value;
    D["DevicePin"] = "9518";
    return D;
}

std::string Describe(const TValue &V)
{
    return std::holds_alternative<int32_t>(V) ? std::to_string(std::get<int32_t>(V)) : std::get<std::string>(V);
}

TEST(Defaults, EveryField)
{
    SetDefaultSettings();
    const std::map<std::string, TValue> Expected = NonZeroDefaults();
    size_t Seen = 0;
    for (const TFieldDesc &F : SettingsFields()) {
        SCOPED_TRACE(F.Name);
        const auto It = Expected.find(F.Name);
        Seen += It != Expected.end();
        const TValue Want = It != Expected.end() ? It->second : (F.Kind == TFieldKind::Text ? TValue(std::string()) : TValue(0));
        if (F.Kind == TFieldKind::Text) {
            ASSERT_TRUE(std::holds_alternative<std::string>(Want));
            EXPECT_EQ(Cp1250ToUtf8(FieldText(Settings, F)), std::get<std::string>(Want));
            EXPECT_EQ(RecordBytes(Settings)[F.Offset], Utf8Length(std::get<std::string>(Want)));
        } else {
            ASSERT_TRUE(std::holds_alternative<int32_t>(Want)) << Describe(Want);
            const int32_t Actual = F.Kind == TFieldKind::Flag || F.Kind == TFieldKind::RadioPair ? FieldByte(Settings, F) : FieldInt(Settings, F);
            EXPECT_EQ(Actual, std::get<int32_t>(Want));
        }
    }
    EXPECT_EQ(Seen, Expected.size()) << "a default names a field that the table lacks";

    // Lengths in characters, Windows-1250 being one byte a character.
    EXPECT_EQ(Settings.Users[2].Identifier.Length, 12);
    EXPECT_EQ(Settings.Users[2].Description.Length, 13);
    EXPECT_EQ(Settings.Outputs[2].Description.Length, 10);
    EXPECT_EQ(Settings.Outputs[2].Description.Chars[3], '\x9C'); // s with acute in Windows-1250
}

TEST(Defaults, NothingOfBeforeSurvives)
{
    SetDefaultSettings();
    TSettings FromZero;
    std::memcpy(&FromZero, &Settings, sizeof FromZero);

    std::mt19937 Rng(11);
    for (int Round = 0; Round < 3; ++Round) {
        FillRandomBytes(Settings, Rng);
        for (const TFieldDesc &F : SettingsFields())
            if (F.Kind == TFieldKind::Text)
                SetFieldText(Settings, F, RandomChars(Rng, static_cast<size_t>(F.Capacity)));
        CurrentFileName.Assign("Sets/poprzedni.ust");
        PortIndex = 5;
        std::memset(DeviceImage, 0x5A, sizeof DeviceImage);

        SetDefaultSettings();

        EXPECT_EQ(std::memcmp(&Settings, &FromZero, sizeof FromZero), 0) << "round " << Round;
        EXPECT_EQ(CurrentFileName.Len(), 0);
        EXPECT_EQ(PortIndex, 5);
        EXPECT_EQ(DeviceImage[0], 0x5A);
        EXPECT_EQ(DeviceImage[sizeof DeviceImage - 1], 0x5A);
    }

    // Gaps, text tails and every unnamed byte of a new set are zero.
    std::vector<bool> Named(sizeof(TSettings), false);
    for (const TFieldDesc &F : SettingsFields()) {
        const uint32_t Size = F.Kind == TFieldKind::Text ? 1 + RecordBytes(Settings)[F.Offset]
                              : F.Kind == TFieldKind::Flag || F.Kind == TFieldKind::RadioPair ? 1 : 4;
        for (uint32_t B = F.Offset; B < F.Offset + Size; ++B)
            Named[B] = true;
    }
    for (size_t B = 0; B < sizeof(TSettings); ++B) {
        if (!Named[B]) {
            EXPECT_EQ(RecordBytes(Settings)[B], 0) << "byte " << B;
        }
    }
}

} // namespace
