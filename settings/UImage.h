// The device image of a settings record, and back: encoding, decoding with
// the check of what was read, the report of a decoding and the comparison
// of a set with a device's image. All of it walks the image map
// (UImageMap.h); each kind of row is written, read and checked side by side
// in UImage.cpp, and the texts are in UImageReport.cpp.
#pragma once

#include "UDecls.h"
#include "UFields.h"
#include "UImageMap.h"

#include <cstdint>
#include <string>
#include <vector>

// Writes Set's image into Image: DeviceImage as EncodeDeviceImage gives it.
void EncodeImageOf(const TSettings &Set, uint8_t (&Image)[DeviceImageSize]);

// A region of the image that could not be trusted as it stands.
struct TImageFinding {
    uint32_t Offset;
    uint32_t Count;
    const TFieldDesc *Field; // the setting whose bytes these are, if any
    std::string Text;        // UTF-8, Polish
};

enum class TKeptReason : uint8_t {
    NotInImage,   // the image has no place for it
    ConditionOff, // its enabling condition is off (or an SMS code is empty), so the image is silent
    EmptyRecord,  // the SIM PIN record is empty
    Untrusted,    // its bytes are damaged beyond use
};

struct TKeptField {
    const TFieldDesc *Field;
    TKeptReason Reason;
    TKeptGroup Group; // what the report names it under
};

struct TImageDecoding {
    std::vector<TImageFinding> Findings; // in offset order
    std::vector<TKeptField> Kept;        // fields that keep the base's value
};

// Writes every setting the image carries onto Set, which holds the base on
// entry. Never fails: a damaged image decodes as far as it can, and the
// findings say where it could not be trusted.
TImageDecoding DecodeDeviceImage(const uint8_t (&Image)[DeviceImageSize], TSettings &Set);

// Clears on Set what an image says only by the presence of bytes: the flag
// of a code (five zeros say "off", whatever the set's code) and the SIM PIN
// (an empty record says "none"). Two decodings onto such a base compare as
// settings.
void ClearImpliedByImage(TSettings &Set);

// "0x0096 (150), 16 B: SimPin: ..." for one finding.
std::string ImageFindingText(const TImageFinding &Finding);

// What read and decode print after a decoding (UTF-8, Polish): which
// settings came from the base, one line per reason, then the findings, a
// run of one finding over many fields in one line.
std::vector<std::string> DecodingReport(const TImageDecoding &Decoding);

// What a set's image and a device's image disagree about.
struct TImageDifference {
    const TFieldDesc *Field = nullptr; // a differing setting, or nullptr for a run of bytes no setting explains
    std::string SetValue, DeviceValue; // FieldValueText, or the bytes in hex
    uint32_t Offset = 0, Count = 0;    // the run of bytes, when Field is nullptr
};

// Set's own image against Device: the settings that differ (in record
// order), then each run of differing bytes that no setting explains.
std::vector<TImageDifference> CompareDeviceImage(const TSettings &Set, const uint8_t (&Device)[DeviceImageSize]);

// One line of a difference: `Name: zestaw X, urządzenie Y`, or the run's
// offset and both sides' bytes.
std::string ImageDifferenceText(const TImageDifference &Difference);
