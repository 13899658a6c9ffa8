// Each kind of image row alone, hostile images and their findings, and the
// field-level comparison of a set with a device's image.
#include "UDecls.h"
#include "UFields.h"
#include "UImage.h"
#include "UImageMap.h"
#include "UProcs.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TImageBuf {
    uint8_t Bytes[DeviceImageSize];
};

using TEdits = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;

std::vector<uint8_t> Chars(const std::string &Text)
{
    return std::vector<uint8_t>(Text.begin(), Text.end());
}

std::vector<uint8_t> Cat(std::vector<uint8_t> A, const std::vector<uint8_t> &B)
{
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

// The default set's image with the edits written over it.
std::unique_ptr<TImageBuf> DefaultImageWith(const TEdits &Edits)
{
    SetDefaultSettings();
    auto Image = std::make_unique<TImageBuf>();
    EncodeImageOf(Settings, Image->Bytes);
    for (const auto &[At, Bytes] : Edits)
        std::copy(Bytes.begin(), Bytes.end(), Image->Bytes + At);
    return Image;
}

std::vector<uint32_t> FindingOffsets(const TImageDecoding &D)
{
    std::vector<uint32_t> Out;
    for (const TImageFinding &F : D.Findings)
        Out.push_back(F.Offset);
    return Out;
}

bool WasKept(const TImageDecoding &D, const std::string &Name, TKeptReason Reason)
{
    return std::any_of(D.Kept.begin(), D.Kept.end(),
                       [&](const TKeptField &K) { return K.Field->Name == Name && K.Reason == Reason; });
}

struct TKindRow {
    const char *Name;
    TEdits Edits; // onto the default image
    std::function<bool(const TSettings &, const TImageDecoding &)> Decoded;
    std::vector<uint32_t> Findings;
};

const std::vector<uint8_t> SimPrefix = {8, 0, 12, 0, 1, 0, 10, 2};

const TKindRow KindRows[] = {
    {"TextSlot", {{400 + 64 * 7, Cat({7, 248}, Chars("Alarm!"))}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[2].Users[1].Functions[2].SmsText.Str() == "Alarm!"; },
     {}},
    {"TextSlotPastItsRoom", {{400, {100, 155}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[1].Users[1].Functions[1].SmsText.Len() == 99; },
     {400}},
    {"PhoneRecord", {{3, {3}}, {225, Cat({3, 252}, Chars("123"))}},
     [](const TSettings &S, const TImageDecoding &) { return S.Users[2].PhoneNumber.Str() == "123"; }, {}},
    {"PhoneRecordWithoutItsLength", {{275, Cat({3, 252}, Chars("123"))}},
     [](const TSettings &S, const TImageDecoding &) { return S.SmsCentreNumber.Str() == "123"; }, {5}},
    {"SimPinRecord", {{150, Cat(Cat({13, 242}, SimPrefix), Chars("1234"))}},
     [](const TSettings &S, const TImageDecoding &) { return S.SimPin.Str() == "1234"; }, {}},
    {"SimPinEmptyRecordKeepsTheBase", {},
     [](const TSettings &S, const TImageDecoding &D) {
         return S.SimPin.Empty() && WasKept(D, "SimPin", TKeptReason::EmptyRecord);
     },
     {}},
    {"SimPinForeignRecord", {{150, Cat({13, 242}, Chars("ABCDEFGH1234"))}},
     [](const TSettings &S, const TImageDecoding &D) {
         return S.SimPin.Empty() && WasKept(D, "SimPin", TKeptReason::Untrusted);
     },
     {150}},
    {"CodeCarriesItsFlag", {{340, Chars("GO")}},
     [](const TSettings &S, const TImageDecoding &) {
         return S.GpsUsers[1].StartBySms == 1 && S.GpsUsers[1].StartSmsCode.Str() == "GO";
     },
     {}},
    {"CodeOfZerosKeepsFlagAndCode", {},
     [](const TSettings &S, const TImageDecoding &D) {
         return S.GpsUsers[1].StartBySms == 0 && WasKept(D, "GpsUsers[1].StartBySms", TKeptReason::ConditionOff) &&
                WasKept(D, "GpsUsers[1].StartSmsCode", TKeptReason::ConditionOff);
     },
     {}},
    {"CodeWithAFifthByte", {{380, Chars("ABCDE")}},
     [](const TSettings &S, const TImageDecoding &) { return S.PhoneRestartSmsCode.Str() == "ABCD"; }, {380}},
    {"RingInCodeInModeThree", {{10, {3}}, {330, Chars("RING")}},
     [](const TSettings &S, const TImageDecoding &) { return S.RingInMode == 3 && S.RingInSmsCode.Str() == "RING"; },
     {}},
    {"RingInCodeEnabledAndEmpty", {{10, {3}}},
     [](const TSettings &S, const TImageDecoding &D) {
         return S.RingInSmsCode.Empty() && !WasKept(D, "RingInSmsCode", TKeptReason::ConditionOff);
     },
     {}},
    {"RingInCodeInModeOne", {{330, Chars("RING")}},
     [](const TSettings &S, const TImageDecoding &D) {
         return S.RingInSmsCode.Empty() && WasKept(D, "RingInSmsCode", TKeptReason::ConditionOff);
     },
     {330}},
    {"ParameterByte", {{13, {77}}},
     [](const TSettings &S, const TImageDecoding &) { return S.SmsLimitCount == 77; }, {}},
    {"ParameterByteOutOfRange", {{48, {4}}},
     [](const TSettings &S, const TImageDecoding &) { return S.PowerUpArmState == 4; }, {48}},
    {"ListByteOutOfRange", {{25, {3}}},
     [](const TSettings &S, const TImageDecoding &) { return S.PhoneModel == 3; }, {25}},
    {"Flag", {{50, {1}}}, [](const TSettings &S, const TImageDecoding &) { return S.ArmByRing == 1; }, {}},
    {"FlagOfTwo", {{50, {2}}}, [](const TSettings &S, const TImageDecoding &) { return S.ArmByRing == 1; }, {50}},
    {"CondByte", {{28, {60}}},
     [](const TSettings &S, const TImageDecoding &) { return S.TestEnabled == 1 && S.TestPeriod == 10; }, {}},
    {"CondByteNotAMultiple", {{28, {61}}},
     [](const TSettings &S, const TImageDecoding &) { return S.TestEnabled == 1 && S.TestPeriod == 10; }, {28}},
    {"CondByteOffKeepsTheValue", {},
     [](const TSettings &S, const TImageDecoding &D) {
         return S.Outputs[2].Actions[1].AutoRevert == 0 &&
                WasKept(D, "Outputs[2].Actions[1].AutoRevertTime", TKeptReason::ConditionOff);
     },
     {}},
    {"MaskBitInUse", {{56, {0x04}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[3].Activity == 2; }, {}},
    {"MaskBitsAlwaysActive", {{56, {0x04}}, {57, {0x04}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[3].Activity == 1; }, {}},
    {"MaskBitAlwaysActiveWithoutUse", {{57, {0x80}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[8].Activity == 1; }, {57}},
    {"MaskBitUnit", {{58, {0x80}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[8].DelayUnit10s == 1; }, {}},
    {"MaskBitOutput", {{62, {0x20}}},
     [](const TSettings &S, const TImageDecoding &) {
         return S.Inputs[4].OpenOut1Off == 1 && S.Inputs[4].OpenOut1On == 0;
     },
     {}},
    {"FunctionBits", {{75 + 18 + 2, {139}}},
     [](const TSettings &S, const TImageDecoding &) {
         const TInputFunction &F = S.Inputs[4].Users[2].Functions[1];
         return F.Reaction == 3 && F.GpsAction == 2 && F.ReactOnShort == 1;
     },
     {}},
    {"FunctionBitsTwoGpsActions", {{75, {0x0C}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[1].Users[1].Functions[1].GpsAction == 1; },
     {75}},
    {"ReactionByte", {{123, {2}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Outputs[1].Actions[1].Notify[1].Reaction == 2; }, {}},
    {"ReactionByteUnknownBits", {{143, {9}}},
     [](const TSettings &S, const TImageDecoding &) { return S.TestNotify[3].Reaction == 9; }, {143}},
    {"Trailer", {{8188, Chars("4321")}},
     [](const TSettings &S, const TImageDecoding &) { return S.DevicePin.Str() == "4321"; }, {}},
    {"TrailerHeader", {{8186, {5, 250}}},
     [](const TSettings &S, const TImageDecoding &) { return S.DevicePin.Str() == "9518"; }, {8186}},
    {"Header", {{0, {146, 110}}}, [](const TSettings &, const TImageDecoding &) { return true; }, {0}},
    {"FixedByte", {{18, {254}}}, [](const TSettings &, const TImageDecoding &) { return true; }, {18}},
    {"ZeroArea", {{5000, {1, 0, 0, 2}}, {170, {9}}}, [](const TSettings &, const TImageDecoding &) { return true; },
     {170, 5000}},
    {"BrokenComplement", {{401, {0}}, {226, {7}}},
     [](const TSettings &S, const TImageDecoding &) { return S.Inputs[1].Users[1].Functions[1].SmsText.Empty(); },
     {225, 400}},
};

class ImageKind : public ::testing::TestWithParam<TKindRow> {};

TEST_P(ImageKind, DecodesAlone)
{
    const TKindRow &Row = GetParam();
    const auto Image = DefaultImageWith(Row.Edits);
    auto S = std::make_unique<TSettings>(Settings);
    const TImageDecoding D = DecodeDeviceImage(Image->Bytes, *S);
    EXPECT_TRUE(Row.Decoded(*S, D));
    EXPECT_EQ(FindingOffsets(D), Row.Findings);
    for (const TImageFinding &F : D.Findings)
        EXPECT_FALSE(F.Text.empty());
    // Everything the row did not touch is the default set's.
    auto Again = std::make_unique<TImageBuf>();
    EncodeImageOf(*S, Again->Bytes);
    SetDefaultSettings();
    for (const TFieldDesc &F : SettingsFields()) {
        bool Touched = false;
        for (const TImageEntry &E : DeviceImageMap())
            if (E.Field == &F || E.Field2 == &F || E.Field3 == &F || E.Cond == &F)
                for (const auto &[At, Bytes] : Row.Edits)
                    Touched = Touched || (E.Offset < At + Bytes.size() && At < E.Offset + E.Room);
        if (!Touched) {
            EXPECT_TRUE(SameFieldValue(*S, Settings, F)) << F.Name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Image, ImageKind, ::testing::ValuesIn(KindRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(ImageDecode, DefaultImageHasNoFindings)
{
    const auto Image = DefaultImageWith({});
    auto S = std::make_unique<TSettings>(Settings);
    const TImageDecoding D = DecodeDeviceImage(Image->Bytes, *S);
    EXPECT_TRUE(D.Findings.empty());
    EXPECT_EQ(std::memcmp(S.get(), &Settings, sizeof Settings), 0);
}

struct THostileRow {
    const char *Name;
    std::function<void(uint8_t *)> Make;
    std::vector<uint32_t> AmongFindings;
};

const THostileRow HostileRows[] = {
    {"AllZero", [](uint8_t *X) { std::memset(X, 0, DeviceImageSize); }, {0, 18, 150, 200, 275, 400, 4752, 8186}},
    {"AllFF", [](uint8_t *X) { std::memset(X, 0xFF, DeviceImageSize); }, {0, 9, 150, 200, 300, 400, 4916, 8186}},
    {"RandomBytes",
     [](uint8_t *X) {
         std::mt19937 Rng(4);
         for (size_t I = 0; I < DeviceImageSize; ++I)
             X[I] = static_cast<uint8_t>(Rng());
     },
     {0, 150, 8186}},
    {"LengthsPastTheirRoom",
     [](uint8_t *X) {
         SetDefaultSettings();
         uint8_t(&Image)[DeviceImageSize] = *reinterpret_cast<uint8_t(*)[DeviceImageSize]>(X);
         EncodeImageOf(Settings, Image);
         X[200] = 40;
         X[201] = 215;
         X[4752] = 200;
         X[4753] = 55;
     },
     {200, 4752}},
};

class ImageHostile : public ::testing::TestWithParam<THostileRow> {};

TEST_P(ImageHostile, DecodesWithFindings)
{
    auto X = std::make_unique<TImageBuf>();
    GetParam().Make(X->Bytes);
    SetDefaultSettings();
    auto S = std::make_unique<TSettings>(Settings);
    const TImageDecoding D = DecodeDeviceImage(X->Bytes, *S);
    const std::vector<uint32_t> Offsets = FindingOffsets(D);
    for (uint32_t Expected : GetParam().AmongFindings)
        EXPECT_NE(std::find(Offsets.begin(), Offsets.end(), Expected), Offsets.end()) << Expected;
    EXPECT_TRUE(std::is_sorted(Offsets.begin(), Offsets.end()));
    for (const TImageFinding &F : D.Findings)
        EXPECT_LE(F.Offset + F.Count, DeviceImageSize) << ImageFindingText(F);
    // Texts stay within their fields.
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == TFieldKind::Text) {
            EXPECT_LE(reinterpret_cast<const uint8_t *>(S.get())[F.Offset], F.Capacity) << F.Name;
        }
}

INSTANTIATE_TEST_SUITE_P(Image, ImageHostile, ::testing::ValuesIn(HostileRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// What read and decode print after the run: the groups of kept settings, then the findings.
struct TReportRow {
    const char *Name;
    TEdits Edits; // onto the default image
    std::vector<std::string> Lines;
};

const std::string NotStored = "Z zestawu bazowego, bo urządzenie ich nie przechowuje: identyfikatory i opisy "
                              "użytkowników, wejść i wyjść, odpowiedzi GPS dla każdego numeru i ich kod, ważność SMS, "
                              "wersja nadajnika.";

const TReportRow ReportRows[] = {
    {"DefaultImage",
     {},
     {NotStored, "Z zestawu bazowego, bo urządzenie ich nie podaje: 17 kodów SMS wyłączonych lub pustych, "
                 "16 przełączników „po SMS” przy pustych kodach, okres testu (test wyłączony), "
                 "PIN karty SIM (brak w urządzeniu), 4 czasy powrotu wyjść (powrót wyłączony)."}},
    {"TestCodeRevertAndPinOn",
     {{28, {60}}, {31, {20}}, {300, Chars("AB")}, {150, Cat(Cat({13, 242}, SimPrefix), Chars("1234"))}},
     {NotStored,
      "Z zestawu bazowego, bo urządzenie ich nie podaje: 16 kodów SMS wyłączonych lub pustych, "
      "15 przełączników „po SMS” przy pustych kodach, 3 czasy powrotu wyjść (powrót wyłączony)."}},
    {"EveryRevertOn",
     {{31, {1, 2, 3, 4}}},
     {NotStored, "Z zestawu bazowego, bo urządzenie ich nie podaje: 17 kodów SMS wyłączonych lub pustych, "
                 "16 przełączników „po SMS” przy pustych kodach, okres testu (test wyłączony), "
                 "PIN karty SIM (brak w urządzeniu)."}},
    {"ForeignSimPin",
     {{150, Cat({13, 242}, Chars("ABCDEFGH1234"))}},
     {NotStored,
      "Z zestawu bazowego, bo urządzenie ich nie podaje: 17 kodów SMS wyłączonych lub pustych, "
      "16 przełączników „po SMS” przy pustych kodach, okres testu (test wyłączony), "
      "4 czasy powrotu wyjść (powrót wyłączony).",
      "Z zestawu bazowego, bo ich bajty są uszkodzone: SimPin.", "Uwagi do obrazu pamięci (1):",
      "  0x0096 (150), 16 B: SimPin: rekord o długości 13 nie jest rekordem PIN-u"}},
    {"OneFindingOverManyFieldsIsOneLine",
     {{6, {0, 0}}, {10, {0}}, {67, {0, 0, 0, 0, 0, 0, 0, 0}}},
     {NotStored,
      "Z zestawu bazowego, bo urządzenie ich nie podaje: 17 kodów SMS wyłączonych lub pustych, "
      "16 przełączników „po SMS” przy pustych kodach, okres testu (test wyłączony), "
      "PIN karty SIM (brak w urządzeniu), 4 czasy powrotu wyjść (powrót wyłączony).",
      "Uwagi do obrazu pamięci (11):", "  0x0006 (6), 1 B: RingOutDuration: 0 poza zakresem 1..255",
      "  0x0007 (7), 1 B: RingOutRetryDelay: 0 poza zakresem 1..255", "  0x000A (10), 1 B: RingInMode: 0 poza zakresem 1..3",
      "  0x0043 (67) … 0x004A (74), 8 pól: Inputs[1].DelayTime … Inputs[8].DelayTime: 0 poza zakresem 1..255"}},
};

class ImageReport : public ::testing::TestWithParam<TReportRow> {};

TEST_P(ImageReport, GroupsKeptSettingsAndFindings)
{
    const auto Image = DefaultImageWith(GetParam().Edits);
    auto S = std::make_unique<TSettings>(Settings);
    EXPECT_EQ(DecodingReport(DecodeDeviceImage(Image->Bytes, *S)), GetParam().Lines);
}

INSTANTIATE_TEST_SUITE_P(Image, ImageReport, ::testing::ValuesIn(ReportRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// The comparison names exactly the settings changed on the device.
struct TCompareRow {
    const char *Name;
    std::function<void(TSettings &)> Set;    // onto the default set
    std::function<void(TSettings &)> Device; // onto the set
    std::vector<std::string> Lines;
};

const TCompareRow CompareRows[] = {
    {"Equal", [](TSettings &) {}, [](TSettings &) {}, {}},
    {"SmsText", [](TSettings &S) { S.Inputs[3].Users[2].Functions[1].SmsText.Assign("Alarm"); },
     [](TSettings &S) { S.Inputs[3].Users[2].Functions[1].SmsText.Assign("Alarm!"); },
     {"Inputs[3].Users[2].Functions[1].SmsText: zestaw \"Alarm\", urządzenie \"Alarm!\""}},
    {"PhoneNumber", [](TSettings &) {}, [](TSettings &S) { S.Users[1].PhoneNumber.Assign("+48600"); },
     {"Users[1].PhoneNumber: zestaw \"\", urządzenie \"+48600\""}},
    {"Byte", [](TSettings &) {}, [](TSettings &S) { S.SmsAttempts = 3; }, {"SmsAttempts: zestaw 10, urządzenie 3"}},
    {"Flag", [](TSettings &) {}, [](TSettings &S) { S.DisarmOut2Off = 1; }, {"DisarmOut2Off: zestaw 0, urządzenie 1"}},
    {"MaskBit", [](TSettings &) {}, [](TSettings &S) { S.Inputs[5].Activity = 1; },
     {"Inputs[5].Activity: zestaw 0, urządzenie 1"}},
    {"FunctionBits", [](TSettings &) {}, [](TSettings &S) { S.Inputs[8].Users[3].Functions[2].GpsAction = 3; },
     {"Inputs[8].Users[3].Functions[2].GpsAction: zestaw 0, urządzenie 3"}},
    {"CodeChanged",
     [](TSettings &S) {
         S.ArmBySms = 1;
         S.ArmSmsCode.Assign("UZB");
     },
     [](TSettings &S) { S.ArmSmsCode.Assign("UZX"); }, {"ArmSmsCode: zestaw \"UZB\", urządzenie \"UZX\""}},
    {"CodeOffOnTheDevice",
     [](TSettings &S) {
         S.ArmBySms = 1;
         S.ArmSmsCode.Assign("UZB");
     },
     [](TSettings &S) { S.ArmBySms = 0; }, {"ArmBySms: zestaw 1, urządzenie 0"}},
    {"SimPin", [](TSettings &S) { S.SimPin.Assign("1111"); }, [](TSettings &S) { S.SimPin.Assign("2222"); },
     {"SimPin: zestaw \"1111\", urządzenie \"2222\""}},
    {"SimPinRemovedOnTheDevice", [](TSettings &S) { S.SimPin.Assign("1111"); },
     [](TSettings &S) { S.SimPin.Assign("11"); }, {"SimPin: zestaw \"1111\", urządzenie \"\""}},
    {"TestOffOnTheDevice",
     [](TSettings &S) {
         S.TestEnabled = 1;
         S.TestPeriod = 24;
     },
     [](TSettings &S) { S.TestEnabled = 0; }, {"TestEnabled: zestaw 1, urządzenie 0"}},
    {"TestPeriod",
     [](TSettings &S) {
         S.TestEnabled = 1;
         S.TestPeriod = 24;
     },
     [](TSettings &S) { S.TestPeriod = 12; }, {"TestPeriod: zestaw 24, urządzenie 12"}},
    {"DevicePin", [](TSettings &) {}, [](TSettings &S) { S.DevicePin.Assign("0000"); },
     {"DevicePin: zestaw \"9518\", urządzenie \"0000\""}},
    {"TwoAtOnce", [](TSettings &) {},
     [](TSettings &S) {
         S.RingOutAttempts = 9;
         S.TestNotify[2].SmsText.Assign("Test");
     },
     {"TestNotify[2].SmsText: zestaw \"\", urządzenie \"Test\"", "RingOutAttempts: zestaw 3, urządzenie 9"}},
    {"NotCarriedNeverDiffers", [](TSettings &) {}, [](TSettings &S) { S.Users[2].Description.Assign("Jan"); }, {}},
};

class ImageCompare : public ::testing::TestWithParam<TCompareRow> {};

TEST_P(ImageCompare, NamesTheChangedSettings)
{
    SetDefaultSettings();
    GetParam().Set(Settings);
    auto Device = std::make_unique<TSettings>(Settings);
    GetParam().Device(*Device);
    auto Image = std::make_unique<TImageBuf>();
    EncodeImageOf(*Device, Image->Bytes);
    std::vector<std::string> Lines;
    for (const TImageDifference &D : CompareDeviceImage(Settings, Image->Bytes))
        Lines.push_back(ImageDifferenceText(D));
    EXPECT_EQ(Lines, GetParam().Lines);
}

INSTANTIATE_TEST_SUITE_P(Image, ImageCompare, ::testing::ValuesIn(CompareRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(ImageCompare, BytesNoSettingExplains)
{
    SetDefaultSettings();
    auto Image = std::make_unique<TImageBuf>();
    EncodeImageOf(Settings, Image->Bytes);
    Image->Bytes[6000] = 0xAB;
    Image->Bytes[6001] = 0xCD;
    Image->Bytes[401] = 0; // a broken complement: the text itself is the same
    Image->Bytes[13] = 11; // and one setting
    std::vector<std::string> Lines;
    for (const TImageDifference &D : CompareDeviceImage(Settings, Image->Bytes))
        Lines.push_back(ImageDifferenceText(D));
    const std::vector<std::string> Expected = {"SmsLimitCount: zestaw 10, urządzenie 11",
                                               "0x0191 (401), 1 B: zestaw FE, urządzenie 00",
                                               "0x1770 (6000), 2 B: zestaw 00 00, urządzenie AB CD"};
    EXPECT_EQ(Lines, Expected);
}

} // namespace
