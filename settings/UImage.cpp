// Each kind of image row: how it is written, how it is read back and what
// the reading finds wrong with it, side by side. EncodeImageOf and
// DecodeDeviceImage walk the map and call these.
#include "UImage.h"

#include "UTextSlots.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr uint16_t NoOwner = 0xFFFF;

uint8_t LowByte(int32_t Value)
{
    return static_cast<uint8_t>(static_cast<uint32_t>(Value) & 0xFF);
}

bool IsByteField(const TFieldDesc &F)
{
    return F.Kind == TFieldKind::Flag || F.Kind == TFieldKind::RadioPair;
}

int32_t GetValue(const TSettings &S, const TFieldDesc &F)
{
    return IsByteField(F) ? FieldByte(S, F) : FieldInt(S, F);
}

void SetValue(TSettings &S, const TFieldDesc &F, int32_t Value)
{
    if (IsByteField(F))
        SetFieldByte(S, F, static_cast<uint8_t>(Value));
    else
        SetFieldInt(S, F, Value);
}

std::string RangeText(const TFieldDesc &F)
{
    return std::to_string(F.Min) + ".." + std::to_string(F.Max);
}

// Every store is checked against the image: records that run over their
// room (a 23-character number, a text of more than 60 characters) are cut
// by the next row's write, and nothing may land beyond the last byte.
class TWriter {
public:
    explicit TWriter(uint8_t (&Image)[DeviceImageSize]) : Image(Image) {}

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

    // Count bytes of Chars, padded with zeros.
    void PutPadded(size_t At, std::string_view Chars, size_t Count)
    {
        for (size_t I = 0; I < Count; ++I)
            Store(At + I, I < Chars.size() ? static_cast<uint8_t>(Chars[I]) : 0);
    }

    uint8_t (&Image)[DeviceImageSize];
};

// What a reading keeps while it walks the map: the image, the record it
// writes, the findings, and which bytes some row has accounted for.
class TReader {
public:
    TReader(const uint8_t (&Image)[DeviceImageSize], TSettings &Set) : X(Image), S(Set) {}

    void Find(uint32_t Offset, uint32_t Count, const TFieldDesc *Field, std::string Text)
    {
        Out.Findings.push_back({Offset, Count, Field, std::move(Text)});
    }
    void Keep(const TFieldDesc *F, TKeptReason Reason, TKeptGroup Group) { Out.Kept.push_back({F, Reason, Group}); }
    void Cover(uint32_t From, uint32_t Count)
    {
        for (uint32_t I = From; I < From + Count && I < DeviceImageSize; ++I)
            Covered[I] = true;
    }
    // The record's length byte and its complement; false when they disagree.
    bool CheckComplement(const TImageEntry &E, uint32_t P)
    {
        if (X[P + 1] == static_cast<uint8_t>(255 - X[P]))
            return true;
        Find(P, 2, E.Field, "długość " + std::to_string(X[P]) + " i dopełnienie " + std::to_string(X[P + 1]) +
                                " nie pasują do siebie");
        return false;
    }

    void LayTexts();
    void ZeroAreas();

    const uint8_t (&X)[DeviceImageSize];
    TSettings &S;
    TImageDecoding Out;
    std::array<bool, DeviceImageSize> Covered{};
    // The text area as re-encoding the decoded texts lays it: a character of
    // a text that runs past its slot is taken from there, so that the
    // decoded record encodes to an image that decodes to it again.
    std::array<uint8_t, DeviceImageSize> Laid{};
    std::array<uint16_t, DeviceImageSize> Owner{};
    std::vector<const TFieldDesc *> LengthFields;
    std::vector<uint32_t> LengthOffsets;
};

// The characters of a code or PIN: its bytes up to the last non-zero one,
// since the encoder pads with zeros after whatever the field held.
std::string PaddedChars(const uint8_t *P, size_t Max)
{
    size_t N = Max;
    while (N > 0 && P[N - 1] == 0)
        --N;
    return std::string(reinterpret_cast<const char *>(P), N);
}

bool ConditionHolds(const TSettings &S, const TImageEntry &E)
{
    if (E.CondEquals)
        return FieldInt(S, *E.Cond) == E.Value;
    return FieldByte(S, *E.Cond) != 0;
}

// Fixed: the bytes of the row, whatever the record holds.

void PutFixed(TWriter &W, const TSettings &, const TImageEntry &E)
{
    for (size_t I = 0; I < E.Bytes.size(); ++I)
        W.Store(E.Offset + I, E.Bytes[I]);
}

void TakeFixed(TReader &R, const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    R.Cover(P, E.Room);
    if (std::memcmp(&R.X[P], E.Bytes.data(), E.Bytes.size()) == 0)
        return;
    std::string Got, Want;
    for (size_t I = 0; I < E.Bytes.size(); ++I) {
        Got += (I ? " " : "") + std::to_string(R.X[P + I]);
        Want += (I ? " " : "") + std::to_string(E.Bytes[I]);
    }
    R.Find(P, E.Room, nullptr, "stałe bajty: " + Got + " zamiast " + Want);
}

// Length: a text's length in the parameter block, checked against its record later.

void PutLength(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    W.Store(E.Offset, static_cast<uint8_t>(FieldChars(S, *E.Field).size()));
}

void TakeLength(TReader &R, const TImageEntry &E)
{
    R.Cover(E.Offset, 1);
    R.LengthFields.push_back(E.Field);
    R.LengthOffsets.push_back(E.Offset);
}

// Byte: the low 8 bits of an integer, within its control's range.

void PutByte(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    W.Store(E.Offset, LowByte(FieldInt(S, *E.Field)));
}

void TakeByte(TReader &R, const TImageEntry &E)
{
    const uint8_t B = R.X[E.Offset];
    R.Cover(E.Offset, 1);
    SetValue(R.S, *E.Field, B);
    if (B < E.Field->Min || B > E.Field->Max)
        R.Find(E.Offset, 1, E.Field, std::to_string(B) + " poza zakresem " + RangeText(*E.Field));
}

// Flag: 1 for any non-zero byte of the record.

void PutFlag(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    W.Store(E.Offset, FieldByte(S, *E.Field) != 0 ? 1 : 0);
}

void TakeFlag(TReader &R, const TImageEntry &E)
{
    const uint8_t B = R.X[E.Offset];
    R.Cover(E.Offset, 1);
    SetValue(R.S, *E.Field, B != 0 ? 1 : 0);
    if (B > 1)
        R.Find(E.Offset, 1, E.Field, std::to_string(B) + " zamiast 0 albo 1");
}

// CondByte: the scaled value while its flag is on, else 0.

void PutCondByte(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    // Unsigned, so that a foreign value cannot overflow; only the low byte counts.
    W.Store(E.Offset, ConditionHolds(S, E) ? static_cast<uint8_t>(static_cast<uint32_t>(FieldInt(S, *E.Field)) *
                                                                  static_cast<uint32_t>(E.Scale))
                                           : 0);
}

void TakeCondByte(TReader &R, const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t B = R.X[P];
    R.Cover(P, 1);
    SetValue(R.S, *E.Cond, B != 0 ? 1 : 0);
    if (B == 0) {
        R.Keep(E.Field, TKeptReason::ConditionOff, E.Kept);
        return;
    }
    // The smallest value whose scaled low byte is B, so that any record's
    // byte comes back; a byte no value gives falls to the nearest in range.
    const int32_t Low = E.Field->Min, High = E.Field->Max;
    int32_t V = 0;
    for (int32_t C = 1; C <= 256 && V == 0; ++C)
        if (static_cast<uint8_t>(static_cast<uint32_t>(C) * static_cast<uint32_t>(E.Scale)) == B)
            V = C;
    if (V == 0) {
        V = B / E.Scale;
        V = V < Low ? Low : V > High ? High : V;
        R.Find(P, 1, E.Field, "bajt " + std::to_string(B) + " nie jest wielokrotnością " + std::to_string(E.Scale));
    } else if (V < Low || V > High) {
        R.Find(P, 1, E.Field, std::to_string(V) + " poza zakresem " + RangeText(*E.Field));
    }
    SetValue(R.S, *E.Field, V);
}

// MaskBit: one bit of a mask byte, shared by the rows of that byte.

void PutMaskBit(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    const int32_t V = GetValue(S, *E.Field);
    if (E.Equal ? V == E.Value : V != 0)
        W.Image[E.Offset] |= static_cast<uint8_t>(1u << E.Bit);
}

void TakeMaskBit(TReader &R, const TImageEntry &E)
{
    const uint8_t B = R.X[E.Offset];
    R.Cover(E.Offset, 1);
    const bool Set = (B >> E.Bit & 1) != 0;
    if (!E.Equal) {
        SetValue(R.S, *E.Field, Set ? E.Value : 0);
    } else if (Set) {
        // The rows of the same field's wider bit come first.
        if (GetValue(R.S, *E.Field) == 0)
            R.Find(E.Offset, 1, E.Field, "bit " + std::to_string(E.Bit) + " ustawiony bez bitu użycia wejścia");
        SetValue(R.S, *E.Field, E.Value);
    }
}

// FunctionBits: an input function's reaction, GPS action and trigger in one byte.

void PutFunctionBits(TWriter &W, const TSettings &S, const TImageEntry &E)
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
    W.Store(E.Offset, B);
}

void TakeFunctionBits(TReader &R, const TImageEntry &E)
{
    const uint8_t B = R.X[E.Offset];
    R.Cover(E.Offset, 1);
    // The GPS action takes the lowest of its bits; every other bit below
    // 7 stays with the reaction, whose low byte the image holds whole.
    int32_t Gps = 0;
    for (int32_t K = 0; K < 3 && Gps == 0; ++K)
        if ((B >> (2 + K) & 1) != 0)
            Gps = K + 1;
    SetValue(R.S, *E.Field, B & 0x7F & ~(Gps != 0 ? 1 << (Gps + 1) : 0));
    SetValue(R.S, *E.Field2, Gps);
    SetValue(R.S, *E.Field3, B >> 7);
    const int GpsBits = (B >> 2 & 1) + (B >> 3 & 1) + (B >> 4 & 1);
    if (GpsBits > 1 || (B & 0x60) != 0)
        R.Find(E.Offset, 1, E.Field,
               "bajt funkcji " + std::to_string(B) +
                   (GpsBits > 1 ? " ma kilka akcji GPS naraz" : " ma nieznane bity 5-6"));
}

// StringRecord: a phone number's length, complement, characters and zero.

void PutStringRecord(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    W.PutStringRecord(E.Offset, FieldChars(S, *E.Field));
}

void TakeStringRecord(TReader &R, const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t L = R.X[P];
    const uint32_t Capacity = static_cast<uint32_t>(E.Field->Capacity);
    const uint32_t N = L < Capacity ? L : Capacity;
    R.Cover(P, N + 3);
    R.CheckComplement(E, P);
    if (L > Capacity)
        R.Find(P, 1, E.Field, "długość " + std::to_string(L) + " ponad pojemność " + std::to_string(Capacity));
    else if (N + 3 > E.Room)
        R.Find(P, 1, E.Field, "rekord długości " + std::to_string(L) + " wychodzi poza swoje " +
                                  std::to_string(E.Room) + " bajtów");
    else if (R.X[P + 2 + N] != 0)
        R.Find(P + 2 + N, 1, E.Field, "brak bajtu zerowego na końcu rekordu");
    SetFieldText(R.S, *E.Field, std::string(reinterpret_cast<const char *>(&R.X[P + 2]), N));
    for (size_t K = 0; K < R.LengthFields.size(); ++K)
        if (R.LengthFields[K] == E.Field && R.X[R.LengthOffsets[K]] != L)
            R.Find(R.LengthOffsets[K], 1, E.Field,
                   "długość " + std::to_string(R.X[R.LengthOffsets[K]]) + " w bloku parametrów, a " +
                       std::to_string(L) + " w rekordzie");
}

// SimPinRecord: a fixed prefix and the four PIN characters, or the empty record.

void PutSimPinRecord(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    const std::string_view Pin = FieldChars(S, *E.Field);
    if (Pin.size() != ImageSimPinLength) {
        W.PutStringRecord(E.Offset, {});
        return;
    }
    std::string Chars(E.Bytes.begin(), E.Bytes.end());
    Chars += Pin;
    Chars += '\0';
    W.PutStringRecord(E.Offset, Chars);
}

void TakeSimPinRecord(TReader &R, const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t L = R.X[P];
    const uint32_t Full = static_cast<uint32_t>(E.Bytes.size()) + ImageSimPinLength + 1;
    if (L == 0) {
        R.Cover(P, 3);
        R.CheckComplement(E, P);
        if (R.X[P + 2] != 0)
            R.Find(P + 2, 1, E.Field, "brak bajtu zerowego na końcu rekordu");
        R.Keep(E.Field, TKeptReason::EmptyRecord, E.Kept);
        return;
    }
    R.Cover(P, E.Room);
    if (L != Full || std::memcmp(&R.X[P + 2], E.Bytes.data(), E.Bytes.size()) != 0) {
        R.Find(P, E.Room, E.Field, "rekord o długości " + std::to_string(L) + " nie jest rekordem PIN-u");
        R.Keep(E.Field, TKeptReason::Untrusted, E.Kept);
        return;
    }
    R.CheckComplement(E, P);
    SetFieldText(R.S, *E.Field,
                 std::string(reinterpret_cast<const char *>(&R.X[P + 2 + E.Bytes.size()]), ImageSimPinLength));
    if (R.X[P + 2 + Full - 1] != 0 || R.X[P + 2 + Full] != 0)
        R.Find(P + 1 + Full, 2, E.Field, "brak bajtów zerowych na końcu rekordu");
}

// An empty record says "no PIN", not "the set's PIN".
void ImpliedSimPin(TSettings &S, const TImageEntry &E)
{
    SetFieldText(S, *E.Field, {});
}

// TextSlot: the record of an SMS text with one zero character appended.

void PutTextSlot(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    W.PutStringRecord(E.Offset, FieldChars(S, *E.Field), 1);
}

uint32_t SlotTextLength(uint8_t L, const TFieldDesc &F)
{
    const uint32_t N = L == 0 ? 0 : L - 1u;
    return N < static_cast<uint32_t>(F.Capacity) ? N : static_cast<uint32_t>(F.Capacity);
}

void TakeTextSlot(TReader &R, const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t L = R.X[P];
    const uint32_t N = SlotTextLength(L, *E.Field);
    const auto Row = static_cast<uint16_t>(&E - DeviceImageMap().data());
    R.Cover(P, N + 4);
    if (L != 0)
        R.CheckComplement(E, P);
    std::string Text(N, '\0');
    for (uint32_t J = 0; J < N; ++J) {
        const uint32_t Q = P + 2 + J;
        Text[J] = static_cast<char>(R.Owner[Q] == Row ? R.X[Q] : R.Laid[Q]);
    }
    SetFieldText(R.S, *E.Field, Text);
    if (L == 0)
        R.Find(P, 1, E.Field, "pusty rekord bez dołączonego znaku zerowego");
    else if (L - 1u > static_cast<uint32_t>(E.Field->Capacity))
        R.Find(P, 1, E.Field, "długość " + std::to_string(L) + " ponad pojemność tekstu");
    else if (N > static_cast<uint32_t>(SmsTextSlotLimit))
        R.Find(P, 1, E.Field, "tekst " + std::to_string(N) + "-znakowy wychodzi poza swoje pole " +
                                  std::to_string(TextSlotSize) + " bajtów");
    for (uint32_t Q = P + 2 + N; Q < P + 4 + N; ++Q)
        if (R.Owner[Q] == Row && R.X[Q] != 0) {
            R.Find(Q, 1, E.Field, "brak bajtu zerowego na końcu rekordu");
            break;
        }
}

void TReader::LayTexts()
{
    Owner.fill(NoOwner);
    const std::vector<TImageEntry> &Map = DeviceImageMap();
    for (size_t Row = Map.size(); Row-- > 0;) {
        const TImageEntry &E = Map[Row];
        if (E.Kind != TImageKind::TextSlot)
            continue;
        const uint32_t P = E.Offset, N = SlotTextLength(X[P], *E.Field);
        for (uint32_t Q = P; Q < P + N + 4 && Q < DeviceImageSize; ++Q) {
            if (Owner[Q] != NoOwner)
                continue;
            Owner[Q] = static_cast<uint16_t>(Row);
            if (Q == P)
                Laid[Q] = static_cast<uint8_t>(N + 1);
            else if (Q == P + 1)
                Laid[Q] = static_cast<uint8_t>(254 - N);
            else
                Laid[Q] = Q < P + 2 + N ? X[Q] : 0;
        }
    }
}

// Code: an SMS code's characters while its condition holds, else zeros.

void PutCode(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    W.PutPadded(E.Offset, ConditionHolds(S, E) ? FieldChars(S, *E.Field) : std::string_view(), E.Room);
}

void TakeCode(TReader &R, const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    R.Cover(P, E.Room);
    const std::string Chars = PaddedChars(&R.X[P], E.Room - 1);
    const bool Last = R.X[P + E.Room - 1] != 0;
    // An enabled empty code is five zeros too: the flag is read from the
    // code only when the image does not carry the condition itself.
    const bool On = E.CondEquals ? GetValue(R.S, *E.Cond) == E.Value : !Chars.empty();
    if (!On) {
        R.Keep(E.Field, TKeptReason::ConditionOff, E.Kept);
        if (!E.CondEquals)
            R.Keep(E.Cond, TKeptReason::ConditionOff, TKeptGroup::SmsSwitches);
        if (!Chars.empty() || Last)
            R.Find(P, E.Room, E.Field, "bajty kodu przy wyłączonym warunku " + E.Cond->Name);
        return;
    }
    if (!E.CondEquals)
        SetValue(R.S, *E.Cond, 1);
    SetFieldText(R.S, *E.Field, Chars);
    if (Last)
        R.Find(P, E.Room, E.Field, "piąty bajt kodu nie jest zerem");
    else if (Chars.find('\0') != std::string::npos)
        R.Find(P, E.Room, E.Field, "znak zerowy wewnątrz kodu");
}

// Five zeros say "off", not "the set's code is empty".
void ImpliedCode(TSettings &S, const TImageEntry &E)
{
    if (!E.CondEquals)
        SetFieldByte(S, *E.Cond, 0);
}

// PinTrailer: 4, 251 and the device PIN padded with zeros, without a terminating zero.

void PutPinTrailer(TWriter &W, const TSettings &S, const TImageEntry &E)
{
    W.Store(E.Offset, 4);
    W.Store(E.Offset + 1, 251);
    W.PutPadded(E.Offset + 2, FieldChars(S, *E.Field), 4);
}

void TakePinTrailer(TReader &R, const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    R.Cover(P, E.Room);
    if (R.X[P] != 4 || R.X[P + 1] != 251)
        R.Find(P, 2, E.Field,
               "nagłówek " + std::to_string(R.X[P]) + " " + std::to_string(R.X[P + 1]) + " zamiast 4 251");
    const std::string Pin = PaddedChars(&R.X[P + 2], 4);
    SetFieldText(R.S, *E.Field, Pin);
    if (Pin.find('\0') != std::string::npos)
        R.Find(P + 2, 4, E.Field, "znak zerowy wewnątrz PIN-u");
}

struct TKindOps {
    void (*Put)(TWriter &, const TSettings &, const TImageEntry &);
    void (*Take)(TReader &, const TImageEntry &);
    void (*Implied)(TSettings &, const TImageEntry &) = nullptr;
};

TKindOps OpsOf(TImageKind Kind)
{
    switch (Kind) {
    case TImageKind::Fixed: return {PutFixed, TakeFixed};
    case TImageKind::Length: return {PutLength, TakeLength};
    case TImageKind::Byte: return {PutByte, TakeByte};
    case TImageKind::Flag: return {PutFlag, TakeFlag};
    case TImageKind::CondByte: return {PutCondByte, TakeCondByte};
    case TImageKind::MaskBit: return {PutMaskBit, TakeMaskBit};
    case TImageKind::FunctionBits: return {PutFunctionBits, TakeFunctionBits};
    case TImageKind::StringRecord: return {PutStringRecord, TakeStringRecord};
    case TImageKind::SimPinRecord: return {PutSimPinRecord, TakeSimPinRecord, ImpliedSimPin};
    case TImageKind::TextSlot: return {PutTextSlot, TakeTextSlot};
    case TImageKind::Code: return {PutCode, TakeCode, ImpliedCode};
    case TImageKind::PinTrailer: return {PutPinTrailer, TakePinTrailer};
    }
    return {PutFixed, TakeFixed};
}

void TReader::ZeroAreas()
{
    for (uint32_t I = 0; I < DeviceImageSize;) {
        if (Covered[I] || X[I] == 0) {
            ++I;
            continue;
        }
        // One finding per stretch between two fields, from its first to its last non-zero byte.
        uint32_t End = I, Last = I;
        for (; End < DeviceImageSize && !Covered[End]; ++End)
            if (X[End] != 0)
                Last = End;
        Find(I, Last + 1 - I, nullptr, "bajty niezerowe w obszarze, który powinien być pusty");
        I = End;
    }
    std::stable_sort(Out.Findings.begin(), Out.Findings.end(),
                     [](const TImageFinding &A, const TImageFinding &B) { return A.Offset < B.Offset; });
}

} // namespace

void EncodeImageOf(const TSettings &Set, uint8_t (&Image)[DeviceImageSize])
{
    std::memset(Image, 0, DeviceImageSize);
    TWriter W(Image);
    for (const TImageEntry &E : DeviceImageMap())
        OpsOf(E.Kind).Put(W, Set, E);
}

TImageDecoding DecodeDeviceImage(const uint8_t (&Image)[DeviceImageSize], TSettings &Set)
{
    TReader R(Image, Set);
    for (const TFieldDesc *F : FieldsNotInImage())
        R.Keep(F, TKeptReason::NotInImage, NotInImageGroup(*F));
    R.LayTexts();
    for (const TImageEntry &E : DeviceImageMap())
        OpsOf(E.Kind).Take(R, E);
    R.ZeroAreas();
    return std::move(R.Out);
}

void ClearImpliedByImage(TSettings &Set)
{
    for (const TImageEntry &E : DeviceImageMap())
        if (const auto Implied = OpsOf(E.Kind).Implied)
            Implied(Set, E);
}
