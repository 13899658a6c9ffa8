// The map of the device image as data: one row per setting (or fixed bytes)
// at its offset. The encoder, the decoder, the image check and the
// field-level comparison (UImage.h) all walk this one table, in offset order.
// Value ranges are the controls' own, from the field table.
#pragma once

#include "UDecls.h"
#include "UFields.h"

#include <cstdint>
#include <string>
#include <vector>

// What a decoding reports a field under when the field keeps the base's
// value, in the order the report names them.
enum class TKeptGroup : uint8_t {
    None,          // not named
    Descriptions,  // identifiers and descriptions
    GpsReplies,    // replies to any number and their code
    SmsValidity,
    DeviceVersion,
    SmsCodes,      // codes that are off or empty
    SmsSwitches,   // "by SMS" switches of empty codes: on or off, the image is the same
    TestPeriod,    // while the test is off
    SimPin,        // the empty SIM PIN record
    RevertTimes,   // switch-back times while switch-back is off
};

enum class TImageKind : uint8_t {
    Fixed,        // Bytes, whatever the record holds
    Length,       // number of characters of the text Field
    Byte,         // low 8 bits of the integer Field
    Flag,         // 1 when the one-byte Field is non-zero, else 0
    CondByte,     // low 8 bits of Field x Scale when the flag Cond is non-zero, else 0
    MaskBit,      // bit Bit, set when Field is non-zero (Equal: when it equals Value)
    FunctionBits, // Field Reaction in bits 0-1, Field2 GpsAction 1..3 as bit 2..4, Field3 ReactOnShort as bit 7
    StringRecord, // length, complement, the characters of Field, a zero; Room bytes
    SimPinRecord, // Prefix and the 4 characters of Field as a record, or the empty record
    TextSlot,     // the record of Field with one zero character appended; Room bytes
    Code,         // Room bytes of Field's characters when its condition holds, else zeros
    PinTrailer,   // 4, 251, the characters of Field padded with zeros to 4
};

struct TImageEntry {
    uint32_t Offset;
    TImageKind Kind;
    uint32_t Room = 1;                 // bytes the row owns
    const TFieldDesc *Field = nullptr; // the setting
    const TFieldDesc *Field2 = nullptr;
    const TFieldDesc *Field3 = nullptr;
    // CondByte, Code: the enabling flag. Code with CondEquals: the
    // integer Cond must equal Value, and the image carries Cond itself.
    const TFieldDesc *Cond = nullptr;
    bool CondEquals = false;
    bool Equal = false; // MaskBit: compare with Value instead of testing for non-zero
    uint8_t Bit = 0;
    int32_t Value = 0;  // MaskBit: the value a set bit stands for; Code: see Cond
    int32_t Scale = 1;  // CondByte
    std::vector<uint8_t> Bytes; // Fixed; SimPinRecord: the fixed prefix
    TKeptGroup Kept = TKeptGroup::None; // CondByte, Code, SimPinRecord: Field, when the image is silent about it
};

constexpr uint32_t ImageCodeSize = 5;
constexpr uint32_t ImageSimPinLength = 4;

// Every row, in increasing offset order.
const std::vector<TImageEntry> &DeviceImageMap();

// Settings fields that no row of the map carries (identifiers, descriptions, ...), in the window's order.
const std::vector<const TFieldDesc *> &FieldsNotInImage();
// The group a field of FieldsNotInImage is reported under.
TKeptGroup NotInImageGroup(const TFieldDesc &F);
