#include "UProcs.h"

#include "UDecls.h"
#include "UTextSlots.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr size_t ParameterBlock = 0;
constexpr size_t SimPinRecord = 150;
constexpr size_t PhoneRecords[] = {200, 225, 250, 275};
constexpr size_t CodeFields = 300;
constexpr size_t TextSlots = 400;
constexpr size_t TextSlotSize = 64;
constexpr size_t CodeFieldSize = 5;
constexpr size_t PinTrailer = DeviceImageSize - 6;

constexpr uint8_t SimPinPrefix[] = {0x08, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x0A, 0x02};

uint8_t LowByte(int32_t Value)
{
    return static_cast<uint8_t>(static_cast<uint32_t>(Value) & 0xFF);
}

// The writers of one encoding. Every store is checked against the image:
// records that run over their room (a 23-character number, a text of more
// than 60 characters) are cut by the next write, and nothing may land
// beyond the last byte.
class TImageWriter {
public:
    explicit TImageWriter(uint8_t (&Image)[DeviceImageSize]) : Image(Image) {}

    void Clear() { std::memset(Image, 0, sizeof Image); }

    void Store(size_t At, uint8_t Value)
    {
        if (At < DeviceImageSize)
            Image[At] = Value;
    }

    void PutByte(uint8_t Value) { Store(Pos++, Value); }
    void PutFlag(uint8_t Value) { PutByte(Value != 0 ? 1 : 0); }

    void SetPos(size_t At) { Pos = At; }

    void BeginBlock(size_t At)
    {
        BlockStart = At;
        Pos = At + 2;
    }

    void EndBlock()
    {
        const auto L = static_cast<uint8_t>(Pos - BlockStart - 2);
        Store(BlockStart, L);
        Store(BlockStart + 1, static_cast<uint8_t>(255 - L));
    }

    // Chars holds at most 255 bytes, so the length fits its byte.
    void PutStringRecord(size_t At, std::string_view Chars)
    {
        const auto L = static_cast<uint8_t>(Chars.size());
        Store(At, L);
        Store(At + 1, static_cast<uint8_t>(255 - L));
        for (size_t I = 0; I < Chars.size(); ++I)
            Store(At + 2 + I, static_cast<uint8_t>(Chars[I]));
        Store(At + 2 + Chars.size(), 0);
    }

    void PutText(const TShortString<160> &Text)
    {
        std::string Copy = Text.Str();
        Copy += '\0';
        PutStringRecord(TextSlots + TextSlotSize * static_cast<size_t>(Slot), Copy);
        ++Slot;
    }

    void PutCode(const TShortString<4> &Code, bool Condition)
    {
        const std::string_view Chars = Condition ? Code.View() : std::string_view();
        for (size_t I = 0; I < CodeFieldSize; ++I)
            PutByte(I < Chars.size() ? static_cast<uint8_t>(Chars[I]) : 0);
    }

    void ResetSlots() { Slot = 0; }

private:
    uint8_t (&Image)[DeviceImageSize];
    size_t Pos = 0;
    size_t BlockStart = 0;
    int Slot = 0;
};

uint8_t FunctionByte(const TInputFunction &F)
{
    uint8_t B = LowByte(F.Reaction);
    switch (F.GpsAction) {
    case 1: B |= 0x04; break;
    case 2: B |= 0x08; break;
    case 3: B |= 0x10; break;
    default: break;
    }
    if (F.ReactOnShort != 0)
        B |= 0x80;
    return B;
}

uint8_t InputOutputByte(const TInputEntry &In)
{
    const uint8_t Bits[] = {In.ShortOut1On, In.ShortOut1Off, In.ShortOut2On, In.ShortOut2Off,
                            In.OpenOut1On,  In.OpenOut1Off,  In.OpenOut2On,  In.OpenOut2Off};
    uint8_t B = 0;
    for (int K = 0; K < 8; ++K)
        if (Bits[K] != 0)
            B |= static_cast<uint8_t>(1u << K);
    return B;
}

void PutParameters(TImageWriter &W, const TSettings &S)
{
    W.BeginBlock(ParameterBlock);

    for (int u = 1; u <= UserCount; ++u)
        W.PutByte(static_cast<uint8_t>(S.Users[u].PhoneNumber.Len()));
    W.PutByte(static_cast<uint8_t>(S.SmsCentreNumber.Len()));

    W.PutByte(LowByte(S.RingOutDuration));
    W.PutByte(LowByte(S.RingOutRetryDelay));
    W.PutByte(LowByte(S.RingOutAttempts));
    W.PutFlag(S.RingOutHangUpOnAnswer);
    W.PutByte(LowByte(S.RingInMode));
    W.PutByte(LowByte(S.RingInRejectTime));
    W.PutFlag(S.SmsLimitEnabled);
    W.PutByte(LowByte(S.SmsLimitCount));
    W.PutByte(LowByte(S.SmsLimitPeriod));
    W.PutFlag(S.SmsLimitResetByRing);
    W.PutByte(LowByte(S.SmsAckTimeout));
    W.PutByte(LowByte(S.SmsAttempts));
    W.PutByte(255);
    W.PutByte(LowByte(S.NationalNumberType));
    W.PutByte(LowByte(S.InternationalNumberType));
    W.PutByte(LowByte(S.SpecialNumberType));
    W.PutByte(LowByte(S.SmsPduType));
    W.PutByte(LowByte(S.SmsPid));
    W.PutByte(LowByte(S.SmsDcs));
    W.PutByte(LowByte(S.PhoneModel));
    W.PutFlag(S.Out1FollowsGsmReady);
    W.PutByte(LowByte(S.GsmLossDelay));
    // Unsigned, so that a foreign period cannot overflow; only the low byte counts.
    W.PutByte(S.TestEnabled != 0 ? static_cast<uint8_t>(static_cast<uint32_t>(S.TestPeriod) * 6u) : 0);
    W.PutFlag(S.TestTimerResetBySms);
    W.PutFlag(S.TestForcedByRing);
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a) {
            const TOutputAction &Ac = S.Outputs[o].Actions[a];
            W.PutByte(Ac.AutoRevert != 0 ? LowByte(Ac.AutoRevertTime) : 0);
        }
    W.PutByte(LowByte(S.GpsFixLossTime));
    for (int u = 1; u <= UserCount; ++u) {
        const TGpsUserEntry &G = S.GpsUsers[u];
        W.PutByte(LowByte(G.AutoSendPeriod));
        W.PutFlag(G.PositionByRing);
        W.PutFlag(G.StartByRing);
        W.PutFlag(G.StopByRing);
    }
    W.PutByte(LowByte(S.PowerUpArmState));
    W.PutFlag(S.ArmByInput);
    W.PutFlag(S.ArmByRing);
    W.PutFlag(S.DisarmByRing);
    W.PutFlag(S.ArmOut1On);
    W.PutFlag(S.ArmOut2On);
    W.PutFlag(S.DisarmOut1Off);
    W.PutFlag(S.DisarmOut2Off);

    uint8_t InUse = 0, AlwaysActive = 0, Unit10s = 0;
    for (int i = 1; i <= InputCount; ++i) {
        const TInputEntry &In = S.Inputs[i];
        const auto Bit = static_cast<uint8_t>(1u << (i - 1));
        if (In.Activity != 0)
            InUse |= Bit;
        if (In.Activity == 1)
            AlwaysActive |= Bit;
        if (In.DelayUnit10s != 0)
            Unit10s |= Bit;
    }
    W.PutByte(InUse);
    W.PutByte(AlwaysActive);
    W.PutByte(Unit10s);
    for (int i = 1; i <= InputCount; ++i)
        W.PutByte(InputOutputByte(S.Inputs[i]));
    for (int i = 1; i <= InputCount; ++i)
        W.PutByte(LowByte(S.Inputs[i].DelayTime));

    for (int i = 1; i <= InputCount; ++i)
        for (int u = 1; u <= UserCount; ++u)
            for (int f = 1; f <= FunctionCount; ++f)
                W.PutByte(FunctionByte(S.Inputs[i].Users[u].Functions[f]));
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a)
            for (int u = 1; u <= UserCount; ++u)
                W.PutByte(LowByte(S.Outputs[o].Actions[a].Notify[u].Reaction));
    for (int u = 1; u <= UserCount; ++u)
        W.PutByte(LowByte(S.ArmNotify[u].Reaction));
    for (int u = 1; u <= UserCount; ++u)
        W.PutByte(LowByte(S.DisarmNotify[u].Reaction));
    for (int u = 1; u <= UserCount; ++u)
        W.PutByte(LowByte(S.TestNotify[u].Reaction));
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a)
            W.PutFlag(S.Outputs[o].Actions[a].AllowByRing);

    W.EndBlock();
}

void PutSimPin(TImageWriter &W, const TSettings &S)
{
    if (S.SimPin.Len() != 4) {
        W.PutStringRecord(SimPinRecord, {});
        return;
    }
    std::string Chars(reinterpret_cast<const char *>(SimPinPrefix), sizeof SimPinPrefix);
    Chars += S.SimPin.View();
    Chars += '\0';
    W.PutStringRecord(SimPinRecord, Chars);
}

void PutCodes(TImageWriter &W, const TSettings &S)
{
    W.SetPos(CodeFields);
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a) {
            const TOutputAction &Ac = S.Outputs[o].Actions[a];
            W.PutCode(Ac.SmsCode, Ac.AllowBySms != 0);
        }
    W.PutCode(S.ArmSmsCode, S.ArmBySms != 0);
    W.PutCode(S.DisarmSmsCode, S.DisarmBySms != 0);
    W.PutCode(S.RingInSmsCode, S.RingInMode == 3);
    for (int u = 1; u <= UserCount; ++u) {
        const TGpsUserEntry &G = S.GpsUsers[u];
        W.PutCode(G.PositionSmsCode, G.PositionBySms != 0);
        W.PutCode(G.StartSmsCode, G.StartBySms != 0);
        W.PutCode(G.StopSmsCode, G.StopBySms != 0);
    }
    W.PutCode(S.PhoneRestartSmsCode, S.PhoneRestartBySms != 0);
}

void PutPinTrailer(TImageWriter &W, const TSettings &S)
{
    W.Store(PinTrailer, 4);
    W.Store(PinTrailer + 1, 251);
    const std::string_view Pin = S.DevicePin.View();
    for (size_t I = 0; I < 4; ++I)
        W.Store(PinTrailer + 2 + I, I < Pin.size() ? static_cast<uint8_t>(Pin[I]) : 0);
}

} // namespace

void EncodeDeviceImage()
{
    const TSettings &S = Settings;
    TImageWriter W(DeviceImage);

    W.Clear();
    PutParameters(W, S);
    PutSimPin(W, S);
    for (int u = 1; u <= UserCount; ++u)
        W.PutStringRecord(PhoneRecords[u - 1], S.Users[u].PhoneNumber.View());
    W.PutStringRecord(PhoneRecords[3], S.SmsCentreNumber.View());
    PutCodes(W, S);
    W.ResetSlots();
    for (int K = 0; K < TextSlotCount; ++K)
        W.PutText(TextSlotText(S, K));
    PutPinTrailer(W, S);
}
