// The 69 SMS texts that reach the text slots of the device image, in slot
// order: 48 input functions, 12 output notifications, then arming,
// disarming and the periodic test, three users each.
#pragma once

#include "UDecls.h"

#include <string>

constexpr int TextSlotCount = 69;
constexpr int SmsTextSlotLimit = 60; // characters that fit one 64-byte slot

// Text of slot K (0..68).
const TShortString<160> &TextSlotText(const TSettings &S, int K);

// Where the text of slot K stands on the window, e.g. "WEJ 3, Użytkownik 2, Funkcja 1" (UTF-8).
std::string TextSlotPlace(int K);
