// Reading the device image back: the round-trip properties over random
// records and images, each kind of map row alone, hostile images, and the
// findings the check gives.
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
#include <vector>

namespace {

struct TImageBuf {
    uint8_t Bytes[DeviceImageSize];
};

std::unique_ptr<TImageBuf> EncodedOf(const TSettings &S)
{
    auto Image = std::make_unique<TImageBuf>();
    EncodeImageOf(S, Image->Bytes);
    return Image;
}

bool SameRecord(const TSettings &A, const TSettings &B)
{
    return std::memcmp(&A, &B, sizeof A) == 0;
}

// The first few fields (through the table) in which two records differ.
std::string FirstDifferences(const TSettings &A, const TSettings &B)
{
    std::string Out;
    int Shown = 0;
    for (const TFieldDesc &F : SettingsFields())
        if (!SameFieldValue(A, B, F) && Shown++ < 4)
            Out += F.Name + ": " + FieldValueText(A, F) + " / " + FieldValueText(B, F) + "\n";
    if (Out.empty() && !SameRecord(A, B))
        Out = "bytes outside the values differ (a stale tail or a gap)";
    return Out;
}

// A record whose every value lies in the range its control allows.
void FillInRange(TSettings &S, std::mt19937 &Rng)
{
    FillWellFormed(S, Rng, 60);
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Number:
            SetFieldInt(S, F, static_cast<int32_t>(Rng() % (F.Name == "TestPeriod" || F.Name == "SmsLimitPeriod" ? 42 : 255) + 1));
            break;
        case TFieldKind::RadioGroup:
            SetFieldInt(S, F, F.FirstOrdinal + static_cast<int32_t>(Rng() % static_cast<unsigned>(F.RadioCount)));
            break;
        case TFieldKind::Reaction: SetFieldInt(S, F, static_cast<int32_t>(Rng() % 4)); break;
        // An item of the list: "BRAK" and the versions or phone models.
        case TFieldKind::List: SetFieldInt(S, F, static_cast<int32_t>(Rng() % (F.Name == "PhoneModel" ? 3 : 2))); break;
        case TFieldKind::Text: {
            // Edits hold no zero character; phone numbers end at 22.
            const size_t Max = F.Capacity == 23 ? 22 : F.Capacity == 160 ? 60 : static_cast<size_t>(F.Capacity);
            SetFieldText(S, F, RandomChars(Rng, Rng() % (Max + 1)));
            break;
        }
        default: break;
        }
    }
}

TEST(ImageMap, RowsInOffsetOrderWithinTheImage)
{
    const TImageEntry *Prev = nullptr;
    for (const TImageEntry &E : DeviceImageMap()) {
        EXPECT_LE(E.Offset + E.Room, DeviceImageSize) << E.Offset;
        if (E.Kind != TImageKind::Fixed) {
            EXPECT_NE(E.Field, nullptr) << E.Offset;
        }
        // Rows never overlap, except the bits of one mask byte.
        if (Prev != nullptr && E.Offset < Prev->Offset + Prev->Room) {
            EXPECT_TRUE(E.Kind == TImageKind::MaskBit && Prev->Kind == TImageKind::MaskBit && E.Offset == Prev->Offset)
                << E.Offset;
        }
        if (Prev != nullptr) {
            EXPECT_GE(E.Offset, Prev->Offset);
        }
        Prev = &E;
    }
}

TEST(ImageMap, FieldsNotInTheImage)
{
    std::vector<std::string> Names;
    for (const TFieldDesc *F : FieldsNotInImage())
        Names.push_back(F->Name);
    std::vector<std::string> Expected;
    for (int u = 1; u <= 3; ++u)
        for (const char *Leaf : {"Identifier", "Description"})
            Expected.push_back("Users[" + std::to_string(u) + "]." + Leaf);
    for (int i = 1; i <= 8; ++i)
        Expected.push_back("Inputs[" + std::to_string(i) + "].Description");
    for (int o = 1; o <= 2; ++o)
        Expected.push_back("Outputs[" + std::to_string(o) + "].Description");
    for (const char *Name : {"GpsReplyToAnyRing", "GpsReplyToAnySms", "GpsReplySmsCode", "SmsValidityUnit",
                             "SmsValidityHours", "SmsValidityDays", "SmsValidityWeeks", "DeviceVersion"})
        Expected.push_back(Name);
    std::sort(Names.begin(), Names.end());
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Names, Expected);
}

// For every record R: Encode(Decode(Encode(R)) onto R) = Encode(R), hostile records included.
TEST(ImageDecode, EncodingTheDecodedRecordGivesTheSameImage)
{
    std::mt19937 Rng(311);
    auto R = std::make_unique<TSettings>();
    for (int Round = 0; Round < 600; ++Round) {
        SCOPED_TRACE("round " + std::to_string(Round));
        switch (Round % 3) {
        case 0: FillRandomBytes(*R, Rng); break;
        case 1: FillWellFormed(*R, Rng, 160); break;
        default: FillInRange(*R, Rng); break;
        }
        const auto First = EncodedOf(*R);
        auto D = std::make_unique<TSettings>(*R);
        DecodeDeviceImage(First->Bytes, *D);
        const auto Second = EncodedOf(*D);
        for (size_t I = 0; I < DeviceImageSize; ++I)
            ASSERT_EQ(First->Bytes[I], Second->Bytes[I]) << "offset " << I;
    }
}

// Within the controls' ranges the record comes back byte for byte, and its image has no findings.
TEST(ImageDecode, InRangeRecordsComeBackByteForByte)
{
    std::mt19937 Rng(2026);
    auto R = std::make_unique<TSettings>();
    for (int Round = 0; Round < 400; ++Round) {
        SCOPED_TRACE("round " + std::to_string(Round));
        FillInRange(*R, Rng);
        const auto Image = EncodedOf(*R);
        auto D = std::make_unique<TSettings>(*R);
        const TImageDecoding Result = DecodeDeviceImage(Image->Bytes, *D);
        ASSERT_TRUE(SameRecord(*R, *D)) << FirstDifferences(*R, *D);
        for (const TImageFinding &F : Result.Findings)
            ADD_FAILURE() << ImageFindingText(F);
    }
}

// Decoded onto a new default set, every value the image carries arrives.
TEST(ImageDecode, OntoAnotherBaseEveryCarriedValueArrives)
{
    std::mt19937 Rng(7);
    auto R = std::make_unique<TSettings>();
    auto D = std::make_unique<TSettings>();
    for (int Round = 0; Round < 100; ++Round) {
        FillInRange(*R, Rng);
        SetDefaultSettings();
        *D = Settings;
        const TImageDecoding Result = DecodeDeviceImage(EncodedOf(*R)->Bytes, *D);
        for (const TFieldDesc &F : SettingsFields()) {
            const bool Kept = std::any_of(Result.Kept.begin(), Result.Kept.end(),
                                          [&](const TKeptField &K) { return K.Field == &F; });
            const TSettings &Expected = Kept ? Settings : *R;
            ASSERT_TRUE(SameFieldValue(*D, Expected, F)) << F.Name << (Kept ? " (kept)" : "");
        }
    }
}

// Values outside their control's range do not come back as they were; each
// row is one reason, and the decoded value is what the image can say.
struct TExceptionRow {
    const char *Name;
    std::function<void(TSettings &)> Change;
    const char *Field;
    std::function<bool(const TSettings &)> Decoded;
};

const TExceptionRow ExceptionRows[] = {
    {"FlagBecomesOne", [](TSettings &S) { S.ArmByRing = 7; }, "ArmByRing",
     [](const TSettings &S) { return S.ArmByRing == 1; }},
    {"OnlyTheLowByteOfAnInteger", [](TSettings &S) { S.RingOutDuration = 0x1234; }, "RingOutDuration",
     [](const TSettings &S) { return S.RingOutDuration == 0x34; }},
    {"ActivityBeyondTwoIsInUse", [](TSettings &S) { S.Inputs[4].Activity = 9; }, "Inputs[4].Activity",
     [](const TSettings &S) { return S.Inputs[4].Activity == 2; }},
    {"GpsActionBeyondThreeIsNone", [](TSettings &S) { S.Inputs[1].Users[2].Functions[1].GpsAction = 4; },
     "Inputs[1].Users[2].Functions[1].GpsAction",
     [](const TSettings &S) { return S.Inputs[1].Users[2].Functions[1].GpsAction == 0; }},
    {"NotificationReactionLowByte", [](TSettings &S) { S.ArmNotify[2].Reaction = 0x105; }, "ArmNotify[2].Reaction",
     [](const TSettings &S) { return S.ArmNotify[2].Reaction == 5; }},
    {"TestPeriodFrom128RepeatsTheByte",
     [](TSettings &S) {
         S.TestEnabled = 1;
         S.TestPeriod = 130; // 780 leaves 12 in the byte, as 2 does
     },
     "TestPeriod", [](const TSettings &S) { return S.TestEnabled == 1 && S.TestPeriod == 2; }},
    {"TestPeriodZeroReadsAsOff",
     [](TSettings &S) {
         S.TestEnabled = 1;
         S.TestPeriod = 0;
     },
     "TestEnabled", [](const TSettings &S) { return S.TestEnabled == 0; }},
    {"AutoRevertTimeZeroReadsAsOff",
     [](TSettings &S) {
         S.Outputs[2].Actions[2].AutoRevert = 1;
         S.Outputs[2].Actions[2].AutoRevertTime = 0;
     },
     "Outputs[2].Actions[2].AutoRevert", [](const TSettings &S) { return S.Outputs[2].Actions[2].AutoRevert == 0; }},
    {"TextBeyond60LosesWhatTheNextSlotCovers",
     [](TSettings &S) { S.Inputs[1].Users[1].Functions[1].SmsText.Assign(std::string(100, 'L')); },
     "Inputs[1].Users[1].Functions[1].SmsText",
     [](const TSettings &S) {
         const std::string T = S.Inputs[1].Users[1].Functions[1].SmsText.Str();
         return T.size() == 100 && T.substr(0, 62) == std::string(62, 'L') && T[62] != 'L';
     }},
    {"CodeLosesTrailingZeroCharacters",
     [](TSettings &S) {
         S.ArmBySms = 1;
         S.ArmSmsCode.Assign(std::string("AB\0\0", 4));
     },
     "ArmSmsCode", [](const TSettings &S) { return S.ArmSmsCode.Str() == "AB"; }},
    {"DevicePinLosesTrailingZeroCharacters", [](TSettings &S) { S.DevicePin.Assign(std::string("1\0\0\0", 4)); },
     "DevicePin", [](const TSettings &S) { return S.DevicePin.Str() == "1"; }},
};

class ImageDecodeException : public ::testing::TestWithParam<TExceptionRow> {};

TEST_P(ImageDecodeException, OutOfRangeValue)
{
    std::mt19937 Rng(5);
    auto R = std::make_unique<TSettings>();
    FillInRange(*R, Rng);
    const auto Before = std::make_unique<TSettings>(*R);
    GetParam().Change(*R);
    auto D = std::make_unique<TSettings>(*R);
    DecodeDeviceImage(EncodedOf(*R)->Bytes, *D);
    EXPECT_TRUE(GetParam().Decoded(*D));
    const TFieldDesc &Changed = FieldNamed(GetParam().Field);
    EXPECT_FALSE(SameFieldValue(*R, *D, Changed));
    // Nothing the row did not touch moves.
    for (const TFieldDesc &F : SettingsFields())
        if (&F != &Changed && SameFieldValue(*Before, *R, F)) {
            EXPECT_TRUE(SameFieldValue(*R, *D, F)) << F.Name;
        }
}

INSTANTIATE_TEST_SUITE_P(Image, ImageDecodeException, ::testing::ValuesIn(ExceptionRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// For any 8192 bytes X: Decode(X) encodes to an image that decodes to the same record.
TEST(ImageDecode, AnyImageIsStableAfterOneRound)
{
    std::mt19937 Rng(8192);
    auto X = std::make_unique<TImageBuf>();
    auto Base = std::make_unique<TSettings>();
    auto D1 = std::make_unique<TSettings>();
    auto D2 = std::make_unique<TSettings>();
    for (int Round = 0; Round < 600; ++Round) {
        SCOPED_TRACE("round " + std::to_string(Round));
        FillInRange(*Base, Rng);
        switch (Round % 4) {
        case 0: // random bytes
            for (uint8_t &B : X->Bytes)
                B = static_cast<uint8_t>(Rng());
            break;
        case 1: // a sound image with a few bytes hit
        case 2: {
            auto R = std::make_unique<TSettings>();
            FillWellFormed(*R, Rng, Round % 4 == 1 ? 60 : 160);
            EncodeImageOf(*R, X->Bytes);
            for (int K = 0; K < 1 + Round % 13; ++K)
                X->Bytes[Rng() % (Round % 8 < 4 ? 4916 : DeviceImageSize)] = static_cast<uint8_t>(Rng());
            break;
        }
        default: // long texts everywhere: length bytes anywhere in 0..255
            EncodeImageOf(*Base, X->Bytes);
            for (int K = 0; K < 69; ++K)
                X->Bytes[400 + 64 * K] = static_cast<uint8_t>(Rng());
            break;
        }
        *D1 = *Base;
        DecodeDeviceImage(X->Bytes, *D1);
        const auto Y = EncodedOf(*D1);
        *D2 = *Base;
        DecodeDeviceImage(Y->Bytes, *D2);
        ASSERT_TRUE(SameRecord(*D1, *D2)) << FirstDifferences(*D1, *D2);
        *D2 = *D1;
        DecodeDeviceImage(Y->Bytes, *D2);
        ASSERT_TRUE(SameRecord(*D1, *D2)) << FirstDifferences(*D1, *D2);
        ASSERT_EQ(std::memcmp(EncodedOf(*D2)->Bytes, Y->Bytes, DeviceImageSize), 0);
    }
}

} // namespace
