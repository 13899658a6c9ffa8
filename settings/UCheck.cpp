#include "UProcs.h"

#include "UTextSlots.h"

// A text longer than a slot would run into the next slot and be cut by the
// next write, so the device would get a broken record.
std::string CheckSettings()
{
    return CheckSettingsOf(Settings);
}

std::string CheckSettingsOf(const TSettings &Set)
{
    for (int K = 0; K < TextSlotCount; ++K)
        if (TextSlotText(Set, K).Len() > SmsTextSlotLimit)
            return "Zbyt długa treść SMS (maksymalnie " + std::to_string(SmsTextSlotLimit) +
                   " znaków): " + TextSlotPlace(K) + ".";
    return {};
}
