#include "UTextSlots.h"

#include <cassert>

namespace {

constexpr int InputSlots = InputCount * UserCount * FunctionCount;  // 0..47
constexpr int OutputSlots = OutputCount * ActionCount * UserCount;  // 48..59
constexpr int ArmSlot = InputSlots + OutputSlots;                    // 60..62
constexpr int DisarmSlot = ArmSlot + UserCount;                      // 63..65
constexpr int TestSlot = DisarmSlot + UserCount;                     // 66..68
static_assert(TestSlot + UserCount == TextSlotCount);
static_assert(ReactionBytes + TextSlotCount == 144); // the parameter block's last four bytes follow

std::string UserPlace(int u)
{
    return "Użytkownik " + std::to_string(u);
}

const TSettings &Model()
{
    static const TSettings S{};
    return S;
}

} // namespace

TTextSlot TextSlotOf(int K)
{
    assert(K >= 0 && K < TextSlotCount);
    if (K < InputSlots)
        return {TSlotOwner::Input, K / 6 + 1, K % 2 + 1, K % 6 / 2 + 1};
    if (K < ArmSlot) {
        const int J = K - InputSlots;
        return {TSlotOwner::Output, J / 6 + 1, J % 6 / 3 + 1, J % 3 + 1};
    }
    if (K < DisarmSlot)
        return {TSlotOwner::Arm, 0, 0, K - ArmSlot + 1};
    if (K < TestSlot)
        return {TSlotOwner::Disarm, 0, 0, K - DisarmSlot + 1};
    return {TSlotOwner::Test, 0, 0, K - TestSlot + 1};
}

const TNotification *TextSlotNotification(const TSettings &S, int K)
{
    const TTextSlot T = TextSlotOf(K);
    switch (T.Owner) {
    case TSlotOwner::Input: return nullptr;
    case TSlotOwner::Output: return &S.Outputs[T.Index].Actions[T.Sub].Notify[T.User];
    case TSlotOwner::Arm: return &S.ArmNotify[T.User];
    case TSlotOwner::Disarm: return &S.DisarmNotify[T.User];
    case TSlotOwner::Test: return &S.TestNotify[T.User];
    }
    return nullptr;
}

const TShortString<160> &TextSlotText(const TSettings &S, int K)
{
    if (const TNotification *N = TextSlotNotification(S, K))
        return N->SmsText;
    const TTextSlot T = TextSlotOf(K);
    return S.Inputs[T.Index].Users[T.User].Functions[T.Sub].SmsText;
}

int TextSlotOfField(const TFieldDesc &F)
{
    if (F.Kind != TFieldKind::Text)
        return -1;
    for (int K = 0; K < TextSlotCount; ++K) {
        const auto *P = reinterpret_cast<const uint8_t *>(&TextSlotText(Model(), K));
        if (P - reinterpret_cast<const uint8_t *>(&Model()) == static_cast<ptrdiff_t>(F.Offset))
            return K;
    }
    return -1;
}

std::string TextSlotPlace(int K)
{
    const TTextSlot T = TextSlotOf(K);
    switch (T.Owner) {
    case TSlotOwner::Input:
        return "WEJ " + std::to_string(T.Index) + ", " + UserPlace(T.User) + ", Funkcja " + std::to_string(T.Sub);
    case TSlotOwner::Output:
        return "WYJ " + std::to_string(T.Index) + (T.Sub == 1 ? ", Załączenie, " : ", Wyłączenie, ") +
               UserPlace(T.User);
    case TSlotOwner::Arm: return "UZBR, Uzbrojenie, " + UserPlace(T.User);
    case TSlotOwner::Disarm: return "UZBR, Rozbrojenie, " + UserPlace(T.User);
    case TSlotOwner::Test: return "TEST, " + UserPlace(T.User);
    }
    return {};
}
