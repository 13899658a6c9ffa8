// Any bytes as a settings file, taken as a whole-file read of the record's
// size would take them (cut or padded with zeros), then the field table, the
// check, the device image and its decoding, and the dump. Every broken
// invariant aborts.
#include "UDecls.h"
#include "UFields.h"
#include "UImage.h"
#include "UImageMap.h"
#include "UProcs.h"
#include "UTextSlots.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Require(bool Ok, const char *What, long Where = -1)
{
    if (!Ok) {
        std::fprintf(stderr, "invariant broken: %s (%ld)\n", What, Where);
        std::abort();
    }
}

size_t FieldSize(const TFieldDesc &F)
{
    switch (F.Kind) {
    case TFieldKind::Text: return 1 + static_cast<size_t>(F.Capacity);
    case TFieldKind::Flag:
    case TFieldKind::RadioPair: return 1;
    default: return 4;
    }
}

// The table's fields lie inside the record and never share a byte.
void CheckTableOnce()
{
    static bool Done = false;
    if (Done)
        return;
    Done = true;
    std::vector<bool> Used(SettingsSize, false);
    for (const TFieldDesc &F : SettingsFields()) {
        Require(F.Offset + FieldSize(F) <= SettingsSize, "field inside the record", F.Offset);
        for (size_t I = F.Offset; I < F.Offset + FieldSize(F); ++I) {
            Require(!Used[I], "fields do not overlap", static_cast<long>(I));
            Used[I] = true;
        }
    }
}

// Copies every field's value from From into To through the table.
void CopyThroughTable(const TSettings &From, TSettings &To)
{
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Text: SetFieldText(To, F, FieldText(From, F)); break;
        case TFieldKind::Flag:
        case TFieldKind::RadioPair: SetFieldByte(To, F, FieldByte(From, F)); break;
        default: SetFieldInt(To, F, FieldInt(From, F)); break;
        }
    }
}

bool ValidUtf8(const std::string &S)
{
    size_t I = 0;
    while (I < S.size()) {
        const auto C = static_cast<unsigned char>(S[I]);
        size_t More = C < 0x80 ? 0 : (C >> 5) == 6 ? 1 : (C >> 4) == 14 ? 2 : (C >> 3) == 30 ? 3 : 9;
        if (More == 9 || I + More >= S.size() + (More == 0 ? 1 : 0))
            return More == 0;
        for (size_t K = 1; K <= More; ++K)
            if ((static_cast<unsigned char>(S[I + K]) >> 6) != 2)
                return false;
        I += More + 1;
    }
    return true;
}

void CheckDump(const TSettings &S)
{
    for (const TFieldDesc &F : SettingsFields()) {
        const std::string Line = FieldValueText(S, F);
        Require(!Line.empty(), "dump value not empty", F.Offset);
        Require(ValidUtf8(Line), "dump value is UTF-8", F.Offset);
        for (char C : Line)
            Require(static_cast<unsigned char>(C) >= 0x20 && C != 0x7F, "dump value is one printable line",
                    F.Offset);
        if (F.Kind == TFieldKind::Text)
            Require(Line.size() >= 2 && Line.front() == '"' && Line.back() == '"', "dump text quoted", F.Offset);
    }
}

void RequireZero(const uint8_t *Image, size_t From, size_t To, const char *What)
{
    for (size_t I = From; I < To; ++I)
        Require(Image[I] == 0, What, static_cast<long>(I));
}

// A string record at P in a room of Room bytes: length, complement, the
// characters, and zeros up to the end of the room (the terminating zero of a
// record that fills its room exactly falls on the next one, which replaces it).
size_t CheckRecord(const uint8_t *Image, size_t P, size_t Room, bool TailZero, const char *What)
{
    const size_t L = Image[P];
    Require(Image[P + 1] == 255 - L, What, static_cast<long>(P));
    if (TailZero && P + 2 + L < P + Room)
        RequireZero(Image, P + 2 + L, P + Room, What);
    return L;
}

void CheckImage(const uint8_t *Image, const TSettings &S, bool Checked)
{
    Require(Image[0] == 146 && Image[1] == 109, "parameter header", 0);
    Require(Image[18] == 255, "offset 18 is 255", 18);
    for (const TImageEntry &E : DeviceImageMap())
        if (E.Kind == TImageKind::Flag)
            Require(Image[E.Offset] <= 1, "flag byte is 0 or 1", E.Offset);
    RequireZero(Image, 148, 150, "zero after the parameters");

    if (Image[150] == 13) {
        static const uint8_t Prefix[] = {0x08, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x0A, 0x02};
        Require(Image[151] == 242 && std::memcmp(Image + 152, Prefix, 8) == 0, "SIM PIN record", 150);
        Require(S.SimPin.Len() == 4 && std::memcmp(Image + 160, S.SimPin.Chars, 4) == 0, "SIM PIN characters", 160);
        RequireZero(Image, 164, 166, "SIM PIN record end");
    } else {
        Require(Image[150] == 0 && S.SimPin.Len() != 4, "empty SIM PIN record", 150);
        CheckRecord(Image, 150, 16, true, "empty SIM PIN record");
    }
    RequireZero(Image, 166, 200, "zero before the phone records");

    for (int R = 0; R < 4; ++R) {
        const size_t P = 200 + 25 * static_cast<size_t>(R);
        const size_t L = CheckRecord(Image, P, 25, true, "phone record");
        Require(L <= 23 && Image[2 + R] == L, "phone length in the parameters", 2 + R);
    }
    for (size_t P = 300; P < 385; P += 5)
        Require(Image[P + 4] == 0, "fifth byte of a code field", static_cast<long>(P + 4));
    RequireZero(Image, 385, 400, "zero before the text slots");

    for (int K = 0; K < TextSlotCount; ++K) {
        const size_t P = 400 + 64 * static_cast<size_t>(K);
        const size_t N = static_cast<size_t>(TextSlotText(S, K).Len());
        Require(Image[P] == static_cast<uint8_t>(N + 1), "text slot length", static_cast<long>(P));
        Require(Image[P + 1] == static_cast<uint8_t>(254 - N), "text slot complement", static_cast<long>(P));
        // A text of more than 60 characters runs into the next slots, whose
        // records then cover its end; the check refuses such texts.
        if (Checked) {
            Require(N <= 60, "checked text fits its slot", K);
            Require(Image[P + 2 + N] == 0 && Image[P + 3 + N] == 0, "text slot ends in two zeros",
                    static_cast<long>(P));
            RequireZero(Image, P + 4 + N, P + 64, "text slot tail");
        }
    }
    RequireZero(Image, Checked ? 4816 : 400 + 64 * 68 + 164, 8186, "zero after the text slots");

    Require(Image[8186] == 4 && Image[8187] == 251, "device PIN trailer", 8186);
    const size_t Pin = static_cast<size_t>(S.DevicePin.Len());
    for (size_t I = 0; I < 4; ++I)
        Require(Image[8188 + I] == (I < Pin ? static_cast<uint8_t>(S.DevicePin.Chars[I]) : 0), "device PIN",
                static_cast<long>(8188 + I));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    CheckTableOnce();
    TSettings Loaded;
    std::memset(&Loaded, 0, sizeof Loaded);
    std::memcpy(&Loaded, Data, Size < SettingsSize ? Size : SettingsSize);

    // Through the table and back: only length bytes beyond a text's capacity change.
    TSettings Expected = Loaded;
    for (const TFieldDesc &F : SettingsFields())
        if (F.Kind == TFieldKind::Text) {
            uint8_t &Length = reinterpret_cast<uint8_t *>(&Expected)[F.Offset];
            if (Length > F.Capacity)
                Length = static_cast<uint8_t>(F.Capacity);
        }
    TSettings Copy = Loaded;
    CopyThroughTable(Loaded, Copy);
    Require(std::memcmp(&Copy, &Expected, SettingsSize) == 0, "field table round trip");

    Settings = Loaded;
    const std::string Error = CheckSettings();
    EncodeDeviceImage();
    static uint8_t First[DeviceImageSize];
    std::memcpy(First, DeviceImage, DeviceImageSize);
    EncodeDeviceImage();
    Require(std::memcmp(First, DeviceImage, DeviceImageSize) == 0, "second encoding gives the same image");
    CheckImage(DeviceImage, Settings, Error.empty());

    // Read back onto its own record, any record's image encodes to itself again.
    static TSettings Decoded;
    static uint8_t Again[DeviceImageSize];
    Decoded = Loaded;
    DecodeDeviceImage(First, Decoded);
    EncodeImageOf(Decoded, Again);
    Require(std::memcmp(First, Again, DeviceImageSize) == 0, "decoded record encodes to the same image");

    // Only the fields' values count: not the tails of texts, not the gaps, not the previous image.
    TSettings Bare;
    std::memset(&Bare, 0xFF, sizeof Bare);
    Settings = Bare;
    EncodeDeviceImage();
    std::memset(&Bare, 0, sizeof Bare);
    CopyThroughTable(Loaded, Bare);
    Settings = Bare;
    Require(CheckSettings() == Error, "check depends on the values only");
    EncodeDeviceImage();
    Require(std::memcmp(First, DeviceImage, DeviceImageSize) == 0, "image depends on the field values only");

    CheckDump(Loaded);
    return 0;
}
