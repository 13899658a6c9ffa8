// Reading a device image back into a settings record, checking it, and
// naming the settings in which two images differ. All of it walks the
// image map (UImageMap.h).
#pragma once

#include "UDecls.h"
#include "UFields.h"

#include <cstdint>
#include <string>
#include <vector>

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
};

struct TImageDecoding {
    std::vector<TImageFinding> Findings; // in offset order
    std::vector<TKeptField> Kept;        // fields that keep the base's value
};

// Writes every setting the image carries onto Set, which holds the base on
// entry. Never fails: a damaged image decodes as far as it can, and the
// findings say where it could not be trusted.
TImageDecoding DecodeDeviceImage(const uint8_t (&Image)[DeviceImageSize], TSettings &Set);

// "0x0096 (150), 16 B: SimPin: ..." for one finding.
std::string ImageFindingText(const TImageFinding &Finding);

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
