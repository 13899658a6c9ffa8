#include "UDecls.h"
#include "UFields.h"
#include "UProcs.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using TImage = std::vector<uint8_t>;

TImage Encoded()
{
    EncodeDeviceImage();
    return TImage(DeviceImage, DeviceImage + DeviceImageSize);
}

TImage EncodedDefaults()
{
    SetDefaultSettings();
    return Encoded();
}

void ZeroSettings()
{
    std::memset(&Settings, 0, sizeof Settings);
}

// Writes the bytes of a list into an expected image.
void Put(TImage &Image, size_t At, std::initializer_list<int> Bytes)
{
    for (int B : Bytes)
        Image[At++] = static_cast<uint8_t>(B);
}

void PutChars(TImage &Image, size_t At, const std::string &Chars)
{
    std::memcpy(&Image[At], Chars.data(), Chars.size());
}

// Reports the first few differing offsets rather than 8192 lines.
void ExpectSameImage(const TImage &Actual, const TImage &Expected)
{
    ASSERT_EQ(Actual.size(), Expected.size());
    int Shown = 0;
    for (size_t I = 0; I < Actual.size() && Shown < 8; ++I)
        if (Actual[I] != Expected[I]) {
            ADD_FAILURE() << "offset " << I << ": " << int(Actual[I]) << ", expected " << int(Expected[I]);
            ++Shown;
        }
}

// The default image, written out from the list of its bytes.
TImage ExpectedDefaultImage()
{
    TImage E(DeviceImageSize, 0);
    Put(E, 0, {146, 109, 0, 0, 0, 0, 30, 60, 3, 1, 1, 3, 0, 10, 1, 0, 60, 10, 255, 129, 145, 177, 17, 0, 0, 0, 0, 60});
    Put(E, 35, {6});
    Put(E, 36, {6});
    Put(E, 40, {6});
    Put(E, 44, {6});
    Put(E, 48, {1});
    for (int K = 67; K <= 74; ++K)
        E[K] = 2;
    for (int K = 75; K <= 122; ++K)
        E[K] = 128;
    for (int P : {150, 200, 225, 250, 275})
        Put(E, P, {0, 255, 0});
    for (int K = 0; K < 69; ++K)
        Put(E, 400 + 64 * K, {1, 254, 0, 0});
    Put(E, 8186, {4, 251, '9', '5', '1', '8'});
    return E;
}

TEST(Image, DefaultSet)
{
    ExpectSameImage(EncodedDefaults(), ExpectedDefaultImage());
}

struct TEdgeRow {
    const char *Name;
    std::function<void()> Change;           // applied to the default set
    std::function<void(TImage &)> Expect;   // applied to the default image
};

const std::string Phone22 = "+486001234567890123456", Text60(60, 'T');

std::vector<TEdgeRow> EdgeRows()
{
    const std::string Phone23 = Phone22 + "7";
    return {
        {"SIM PIN of 4", [] { Settings.SimPin.Assign("1234"); },
         [](TImage &E) {
             Put(E, 150, {13, 242, 8, 0, 12, 0, 1, 0, 10, 2});
             PutChars(E, 160, "1234");
             Put(E, 164, {0, 0});
         }},
        {"SIM PIN of 3", [] { Settings.SimPin.Assign("123"); }, [](TImage &) {}},
        {"SIM PIN cut from 4 to 3 keeps the tail in the record only",
         [] {
             Settings.SimPin.Assign("1234");
             Settings.SimPin.Assign("567");
         },
         [](TImage &) {}},
        {"phone of 22", [] { Settings.Users[2].PhoneNumber.Assign(Phone22); },
         [](TImage &E) {
             E[3] = 22;
             Put(E, 225, {22, 233});
             PutChars(E, 227, Phone22);
             E[249] = 0;
         }},
        {"phone of 23: its zero is replaced by the next record",
         [Phone23] { Settings.Users[1].PhoneNumber.Assign(Phone23); },
         [Phone23](TImage &E) {
             E[2] = 23;
             Put(E, 200, {23, 232});
             PutChars(E, 202, Phone23);
         }},
        {"centre number of 23: its zero falls on the first code field",
         [Phone23] {
             Settings.SmsCentreNumber.Assign(Phone23);
             Settings.Outputs[1].Actions[1].AllowBySms = 1;
             Settings.Outputs[1].Actions[1].SmsCode.Assign("ZAL1");
         },
         [Phone23](TImage &E) {
             E[5] = 23;
             Put(E, 275, {23, 232});
             PutChars(E, 277, Phone23);
             PutChars(E, 300, "ZAL1");
         }},
        {"text of 60 fills its slot", [] { Settings.Inputs[1].Users[1].Functions[2].SmsText.Assign(Text60); },
         [](TImage &E) {
             Put(E, 464, {61, 194});
             PutChars(E, 466, Text60);
             Put(E, 526, {0, 0});
         }},
        {"text of 100 runs into the next slot, which is written over it",
         [] { Settings.Inputs[1].Users[1].Functions[1].SmsText.Assign(std::string(100, 'L')); },
         [](TImage &E) {
             Put(E, 400, {101, 154});
             PutChars(E, 402, std::string(62, 'L'));
             Put(E, 464, {1, 254, 0, 0});
             PutChars(E, 468, std::string(34, 'L')); // characters 67 to 100
         }},
        {"last text of 160 spills into the zero area",
         [] { Settings.TestNotify[3].SmsText.Assign(std::string(160, 'Z')); },
         [](TImage &E) {
             Put(E, 4752, {161, 94});
             PutChars(E, 4754, std::string(160, 'Z'));
         }},
        {"code enabled", [] {
             Settings.ArmBySms = 1;
             Settings.ArmSmsCode.Assign("AB");
         },
         [](TImage &E) { PutChars(E, 320, "AB"); }},
        {"code disabled", [] { Settings.ArmSmsCode.Assign("AB"); }, [](TImage &) {}},
        {"code shortened keeps no stale tail",
         [] {
             Settings.GpsUsers[3].StopBySms = 1;
             Settings.GpsUsers[3].StopSmsCode.Assign("STOP");
             Settings.GpsUsers[3].StopSmsCode.Assign("S");
         },
         [](TImage &E) { PutChars(E, 375, "S"); }},
        {"ring-in code in mode 3", [] {
             Settings.RingInMode = 3;
             Settings.RingInSmsCode.Assign("RING");
         },
         [](TImage &E) {
             E[10] = 3;
             PutChars(E, 330, "RING");
         }},
        {"ring-in code in mode 2", [] {
             Settings.RingInMode = 2;
             Settings.RingInSmsCode.Assign("RING");
         },
         [](TImage &E) { E[10] = 2; }},
        {"ring-in code in mode 1", [] { Settings.RingInSmsCode.Assign("RING"); }, [](TImage &) {}},
        {"test every 42 hours", [] {
             Settings.TestEnabled = 1;
             Settings.TestPeriod = 42;
         },
         [](TImage &E) { E[28] = 252; }},
        {"test off", [] { Settings.TestPeriod = 42; }, [](TImage &) {}},
        {"automatic switch-off", [] {
             Settings.Outputs[2].Actions[1].AutoRevert = 1;
             Settings.Outputs[2].Actions[1].AutoRevertTime = 200;
             Settings.Outputs[1].Actions[2].AutoRevertTime = 100;
         },
         [](TImage &E) { E[33] = 200; }},
        {"function byte 139", [] {
             auto &F = Settings.Inputs[4].Users[2].Functions[1];
             F.Reaction = 3;
             F.GpsAction = 2;
         },
         [](TImage &E) { E[75 + 18 + 2] = 139; }},
        {"device PIN of 2", [] { Settings.DevicePin.Assign("12"); },
         [](TImage &E) { Put(E, 8188, {'1', '2', 0, 0}); }},
    };
}

TEST(Image, EdgeCases)
{
    const TImage Defaults = ExpectedDefaultImage();
    for (const TEdgeRow &Row : EdgeRows()) {
        SCOPED_TRACE(Row.Name);
        SetDefaultSettings();
        Row.Change();
        TImage Expected = Defaults;
        Row.Expect(Expected);
        ExpectSameImage(Encoded(), Expected);
    }
}

struct TParamRow {
    std::string Name;
    std::function<void()> Change;                  // applied to a zero record
    std::vector<std::pair<int, int>> Bytes;        // parameter offsets and values it gives
};

std::string N(int K)
{
    return std::to_string(K);
}

std::vector<TParamRow> ParamRows()
{
    TSettings &S = Settings;
    std::vector<TParamRow> R;
    auto Int = [&](const char *Name, int32_t &Field, int Offset) {
        R.push_back({Name, [&Field] { Field = 0x1234; }, {{Offset, 0x34}}});
    };
    auto Flag = [&](std::string Name, uint8_t &Field, int Offset) {
        R.push_back({std::move(Name), [&Field] { Field = 7; }, {{Offset, 1}}});
    };
    for (int u = 1; u <= 3; ++u)
        R.push_back({"phone " + N(u), [&S, u] { S.Users[u].PhoneNumber.Assign("123"); }, {{1 + u, 3}}});
    R.push_back({"centre", [&S] { S.SmsCentreNumber.Assign("12345"); }, {{5, 5}}});
    Int("RingOutDuration", S.RingOutDuration, 6);
    Int("RingOutRetryDelay", S.RingOutRetryDelay, 7);
    Int("RingOutAttempts", S.RingOutAttempts, 8);
    Flag("RingOutHangUpOnAnswer", S.RingOutHangUpOnAnswer, 9);
    Int("RingInMode", S.RingInMode, 10);
    Int("RingInRejectTime", S.RingInRejectTime, 11);
    Flag("SmsLimitEnabled", S.SmsLimitEnabled, 12);
    Int("SmsLimitCount", S.SmsLimitCount, 13);
    Int("SmsLimitPeriod", S.SmsLimitPeriod, 14);
    Flag("SmsLimitResetByRing", S.SmsLimitResetByRing, 15);
    Int("SmsAckTimeout", S.SmsAckTimeout, 16);
    Int("SmsAttempts", S.SmsAttempts, 17);
    Int("NationalNumberType", S.NationalNumberType, 19);
    Int("InternationalNumberType", S.InternationalNumberType, 20);
    Int("SpecialNumberType", S.SpecialNumberType, 21);
    Int("SmsPduType", S.SmsPduType, 22);
    Int("SmsPid", S.SmsPid, 23);
    Int("SmsDcs", S.SmsDcs, 24);
    Int("PhoneModel", S.PhoneModel, 25);
    Flag("Out1FollowsGsmReady", S.Out1FollowsGsmReady, 26);
    Int("GsmLossDelay", S.GsmLossDelay, 27);
    R.push_back({"test period wraps to its low byte", [&S] {
                     S.TestEnabled = 9;
                     S.TestPeriod = 50;
                 },
                 {{28, 300 & 0xFF}}});
    Flag("TestTimerResetBySms", S.TestTimerResetBySms, 29);
    Flag("TestForcedByRing", S.TestForcedByRing, 30);
    for (int o = 1; o <= 2; ++o)
        for (int a = 1; a <= 2; ++a) {
            const int K = 2 * (o - 1) + (a - 1);
            R.push_back({"auto revert " + N(o) + "/" + N(a), [&S, o, a] {
                             S.Outputs[o].Actions[a].AutoRevert = 1;
                             S.Outputs[o].Actions[a].AutoRevertTime = 0x1FF;
                         },
                         {{31 + K, 0xFF}}});
            Flag("allow by ring " + N(o) + "/" + N(a), S.Outputs[o].Actions[a].AllowByRing, 144 + K);
        }
    Int("GpsFixLossTime", S.GpsFixLossTime, 35);
    for (int u = 1; u <= 3; ++u) {
        TGpsUserEntry &G = S.GpsUsers[u];
        const int P = 36 + 4 * (u - 1);
        R.push_back({"gps period " + N(u), [&G] { G.AutoSendPeriod = 0x1234; }, {{P, 0x34}}});
        Flag("gps position " + N(u), G.PositionByRing, P + 1);
        Flag("gps start " + N(u), G.StartByRing, P + 2);
        Flag("gps stop " + N(u), G.StopByRing, P + 3);
    }
    Int("PowerUpArmState", S.PowerUpArmState, 48);
    Flag("ArmByInput", S.ArmByInput, 49);
    Flag("ArmByRing", S.ArmByRing, 50);
    Flag("DisarmByRing", S.DisarmByRing, 51);
    Flag("ArmOut1On", S.ArmOut1On, 52);
    Flag("ArmOut2On", S.ArmOut2On, 53);
    Flag("DisarmOut1Off", S.DisarmOut1Off, 54);
    Flag("DisarmOut2Off", S.DisarmOut2Off, 55);
    for (int i = 1; i <= 8; ++i) {
        TInputEntry &In = S.Inputs[i];
        const int Bit = 1 << (i - 1);
        R.push_back({"in use " + N(i), [&In] { In.Activity = 2; }, {{56, Bit}}});
        R.push_back({"always " + N(i), [&In] { In.Activity = 1; }, {{56, Bit}, {57, Bit}}});
        R.push_back({"foreign activity " + N(i), [&In] { In.Activity = 7; }, {{56, Bit}}});
        R.push_back({"unit " + N(i), [&In] { In.DelayUnit10s = 1; }, {{58, Bit}}});
        uint8_t *Outs[] = {&In.ShortOut1On, &In.ShortOut1Off, &In.ShortOut2On, &In.ShortOut2Off,
                           &In.OpenOut1On,  &In.OpenOut1Off,  &In.OpenOut2On,  &In.OpenOut2Off};
        for (int K = 0; K < 8; ++K)
            R.push_back({"output bit " + N(K) + " of " + N(i), [P = Outs[K]] { *P = 1; }, {{58 + i, 1 << K}}});
        Int("delay", In.DelayTime, 66 + i);
        for (int u = 1; u <= 3; ++u)
            for (int f = 1; f <= 2; ++f) {
                TInputFunction &F = In.Users[u].Functions[f];
                const int P = 75 + 6 * (i - 1) + 2 * (u - 1) + (f - 1);
                R.push_back({"function " + N(P), [&F] { F.Reaction = 0x302; }, {{P, 2}}});
                for (int Gps = 1; Gps <= 3; ++Gps)
                    R.push_back({"gps action", [&F, Gps] {
                                     F.GpsAction = Gps;
                                     F.ReactOnShort = 1;
                                     F.Reaction = ReactionRing;
                                 },
                                 {{P, 0x80 | (2 << Gps) | 1}}});
            }
    }
    for (int o = 1; o <= 2; ++o)
        for (int a = 1; a <= 2; ++a)
            for (int u = 1; u <= 3; ++u)
                Int("notify", S.Outputs[o].Actions[a].Notify[u].Reaction, 123 + 6 * (o - 1) + 3 * (a - 1) + (u - 1));
    for (int u = 1; u <= 3; ++u) {
        Int("arm", S.ArmNotify[u].Reaction, 134 + u);
        Int("disarm", S.DisarmNotify[u].Reaction, 137 + u);
        Int("test", S.TestNotify[u].Reaction, 140 + u);
    }
    return R;
}

TEST(Image, ParameterBytes)
{
    ZeroSettings();
    const TImage Base = Encoded();
    ASSERT_EQ(Base[0], 146);
    ASSERT_EQ(Base[1], 109);
    ASSERT_EQ(Base[18], 255);
    for (const TParamRow &Row : ParamRows()) {
        SCOPED_TRACE(Row.Name);
        ZeroSettings();
        Row.Change();
        TImage Expected = Base;
        for (const auto &[Offset, Value] : Row.Bytes)
            Expected[Offset] = static_cast<uint8_t>(Value);
        TImage Actual = Encoded();
        // Only the parameter block is compared here; records and codes have their own cases.
        Actual.resize(148);
        Expected.resize(148);
        ExpectSameImage(Actual, Expected);
    }
}

// Offsets that the map gives a meaning to, for the lengths this record holds.
std::vector<bool> NamedBytes(const TSettings &S)
{
    std::vector<bool> Named(DeviceImageSize, false);
    auto Mark = [&](size_t From, size_t Count) {
        for (size_t I = From; I < From + Count; ++I)
            Named[I] = true;
    };
    Mark(0, 148);
    Mark(150, S.SimPin.Len() == 4 ? 16 : 3);
    Mark(200, 3 + S.Users[1].PhoneNumber.Len());
    Mark(225, 3 + S.Users[2].PhoneNumber.Len());
    Mark(250, 3 + S.Users[3].PhoneNumber.Len());
    Mark(275, 3 + S.SmsCentreNumber.Len());
    Mark(300, 85);
    int Slot = 0;
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == TFieldKind::Text && F.Capacity == 160)
            Mark(400 + 64 * Slot++, 4 + FieldText(S, F).size());
    Mark(8186, 6);
    return Named;
}

TEST(Image, RandomWellFormedRecords)
{
    std::mt19937 Rng(2024);
    for (int Round = 0; Round < 200; ++Round) {
        SCOPED_TRACE("round " + std::to_string(Round));
        FillWellFormed(Settings, Rng, 60);
        std::memset(DeviceImage, 0xA5, sizeof DeviceImage); // whatever an earlier set left
        const TImage First = Encoded();
        const std::vector<bool> Named = NamedBytes(Settings);
        int Stray = 0;
        for (size_t I = 0; I < First.size(); ++I)
            if (!Named[I] && First[I] != 0 && Stray++ < 4)
                ADD_FAILURE() << "unnamed byte " << I << " = " << int(First[I]);
        EXPECT_EQ(Encoded(), First);
        EXPECT_EQ(First[0], 146);
        EXPECT_EQ(First[1], 109);
    }
}

TEST(Image, NewRecordLeavesNothingOfOld)
{
    std::mt19937 Rng(99);
    FillWellFormed(Settings, Rng, 60);
    const TImage Full = Encoded();
    const TImage Defaults = EncodedDefaults();
    EXPECT_NE(Full, Defaults);
    ExpectSameImage(Defaults, ExpectedDefaultImage());
}

TEST(Image, HostileLengthBytesStayInBounds)
{
    std::mt19937 Rng(13);
    for (int Round = 0; Round < 50; ++Round) {
        SCOPED_TRACE("round " + std::to_string(Round));
        FillRandomBytes(Settings, Rng);
        for (const TFieldDesc &F : SettingsFields())
            if (F.Kind == TFieldKind::Text)
                RecordBytes(Settings)[F.Offset] = 255;
        const TImage Image = Encoded();

        // Each record uses the field's capacity at most.
        EXPECT_EQ(Image[2], 23);
        EXPECT_EQ(Image[5], 23);
        EXPECT_EQ(Image[150], 13);
        for (int P : {200, 225, 250, 275})
            EXPECT_EQ(Image[P], 23) << P;
        for (int K = 0; K < 69; ++K)
            EXPECT_EQ(Image[400 + 64 * K], 161) << "slot " << K;
        for (int P = 300; P < 385; P += 5)
            EXPECT_EQ(Image[P + 4], 0) << "code at " << P;
        EXPECT_EQ(Image[8186], 4);
        EXPECT_EQ(std::memcmp(&Image[8188], Settings.DevicePin.Chars, 4), 0);
        // The last slot ends at 4915; nothing lies between it and the trailer.
        for (size_t I = 4916; I < 8186; ++I)
            ASSERT_EQ(Image[I], 0) << "offset " << I;
    }
}

} // namespace
