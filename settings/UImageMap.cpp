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
    void Byte(uint32_t Offset, const int32_t &Field) { Add(Offset, TImageKind::Byte).Field = Desc(Field); }
    void Flag(uint32_t Offset, const uint8_t &Field) { Add(Offset, TImageKind::Flag).Field = Desc(Field); }
    void CondByte(uint32_t Offset, const int32_t &Field, const uint8_t &Cond, int32_t Scale, TKeptGroup Kept)
    {
        TImageEntry &E = Add(Offset, TImageKind::CondByte);
        E.Field = Desc(Field);
        E.Cond = Desc(Cond);
        E.Scale = Scale;
        E.Kept = Kept;
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
        E.Kept = TKeptGroup::SmsCodes;
    }
    void Code(uint32_t Offset, const TShortString<4> &Code, const int32_t &Mode, int32_t Value)
    {
        TImageEntry &E = Add(Offset, TImageKind::Code, ImageCodeSize);
        E.Field = Desc(Code);
        E.Cond = Desc(Mode);
        E.CondEquals = true;
        E.Value = Value;
        E.Kept = TKeptGroup::SmsCodes;
    }
    // A field the device has no place for, and what the decoding reports it under.
    template <typename T>
    void Absent(TKeptGroup Group, const T &Field)
    {
        Groups[Desc(Field)] = Group;
    }

    std::vector<TImageEntry> Rows;
    std::map<const TFieldDesc *, TKeptGroup> Groups;

private:
    std::map<uint32_t, const TFieldDesc *> ByOffset;
};

struct TMap {
    std::vector<TImageEntry> Rows;
    std::vector<const TFieldDesc *> NotInImage;
    std::map<const TFieldDesc *, TKeptGroup> Groups;
};

TMap BuildMap()
{
    const TSettings &S = Model();
    TMapBuilder B;

    B.Fixed(0, {146, 109}); // the parameter block's length and complement
    for (int u = 1; u <= UserCount; ++u)
        B.Length(1 + static_cast<uint32_t>(u), S.Users[u].PhoneNumber);
    B.Length(5, S.SmsCentreNumber);
    B.Byte(6, S.RingOutDuration);
    B.Byte(7, S.RingOutRetryDelay);
    B.Byte(8, S.RingOutAttempts);
    B.Flag(9, S.RingOutHangUpOnAnswer);
    B.Byte(10, S.RingInMode);
    B.Byte(11, S.RingInRejectTime);
    B.Flag(12, S.SmsLimitEnabled);
    B.Byte(13, S.SmsLimitCount);
    B.Byte(14, S.SmsLimitPeriod);
    B.Flag(15, S.SmsLimitResetByRing);
    B.Byte(16, S.SmsAckTimeout);
    B.Byte(17, S.SmsAttempts);
    B.Fixed(18, {255});
    B.Byte(19, S.NationalNumberType);
    B.Byte(20, S.InternationalNumberType);
    B.Byte(21, S.SpecialNumberType);
    B.Byte(22, S.SmsPduType);
    B.Byte(23, S.SmsPid);
    B.Byte(24, S.SmsDcs);
    B.Byte(25, S.PhoneModel);
    B.Flag(26, S.Out1FollowsGsmReady);
    B.Byte(27, S.GsmLossDelay);
    B.CondByte(28, S.TestPeriod, S.TestEnabled, 6, TKeptGroup::TestPeriod);
    B.Flag(29, S.TestTimerResetBySms);
    B.Flag(30, S.TestForcedByRing);
    uint32_t At = 31;
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a, ++At)
            B.CondByte(At, S.Outputs[o].Actions[a].AutoRevertTime, S.Outputs[o].Actions[a].AutoRevert, 1,
                       TKeptGroup::RevertTimes);
    B.Byte(35, S.GpsFixLossTime);
    for (int u = 1; u <= UserCount; ++u) {
        const uint32_t P = 36 + 4 * static_cast<uint32_t>(u - 1);
        B.Byte(P, S.GpsUsers[u].AutoSendPeriod);
        B.Flag(P + 1, S.GpsUsers[u].PositionByRing);
        B.Flag(P + 2, S.GpsUsers[u].StartByRing);
        B.Flag(P + 3, S.GpsUsers[u].StopByRing);
    }
    B.Byte(48, S.PowerUpArmState);
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
        B.Byte(66 + static_cast<uint32_t>(i), S.Inputs[i].DelayTime);
    // Slot K's reaction: an input function's byte with its GPS action and
    // trigger, or a notification's reaction bit set.
    for (int K = 0; K < TextSlotCount; ++K) {
        const TTextSlot T = TextSlotOf(K);
        if (const TNotification *N = TextSlotNotification(S, K))
            B.Byte(ReactionBytes + static_cast<uint32_t>(K), N->Reaction);
        else
            B.FunctionBits(ReactionBytes + static_cast<uint32_t>(K), S.Inputs[T.Index].Users[T.User].Functions[T.Sub]);
    }
    At = ReactionBytes + TextSlotCount;
    for (int o = 1; o <= OutputCount; ++o)
        for (int a = 1; a <= ActionCount; ++a)
            B.Flag(At++, S.Outputs[o].Actions[a].AllowByRing);

    TImageEntry &Pin = B.Add(150, TImageKind::SimPinRecord, 16);
    Pin.Field = B.Desc(S.SimPin);
    Pin.Kept = TKeptGroup::SimPin;
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
        B.Record(TextSlotOffset(K), TImageKind::TextSlot, TextSlotSize, TextSlotText(S, K));

    B.Record(DeviceImageSize - 6, TImageKind::PinTrailer, 6, S.DevicePin);

    for (int u = 1; u <= UserCount; ++u) {
        B.Absent(TKeptGroup::Descriptions, S.Users[u].Identifier);
        B.Absent(TKeptGroup::Descriptions, S.Users[u].Description);
    }
    for (int i = 1; i <= InputCount; ++i)
        B.Absent(TKeptGroup::Descriptions, S.Inputs[i].Description);
    for (int o = 1; o <= OutputCount; ++o)
        B.Absent(TKeptGroup::Descriptions, S.Outputs[o].Description);
    B.Absent(TKeptGroup::GpsReplies, S.GpsReplyToAnyRing);
    B.Absent(TKeptGroup::GpsReplies, S.GpsReplyToAnySms);
    B.Absent(TKeptGroup::GpsReplies, S.GpsReplySmsCode);
    for (const int32_t *F : {&S.SmsValidityUnit, &S.SmsValidityHours, &S.SmsValidityDays, &S.SmsValidityWeeks})
        B.Absent(TKeptGroup::SmsValidity, *F);
    B.Absent(TKeptGroup::DeviceVersion, S.DeviceVersion);

    // The rows of one mask byte stay in bit order.
    std::stable_sort(B.Rows.begin(), B.Rows.end(),
                     [](const TImageEntry &X, const TImageEntry &Y) { return X.Offset < Y.Offset; });

    TMap Map;
    Map.Rows = std::move(B.Rows);
    for (const TFieldDesc &F : SettingsFields()) {
        const bool Carried = std::any_of(Map.Rows.begin(), Map.Rows.end(), [&](const TImageEntry &E) {
            return E.Field == &F || E.Field2 == &F || E.Field3 == &F || E.Cond == &F;
        });
        // Every field is either carried or declared absent above, never both.
        if (Carried == (B.Groups.count(&F) != 0)) {
            std::fprintf(stderr, "image map: %s is %s\n", F.Name.c_str(),
                         Carried ? "carried and declared absent" : "neither carried nor declared absent");
            std::abort();
        }
        if (!Carried)
            Map.NotInImage.push_back(&F);
    }
    Map.Groups = std::move(B.Groups);
    return Map;
}

const TMap &TheMap()
{
    static const TMap Map = BuildMap();
    return Map;
}

} // namespace

const std::vector<TImageEntry> &DeviceImageMap()
{
    return TheMap().Rows;
}

const std::vector<const TFieldDesc *> &FieldsNotInImage()
{
    return TheMap().NotInImage;
}

TKeptGroup NotInImageGroup(const TFieldDesc &F)
{
    const auto It = TheMap().Groups.find(&F);
    return It == TheMap().Groups.end() ? TKeptGroup::None : It->second;
}
