#include "UImageMap.h"
#include "UProcs.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {

uint8_t LowByte(int32_t Value)
{
    return static_cast<uint8_t>(static_cast<uint32_t>(Value) & 0xFF);
}

// Every store is checked against the image: records that run over their
// room (a 23-character number, a text of more than 60 characters) are cut
// by the next row's write, and nothing may land beyond the last byte.
class TImageWriter {
public:
    explicit TImageWriter(uint8_t (&Image)[DeviceImageSize]) : Image(Image) {}

    void Store(size_t At, uint8_t Value)
    {
        if (At < DeviceImageSize)
            Image[At] = Value;
    }

    // Chars and the Extra zero characters appended to them hold at most 255
    // bytes, so the length fits its byte.
    void PutStringRecord(size_t At, std::string_view Chars, size_t Extra = 0)
    {
        const size_t N = Chars.size() + Extra;
        const auto L = static_cast<uint8_t>(N);
        Store(At, L);
        Store(At + 1, static_cast<uint8_t>(255 - L));
        for (size_t I = 0; I < N; ++I)
            Store(At + 2 + I, I < Chars.size() ? static_cast<uint8_t>(Chars[I]) : 0);
        Store(At + 2 + N, 0);
    }

    uint8_t (&Image)[DeviceImageSize];
};

bool ConditionHolds(const TSettings &S, const TImageEntry &E)
{
    if (E.CondEquals)
        return FieldInt(S, *E.Cond) == E.Value;
    return FieldByte(S, *E.Cond) != 0;
}

bool MaskBitSet(const TSettings &S, const TImageEntry &E)
{
    const int32_t V = E.Field->Kind == TFieldKind::Flag || E.Field->Kind == TFieldKind::RadioPair
                          ? FieldByte(S, *E.Field)
                          : FieldInt(S, *E.Field);
    return E.Equal ? V == E.Value : V != 0;
}

uint8_t FunctionByte(const TSettings &S, const TImageEntry &E)
{
    uint8_t B = LowByte(FieldInt(S, *E.Field));
    switch (FieldInt(S, *E.Field2)) {
    case 1: B |= 0x04; break;
    case 2: B |= 0x08; break;
    case 3: B |= 0x10; break;
    default: break;
    }
    if (FieldByte(S, *E.Field3) != 0)
        B |= 0x80;
    return B;
}

void PutEntry(TImageWriter &W, const TSettings &S, const TImageEntry &E)
{
    const size_t P = E.Offset;
    switch (E.Kind) {
    case TImageKind::Fixed:
        for (size_t I = 0; I < E.Bytes.size(); ++I)
            W.Store(P + I, E.Bytes[I]);
        break;
    case TImageKind::Length: W.Store(P, static_cast<uint8_t>(FieldChars(S, *E.Field).size())); break;
    case TImageKind::Byte: W.Store(P, LowByte(FieldInt(S, *E.Field))); break;
    case TImageKind::Flag: W.Store(P, FieldByte(S, *E.Field) != 0 ? 1 : 0); break;
    case TImageKind::CondByte:
        // Unsigned, so that a foreign value cannot overflow; only the low byte counts.
        W.Store(P, ConditionHolds(S, E) ? static_cast<uint8_t>(static_cast<uint32_t>(FieldInt(S, *E.Field)) *
                                                               static_cast<uint32_t>(E.Scale))
                                        : 0);
        break;
    case TImageKind::MaskBit:
        if (MaskBitSet(S, E))
            W.Image[P] |= static_cast<uint8_t>(1u << E.Bit);
        break;
    case TImageKind::FunctionBits: W.Store(P, FunctionByte(S, E)); break;
    case TImageKind::StringRecord: W.PutStringRecord(P, FieldChars(S, *E.Field)); break;
    case TImageKind::SimPinRecord: {
        const std::string_view Pin = FieldChars(S, *E.Field);
        if (Pin.size() != ImageSimPinLength) {
            W.PutStringRecord(P, {});
            break;
        }
        std::string Chars(E.Bytes.begin(), E.Bytes.end());
        Chars += Pin;
        Chars += '\0';
        W.PutStringRecord(P, Chars);
        break;
    }
    case TImageKind::TextSlot: W.PutStringRecord(P, FieldChars(S, *E.Field), 1); break;
    case TImageKind::Code: {
        const std::string_view Chars = ConditionHolds(S, E) ? FieldChars(S, *E.Field) : std::string_view();
        for (size_t I = 0; I < E.Room; ++I)
            W.Store(P + I, I < Chars.size() ? static_cast<uint8_t>(Chars[I]) : 0);
        break;
    }
    case TImageKind::PinTrailer: {
        const std::string_view Pin = FieldChars(S, *E.Field);
        W.Store(P, 4);
        W.Store(P + 1, 251);
        for (size_t I = 0; I < 4; ++I)
            W.Store(P + 2 + I, I < Pin.size() ? static_cast<uint8_t>(Pin[I]) : 0);
        break;
    }
    }
}

} // namespace

void EncodeImageOf(const TSettings &Set, uint8_t (&Image)[DeviceImageSize])
{
    std::memset(Image, 0, DeviceImageSize);
    TImageWriter W(Image);
    for (const TImageEntry &E : DeviceImageMap())
        PutEntry(W, Set, E);
}

void EncodeDeviceImage()
{
    EncodeImageOf(Settings, DeviceImage);
}
