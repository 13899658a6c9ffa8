#include "UDecls.h"
#include "UFields.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct TOffsetRow {
    const char *Name;
    uint32_t Offset;
};

// Top-level fields and the deep fields listed for checking an implementation.
const TOffsetRow OffsetRows[] = {
    {"SimPin", 0}, {"SmsCentreNumber", 5}, {"Users[1].Identifier", 29}, {"Users[1].Description", 45},
    {"Users[1].PhoneNumber", 126}, {"Users[3].PhoneNumber", 368}, {"Inputs[1].Description", 392},
    {"Inputs[1].Activity", 476}, {"Inputs[1].DelayTime", 480}, {"Inputs[1].DelayUnit10s", 484},
    {"Inputs[1].ShortOut1On", 485}, {"Inputs[1].ShortOut1Off", 486}, {"Inputs[1].ShortOut2On", 487},
    {"Inputs[1].ShortOut2Off", 488}, {"Inputs[1].OpenOut1On", 489}, {"Inputs[1].OpenOut1Off", 490},
    {"Inputs[1].OpenOut2On", 491}, {"Inputs[1].OpenOut2Off", 492},
    {"Inputs[1].Users[1].Functions[1].ReactOnShort", 496}, {"Inputs[1].Users[1].Functions[1].GpsAction", 500},
    {"Inputs[1].Users[1].Functions[1].Reaction", 504}, {"Inputs[1].Users[1].Functions[1].SmsText", 508},
    {"Inputs[2].Description", 1552}, {"Inputs[8].Users[3].Functions[2].ReactOnShort", 9496},
    {"Inputs[8].Users[3].Functions[2].SmsText", 9508}, {"Outputs[1].Description", 9672},
    {"Outputs[1].Actions[1].AllowBySms", 9756}, {"Outputs[1].Actions[1].SmsCode", 9757},
    {"Outputs[1].Actions[1].AllowByRing", 9762}, {"Outputs[1].Actions[1].AutoRevert", 9763},
    {"Outputs[1].Actions[1].AutoRevertTime", 9764}, {"Outputs[1].Actions[1].Notify[1].Reaction", 9768},
    {"Outputs[1].Actions[2].AllowBySms", 10272}, {"Outputs[2].Description", 10788},
    {"Outputs[2].Actions[2].Notify[3].SmsText", 11740}, {"ArmByInput", 11904}, {"ArmBySms", 11905},
    {"ArmSmsCode", 11906}, {"DisarmBySms", 11911}, {"DisarmSmsCode", 11912}, {"ArmByRing", 11917},
    {"DisarmByRing", 11918}, {"PowerUpArmState", 11920}, {"ArmOut1On", 11924}, {"ArmOut2On", 11925},
    {"DisarmOut1Off", 11926}, {"DisarmOut2Off", 11927}, {"ArmNotify[1].Reaction", 11928},
    {"ArmNotify[1].SmsText", 11932}, {"DisarmNotify[1].Reaction", 12432}, {"DisarmNotify[3].Reaction", 12768},
    {"TestEnabled", 12936}, {"TestPeriod", 12940}, {"TestTimerResetBySms", 12944}, {"TestForcedByRing", 12945},
    {"TestNotify[1].Reaction", 12948}, {"RingOutDuration", 13452}, {"RingOutHangUpOnAnswer", 13456},
    {"RingOutRetryDelay", 13460}, {"RingOutAttempts", 13464}, {"RingInMode", 13468}, {"RingInSmsCode", 13472},
    {"RingInRejectTime", 13480}, {"SmsLimitEnabled", 13484}, {"SmsLimitCount", 13488}, {"SmsLimitPeriod", 13492},
    {"SmsLimitResetByRing", 13496}, {"SmsAckTimeout", 13500}, {"SmsAttempts", 13504},
    {"GpsUsers[1].AutoSendPeriod", 13508}, {"GpsUsers[1].PositionByRing", 13512},
    {"GpsUsers[1].PositionBySms", 13513}, {"GpsUsers[1].PositionSmsCode", 13514},
    {"GpsUsers[1].StartByRing", 13519}, {"GpsUsers[1].StartBySms", 13520}, {"GpsUsers[1].StartSmsCode", 13521},
    {"GpsUsers[1].StopByRing", 13526}, {"GpsUsers[1].StopBySms", 13527}, {"GpsUsers[1].StopSmsCode", 13528},
    {"GpsUsers[3].AutoSendPeriod", 13564}, {"GpsUsers[3].StopSmsCode", 13584}, {"GpsReplyToAnyRing", 13592},
    {"GpsReplyToAnySms", 13593}, {"GpsReplySmsCode", 13594}, {"GpsFixLossTime", 13600},
    {"Out1FollowsGsmReady", 13604}, {"GsmLossDelay", 13608}, {"SmsValidityUnit", 13612},
    {"SmsValidityHours", 13616}, {"SmsValidityDays", 13620}, {"SmsValidityWeeks", 13624},
    {"NationalNumberType", 13628}, {"InternationalNumberType", 13632}, {"SpecialNumberType", 13636},
    {"SmsPduType", 13640}, {"SmsPid", 13644}, {"SmsDcs", 13648}, {"PhoneRestartBySms", 13652},
    {"PhoneRestartSmsCode", 13653}, {"DeviceVersion", 13660}, {"PhoneModel", 13664}, {"DevicePin", 13668},
};

TEST(Layout, FieldOffsets)
{
    for (const TOffsetRow &Row : OffsetRows) {
        SCOPED_TRACE(Row.Name);
        EXPECT_EQ(FieldNamed(Row.Name).Offset, Row.Offset);
    }
    // Ends of the deep sub-records: the last byte of each lies just before the next one.
    EXPECT_EQ(FieldNamed("Inputs[8].Users[3].Functions[2].SmsText").Offset + 161 + 3, 9672u);
    EXPECT_EQ(FieldNamed("Outputs[2].Actions[2].Notify[3].SmsText").Offset + 161 + 3, 11904u);
    EXPECT_EQ(FieldNamed("DisarmNotify[3].SmsText").Offset + 161 + 3, 12936u);
    EXPECT_EQ(FieldNamed("GpsUsers[3].StopSmsCode").Offset + 4, 13588u);
}

TEST(Layout, Sizes)
{
    const std::pair<size_t, size_t> Sizes[] = {
        {sizeof(TSettings), 13676}, {sizeof(TUserEntry), 121},   {sizeof(TInputEntry), 1160},
        {sizeof(TInputUser), 352},  {sizeof(TInputFunction), 176}, {sizeof(TOutputEntry), 1116},
        {sizeof(TOutputAction), 516}, {sizeof(TNotification), 168}, {sizeof(TGpsUserEntry), 28},
        {sizeof(TShortString<4>), 5}, {sizeof(TShortString<160>), 161}, {sizeof(TFileName), 256},
        {sizeof(DeviceImage), 8192},
    };
    for (const auto &[Actual, Expected] : Sizes)
        EXPECT_EQ(Actual, Expected);

    const TSettings Fresh{};
    const std::vector<uint8_t> Zero(sizeof Fresh, 0);
    EXPECT_EQ(std::memcmp(&Fresh, Zero.data(), sizeof Fresh), 0);
}

TEST(Layout, ShortStringKeepsTail)
{
    struct TRow {
        const char *Before;
        const char *After;
        int Length;
        const char *Chars; // all four positions afterwards
    } Rows[] = {
        {"ABCD", "xy", 2, "xyCD"},
        {"ABCD", "", 0, "ABCD"},
        {"AB", "wxyz", 4, "wxyz"},
        {"ABCD", "vwxyz", 4, "vwxy"}, // a longer text keeps its first four characters
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(std::string(Row.Before) + " -> " + Row.After);
        TShortString<4> S{};
        S.Assign(Row.Before);
        S.Assign(Row.After);
        EXPECT_EQ(S.Length, Row.Length);
        EXPECT_EQ(std::string(S.Chars, 4), Row.Chars);
        EXPECT_EQ(S.Str(), std::string(Row.After).substr(0, 4));
    }

    TShortString<4> Hostile{};
    Hostile.Assign("ABCD");
    Hostile.Length = 255;
    EXPECT_EQ(Hostile.Len(), 4);
    EXPECT_EQ(Hostile.View(), "ABCD");
}

TEST(Layout, ByteImageSurvivesCopy)
{
    std::mt19937 Rng(7);
    TSettings A;
    FillRandomBytes(A, Rng);
    // A two-character text over a four-character one: the stale tail is part of the image.
    A.SimPin.Assign("1234");
    A.SimPin.Assign("56");

    std::vector<uint8_t> File(sizeof A);
    std::memcpy(File.data(), &A, sizeof A);
    TSettings B{};
    std::memcpy(&B, File.data(), File.size());

    EXPECT_EQ(std::memcmp(&A, &B, sizeof A), 0);
    EXPECT_EQ(B.SimPin.Str(), "56");
    EXPECT_EQ(File[0], 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&File[1]), 4), "5634");
}

} // namespace
