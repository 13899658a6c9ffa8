// Any bytes as a device image read back (cut or padded with zeros to 8192),
// decoded onto a new default set and onto a base decoded from the bytes
// after the image (a set as a read could have made it). The decoding must be stable after one round, stay inside every
// field, report findings inside the image, and compare without a fault.
#include "UDecls.h"
#include "UFields.h"
#include "UImage.h"
#include "UImageMap.h"
#include "UProcs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Require(bool Ok, const char *What, long Where = -1)
{
    if (!Ok) {
        std::fprintf(stderr, "invariant broken: %s (%ld)\n", What, Where);
        std::abort();
    }
}

struct TWork {
    uint8_t X[DeviceImageSize];
    uint8_t Y[DeviceImageSize];
    uint8_t Z[DeviceImageSize];
    TSettings Base, D1, D2;
};

void CheckRound(TWork &W)
{
    W.D1 = W.Base;
    const TImageDecoding First = DecodeDeviceImage(W.X, W.D1);
    uint32_t Last = 0;
    for (const TImageFinding &F : First.Findings) {
        Require(F.Offset + F.Count <= DeviceImageSize && F.Count > 0, "finding inside the image", F.Offset);
        Require(F.Offset >= Last, "findings in offset order", F.Offset);
        Require(!F.Text.empty(), "finding says what is wrong", F.Offset);
        Last = F.Offset;
    }
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == TFieldKind::Text)
            Require(reinterpret_cast<const uint8_t *>(&W.D1)[F.Offset] <= F.Capacity, "text within its field",
                    F.Offset);
    // Only the fields change: gaps and what the image does not carry stay the base's.
    for (const TFieldDesc *F : FieldsNotInImage())
        Require(SameFieldValue(W.D1, W.Base, *F), "field not in the image keeps the base", F->Offset);

    EncodeImageOf(W.D1, W.Y);
    W.D2 = W.Base;
    DecodeDeviceImage(W.Y, W.D2);
    Require(std::memcmp(&W.D1, &W.D2, sizeof W.D1) == 0, "stable after one round, onto the base");
    W.D2 = W.D1;
    DecodeDeviceImage(W.Y, W.D2);
    Require(std::memcmp(&W.D1, &W.D2, sizeof W.D1) == 0, "stable after one round, onto itself");
    EncodeImageOf(W.D2, W.Z);
    Require(std::memcmp(W.Y, W.Z, DeviceImageSize) == 0, "the image of the decoded record is a fixed point");

    for (const TImageDifference &D : CompareDeviceImage(W.Base, W.X))
        Require(D.Field != nullptr || (D.Count > 0 && D.Offset + D.Count <= DeviceImageSize),
                "difference inside the image", D.Offset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    static TWork W;
    std::memset(W.X, 0, sizeof W.X);
    std::memcpy(W.X, Data, Size < DeviceImageSize ? Size : DeviceImageSize);

    SetDefaultSettings();
    W.Base = Settings;
    CheckRound(W);

    if (Size > DeviceImageSize) {
        const size_t More = Size - DeviceImageSize;
        std::memset(W.Y, 0, sizeof W.Y);
        std::memcpy(W.Y, Data + DeviceImageSize, More < DeviceImageSize ? More : DeviceImageSize);
        DecodeDeviceImage(W.Y, W.Base);
        CheckRound(W);
    }
    return 0;
}
