#include "UImageDecode.h"

#include "UImageMap.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr uint32_t ShownRunBytes = 16;

std::string HexRun(const uint8_t *P, uint32_t Count)
{
    std::string Out;
    char Byte[4];
    for (uint32_t I = 0; I < Count && I < ShownRunBytes; ++I) {
        std::snprintf(Byte, sizeof Byte, I ? " %02X" : "%02X", P[I]);
        Out += Byte;
    }
    if (Count > ShownRunBytes)
        Out += " …";
    return Out;
}

} // namespace

std::vector<TImageDifference> CompareDeviceImage(const TSettings &Set, const uint8_t (&Device)[DeviceImageSize])
{
    // Five zeros in a code field say "off", not "the set's code", and an
    // empty SIM PIN record says "no PIN": what the image carries only through
    // those bytes starts cleared on both sides.
    auto Base = std::make_unique<TSettings>(Set);
    for (const TImageEntry &E : DeviceImageMap()) {
        if (E.Kind == TImageKind::Code && !E.CondEquals)
            SetFieldByte(*Base, *E.Cond, 0);
        if (E.Kind == TImageKind::SimPinRecord)
            SetFieldText(*Base, *E.Field, {});
    }

    struct TWork {
        uint8_t SetImage[DeviceImageSize];
        uint8_t Again[DeviceImageSize];
        TSettings FromSet, FromDevice;
    };
    auto W = std::make_unique<TWork>();
    EncodeImageOf(Set, W->SetImage);
    W->FromSet = *Base;
    DecodeDeviceImage(W->SetImage, W->FromSet);
    W->FromDevice = *Base;
    DecodeDeviceImage(Device, W->FromDevice);
    EncodeImageOf(W->FromDevice, W->Again);

    std::vector<const TFieldDesc *> Fields;
    for (const TFieldDesc &F : SettingsFields())
        Fields.push_back(&F);
    std::stable_sort(Fields.begin(), Fields.end(),
                     [](const TFieldDesc *A, const TFieldDesc *B) { return A->Offset < B->Offset; });

    std::vector<TImageDifference> Out;
    for (const TFieldDesc *F : Fields)
        if (!SameFieldValue(W->FromSet, W->FromDevice, *F))
            Out.push_back({F, FieldValueText(W->FromSet, *F), FieldValueText(W->FromDevice, *F), 0, 0});

    // A byte is explained when the device's settings, encoded again, give it back.
    auto Unexplained = [&](uint32_t I) { return W->SetImage[I] != Device[I] && W->Again[I] != Device[I]; };
    for (uint32_t I = 0; I < DeviceImageSize;) {
        if (!Unexplained(I)) {
            ++I;
            continue;
        }
        uint32_t End = I;
        while (End < DeviceImageSize && Unexplained(End))
            ++End;
        Out.push_back({nullptr, HexRun(&W->SetImage[I], End - I), HexRun(&Device[I], End - I), I, End - I});
        I = End;
    }
    return Out;
}

std::string ImageDifferenceText(const TImageDifference &D)
{
    if (D.Field != nullptr)
        return D.Field->Name + ": zestaw " + D.SetValue + ", urządzenie " + D.DeviceValue;
    char Head[64];
    std::snprintf(Head, sizeof Head, "0x%04X (%u), %u B", D.Offset, D.Offset, D.Count);
    return std::string(Head) + ": zestaw " + D.SetValue + ", urządzenie " + D.DeviceValue;
}
