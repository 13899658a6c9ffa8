#include "UTextSlots.h"

#include <cassert>

namespace {

constexpr int InputSlots = InputCount * UserCount * FunctionCount;  // 0..47
constexpr int OutputSlots = OutputCount * ActionCount * UserCount;  // 48..59
constexpr int ArmSlot = InputSlots + OutputSlots;                    // 60..62
constexpr int DisarmSlot = ArmSlot + UserCount;                      // 63..65
constexpr int TestSlot = DisarmSlot + UserCount;                     // 66..68
static_assert(TestSlot + UserCount == TextSlotCount);

std::string UserPlace(int u)
{
    return "Użytkownik " + std::to_string(u);
}

} // namespace

const TShortString<160> &TextSlotText(const TSettings &S, int K)
{
    assert(K >= 0 && K < TextSlotCount);
    if (K < InputSlots) {
        const int i = K / 6 + 1, u = K % 6 / 2 + 1, f = K % 2 + 1;
        return S.Inputs[i].Users[u].Functions[f].SmsText;
    }
    if (K < ArmSlot) {
        const int J = K - InputSlots;
        const int o = J / 6 + 1, a = J % 6 / 3 + 1, u = J % 3 + 1;
        return S.Outputs[o].Actions[a].Notify[u].SmsText;
    }
    if (K < DisarmSlot)
        return S.ArmNotify[K - ArmSlot + 1].SmsText;
    if (K < TestSlot)
        return S.DisarmNotify[K - DisarmSlot + 1].SmsText;
    return S.TestNotify[K - TestSlot + 1].SmsText;
}

std::string TextSlotPlace(int K)
{
    assert(K >= 0 && K < TextSlotCount);
    if (K < InputSlots) {
        const int i = K / 6 + 1, u = K % 6 / 2 + 1, f = K % 2 + 1;
        return "WEJ " + std::to_string(i) + ", " + UserPlace(u) + ", Funkcja " + std::to_string(f);
    }
    if (K < ArmSlot) {
        const int J = K - InputSlots;
        const int o = J / 6 + 1, a = J % 6 / 3 + 1, u = J % 3 + 1;
        return "WYJ " + std::to_string(o) + (a == 1 ? ", Załączenie, " : ", Wyłączenie, ") + UserPlace(u);
    }
    if (K < DisarmSlot)
        return "UZBR, Uzbrojenie, " + UserPlace(K - ArmSlot + 1);
    if (K < TestSlot)
        return "UZBR, Rozbrojenie, " + UserPlace(K - DisarmSlot + 1);
    return "TEST, " + UserPlace(K - TestSlot + 1);
}
