#include "UImageMap.h"

#include "UTextSlots.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

const TSettings &Model()
{
    static const TSettings S{};
    return S;
}

// Rows name their settings as members of a model record, so that a row
// cannot name a field that does not exist; the field table gives the rest.
class TMapBuilder {
public:
    TMapBuilder()
    {
        for (const TFieldDesc &F : SettingsFields())
            ByOffset[F.Offset] = &F;
    }

    template <typename T>
    const TFieldDesc *Desc(const T &Member) const
    {
        const auto Offset = static_cast<uint32_t>(reinterpret_cast<const uint8_t *>(&Member) -
                                                  reinterpret_cast<const uint8_t *>(&Model()));
        const auto It = ByOffset.find(Offset);
        if (It == ByOffset.end()) {
            std::fprintf(stderr, "image map: no field at record offset %u\n", Offset);
            std::abort();
        }
        return It->second;
    }

    TImageEntry &Add(uint32_t Offset, TImageKind Kind, uint32_t Room = 1)
    {
        TImageEntry E;
        E.Offset = Offset;
        E.Kind = Kind;
        E.Room = Room;
        Rows.push_back(std::move(E));
        return Rows.back();
    }

    void Fixed(uint32_t Offset, std::vector<uint8_t> Bytes)
    {
        TImageEntry &E = Add(Offset, TImageKind::Fixed, static_cast<uint32_t>(Bytes.size()));
        E.Bytes = std::move(Bytes);
    }
    template <int N>
    void Length(uint32_t Offset, const TShortString<N> &Text)
    {
        Add(Offset, TImageKind::Length).Field = Desc(Text);
    }
    void Byte(uint32_t Offset, const int32_t &Field, int32_t Low = 0, int32_t High = 255)
    {
        TImageEntry &E = Add(Offset, TImageKind::Byte);
        E.Field = Desc(Field);
        E.Low = Low;
        E.High = High;
    }
    void Flag(uint32_t Offset, const uint8_t &Field) { Add(Offset, TImageKind::Flag).Field = Desc(Field); }
    void CondByte(uint32_t Offset, const int32_t &Field, const uint8_t &Cond, int32_t Scale, int32_t High)
    {
        TImageEntry &E = Add(Offset, TImageKind::CondByte);
        E.Field = Desc(Field);
        E.Cond = Desc(Cond);
        E.Scale = Scale;
        E.Low = 1;
        E.High = High;
    }
    template <typename T>
    void MaskBit(uint32_t Offset, int Bit, const T &Field, int32_t Value, bool Equal = false)
    {
        TImageEntry &E = Add(Offset, TImageKind::MaskBit);
        E.Field = Desc(Field);
        E.Bit = static_cast<uint8_t>(Bit);
        E.Value = Value;
        E.Equal = Equal;
    }
    void FunctionBits(uint32_t Offset, const TInputFunction &F)
    {
        TImageEntry &E = Add(Offset, TImageKind::FunctionBits);
        E.Field = Desc(F.Reaction);
        E.Field2 = Desc(F.GpsAction);
        E.Field3 = Desc(F.ReactOnShort);
    }
    template <int N>
    void Record(uint32_t Offset, TImageKind Kind, uint32_t Room, const TShortString<N> &Text)
    {
        Add(Offset, Kind, Room).Field = Desc(Text);
    }
    void Code(uint32_t Offset, const TShortString<4> &Code, const uint8_t &Enabled)
    {
        TImageEntry &E = Add(Offset, TImageKind::Code, ImageCodeSize);
        E.Field = Desc(Code);
        E.Cond = Desc(Enabled);
    }
    void Code(uint32_t Offset, const TShortString<4> &Code, const int32_t &Mode, int32_t Value)
    {
        TImageEntry &E = Add(Offset, TImageKind::Code, ImageCodeSize);
        E.Field = Desc(Code);
        E.Cond = Desc(Mode);
        E.CondEquals = true;
        E.Value = Value;
    }

    std::vector<TImageEntry> Rows;

private:
    std::map<uint32_t, const TFieldDesc *> ByOffset;
};

std::vector<TImageEntry> BuildMap()
{
    const TSettings &S = Model();
    TMapBuilder B;

    B.Fixed(0, {146, 109}); // the parameter block's length and complement
    for (int u = 1; u <= UserCount; ++u)
        B.Length(1 + static_cast<uint32_t>(u), S.Users[u].PhoneNumber);
    B.Length(5, S.SmsCentreNumber);
    B.Byte(6, S.RingOutDuration, 1);
    B.Byte(7, S.RingOutRetryDelay, 1);
    B.Byte(8, S.RingOutAttempts, 1);
    B.Flag(9, S.RingOutHangUpOnAnswer);
    B.Byte(10, S.RingInMode, 1, 3);
    B.Byte(11, S.RingInRejectTime, 1);
    B.Flag(12, S.SmsLimitEnabled);
    B.Byte(13, S.SmsLimitCount, 1);
    B.Byte(14, S.SmsLimitPeriod, 1, 42);
    B.Flag(15, S.SmsLimitResetByRing);
    B.Byte(16, S.SmsAckTimeout, 1);
    B.Byte(17, S.SmsAttempts, 1);
    B.Fixed(18, {255});
    B.Byte(19, S.NationalNumberType);
    B.Byte(20, S.InternationalNumberType);
    B.Byte(21, S.SpecialNumberType);
    B.Byte(22, S.SmsPduType);
    B.Byte(23, S.SmsPid);
    B.Byte(24, S.SmsDcs);
    B.Byte(25, S.PhoneModel);
    B.Flag(26, S.Out1FollowsGsmReady);
    B.Byte(27, S.GsmLossDelay, 1);
    B.CondByte(28, S.TestPeriod, S.TestEnabled, 6, 42);
    B.Flag(29, S.TestTimerResetBySms);
    B.Flag(30, S.TestForcedByRing);
    uint32_t At = 31;
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a, ++At)
            B.CondByte(At, S.Outputs[o].Actions[a].AutoRevertTime, S.Outputs[o].Actions[a].AutoRevert, 1, 255);
    B.Byte(35, S.GpsFixLossTime, 1);
    for (int u = 1; u <= UserCount; ++u) {
        const uint32_t P = 36 + 4 * static_cast<uint32_t>(u - 1);
        B.Byte(P, S.GpsUsers[u].AutoSendPeriod, 1);
        B.Flag(P + 1, S.GpsUsers[u].PositionByRing);
        B.Flag(P + 2, S.GpsUsers[u].StartByRing);
        B.Flag(P + 3, S.GpsUsers[u].StopByRing);
    }
    B.Byte(48, S.PowerUpArmState, 1, 3);
    B.Flag(49, S.ArmByInput);
    B.Flag(50, S.ArmByRing);
    B.Flag(51, S.DisarmByRing);
    B.Flag(52, S.ArmOut1On);
    B.Flag(53, S.ArmOut2On);
    B.Flag(54, S.DisarmOut1Off);
    B.Flag(55, S.DisarmOut2Off);
    // Activity 0 clears both bits, 1 sets both, 2 only the in-use bit.
    for (int i = 1; i <= InputCount; ++i)
        B.MaskBit(56, i - 1, S.Inputs[i].Activity, 2);
    for (int i = 1; i <= InputCount; ++i)
        B.MaskBit(57, i - 1, S.Inputs[i].Activity, 1, true);
    for (int i = 1; i <= InputCount; ++i)
        B.MaskBit(58, i - 1, S.Inputs[i].DelayUnit10s, 1);
    for (int i = 1; i <= InputCount; ++i) {
        const TInputEntry &In = S.Inputs[i];
        const uint8_t *Bits[] = {&In.ShortOut1On, &In.ShortOut1Off, &In.ShortOut2On, &In.ShortOut2Off,
                                 &In.OpenOut1On,  &In.OpenOut1Off,  &In.OpenOut2On,  &In.OpenOut2Off};
        for (int K = 0; K < 8; ++K)
            B.MaskBit(58 + static_cast<uint32_t>(i), K, *Bits[K], 1);
    }
    for (int i = 1; i <= InputCount; ++i)
        B.Byte(66 + static_cast<uint32_t>(i), S.Inputs[i].DelayTime, 1);
    At = 75;
    for (int i = 1; i <= InputCount; ++i)
        for (int u = 1; u <= UserCount; ++u)
            for (int f = 1; f <= FunctionCount; ++f)
                B.FunctionBits(At++, S.Inputs[i].Users[u].Functions[f]);
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a)
            for (int u = 1; u <= UserCount; ++u)
                B.Byte(At++, S.Outputs[o].Actions[a].Notify[u].Reaction, 0, 3);
    for (const auto *Notify : {&S.ArmNotify, &S.DisarmNotify, &S.TestNotify})
        for (int u = 1; u <= UserCount; ++u)
            B.Byte(At++, (*Notify)[u].Reaction, 0, 3);
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a)
            B.Flag(At++, S.Outputs[o].Actions[a].AllowByRing);

    TImageEntry &Pin = B.Add(150, TImageKind::SimPinRecord, 16);
    Pin.Field = B.Desc(S.SimPin);
    Pin.Bytes = {0x08, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x0A, 0x02};

    for (int u = 1; u <= UserCount; ++u)
        B.Record(175 + 25 * static_cast<uint32_t>(u), TImageKind::StringRecord, 25, S.Users[u].PhoneNumber);
    B.Record(275, TImageKind::StringRecord, 25, S.SmsCentreNumber);

    At = 300;
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a, At += ImageCodeSize)
            B.Code(At, S.Outputs[o].Actions[a].SmsCode, S.Outputs[o].Actions[a].AllowBySms);
    B.Code(320, S.ArmSmsCode, S.ArmBySms);
    B.Code(325, S.DisarmSmsCode, S.DisarmBySms);
    B.Code(330, S.RingInSmsCode, S.RingInMode, 3);
    At = 335;
    for (int u = 1; u <= UserCount; ++u) {
        const TGpsUserEntry &G = S.GpsUsers[u];
        B.Code(At, G.PositionSmsCode, G.PositionBySms);
        B.Code(At + 5, G.StartSmsCode, G.StartBySms);
        B.Code(At + 10, G.StopSmsCode, G.StopBySms);
        At += 15;
    }
    B.Code(380, S.PhoneRestartSmsCode, S.PhoneRestartBySms);

    for (int K = 0; K < TextSlotCount; ++K)
        B.Record(ImageTextSlots + ImageTextSlotSize * static_cast<uint32_t>(K), TImageKind::TextSlot,
                 ImageTextSlotSize, TextSlotText(S, K));

    B.Record(DeviceImageSize - 6, TImageKind::PinTrailer, 6, S.DevicePin);

    // The rows of one mask byte stay in bit order.
    std::stable_sort(B.Rows.begin(), B.Rows.end(),
                     [](const TImageEntry &X, const TImageEntry &Y) { return X.Offset < Y.Offset; });
    return std::move(B.Rows);
}

std::vector<const TFieldDesc *> BuildNotInImage()
{
    std::vector<const TFieldDesc *> Out;
    for (const TFieldDesc &F : SettingsFields()) {
        const bool Carried = std::any_of(DeviceImageMap().begin(), DeviceImageMap().end(), [&](const TImageEntry &E) {
            return E.Field == &F || E.Field2 == &F || E.Field3 == &F || E.Cond == &F;
        });
        if (!Carried)
            Out.push_back(&F);
    }
    return Out;
}

} // namespace

const std::vector<TImageEntry> &DeviceImageMap()
{
    static const std::vector<TImageEntry> Map = BuildMap();
    return Map;
}

const std::vector<const TFieldDesc *> &FieldsNotInImage()
{
    static const std::vector<const TFieldDesc *> Fields = BuildNotInImage();
    return Fields;
}
