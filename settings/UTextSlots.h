// The 69 SMS texts that reach the text slots of the device image, in slot
// order: 48 input functions, 12 output notifications, then arming,
// disarming and the periodic test, three users each. Slot K also owns the
// reaction byte ReactionBytes + K of the image's parameter block.
#pragma once

#include "UDecls.h"
#include "UFields.h"

#include <cstdint>
#include <string>

constexpr int TextSlotCount = 69;
constexpr uint32_t TextSlotArea = 400; // image offset of slot 0
constexpr uint32_t TextSlotSize = 64;
// A text and its appended zero need L + 4 bytes: length, complement, the characters, two zeros.
constexpr int SmsTextSlotLimit = static_cast<int>(TextSlotSize) - 4;
constexpr uint32_t ReactionBytes = 75; // image offset of slot 0's reaction byte

constexpr uint32_t TextSlotOffset(int K)
{
    return TextSlotArea + TextSlotSize * static_cast<uint32_t>(K);
}

// Whose text a slot carries.
enum class TSlotOwner : uint8_t { Input, Output, Arm, Disarm, Test };

struct TTextSlot {
    TSlotOwner Owner;
    int Index; // input i or output o; 0 otherwise
    int Sub;   // function f of an input, action a of an output; 0 otherwise
    int User;
};

TTextSlot TextSlotOf(int K);

// Text of slot K (0..68).
const TShortString<160> &TextSlotText(const TSettings &S, int K);
// The notification of slot K, or nullptr for an input function's slot.
const TNotification *TextSlotNotification(const TSettings &S, int K);
// The slot whose text F is, or -1.
int TextSlotOfField(const TFieldDesc &F);

// Where the text of slot K stands on the window, e.g. "WEJ 3, Użytkownik 2, Funkcja 1" (UTF-8).
std::string TextSlotPlace(int K);
