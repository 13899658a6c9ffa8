#include "UImageDecode.h"

#include "UImageMap.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t SlotChars = ImageTextSlotSize - 4; // a text that fills its slot exactly
constexpr uint32_t NoOwner = 0xFFFF;

bool IsByteField(const TFieldDesc &F)
{
    return F.Kind == TFieldKind::Flag || F.Kind == TFieldKind::RadioPair;
}

void SetValue(TSettings &S, const TFieldDesc &F, int32_t Value)
{
    if (IsByteField(F))
        SetFieldByte(S, F, static_cast<uint8_t>(Value));
    else
        SetFieldInt(S, F, Value);
}

int32_t GetValue(const TSettings &S, const TFieldDesc &F)
{
    return IsByteField(F) ? FieldByte(S, F) : FieldInt(S, F);
}

// The characters of a code or PIN: its bytes up to the last non-zero one,
// since the encoder pads with zeros after whatever the field held.
std::string PaddedChars(const uint8_t *P, size_t Max)
{
    size_t N = Max;
    while (N > 0 && P[N - 1] == 0)
        --N;
    return std::string(reinterpret_cast<const char *>(P), N);
}

class TDecoder {
public:
    TDecoder(const uint8_t (&Image)[DeviceImageSize], TSettings &Set) : X(Image), S(Set) {}

    TImageDecoding Run();

private:
    void Find(uint32_t Offset, uint32_t Count, std::string Text)
    {
        Out.Findings.push_back({Offset, Count, nullptr, std::move(Text)});
    }
    void Find(uint32_t Offset, uint32_t Count, const TFieldDesc *Field, std::string Text)
    {
        Out.Findings.push_back({Offset, Count, Field, std::move(Text)});
    }
    void Keep(const TFieldDesc *F, TKeptReason Reason) { Out.Kept.push_back({F, Reason}); }
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
    void Entry(const TImageEntry &E);
    void Code(const TImageEntry &E);
    void SimPin(const TImageEntry &E);
    void StringRecord(const TImageEntry &E);
    void TextSlot(const TImageEntry &E);
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

uint32_t TextLength(uint8_t L, const TFieldDesc &F)
{
    const uint32_t N = L == 0 ? 0 : L - 1u;
    return N < static_cast<uint32_t>(F.Capacity) ? N : static_cast<uint32_t>(F.Capacity);
}

void TDecoder::LayTexts()
{
    Owner.fill(NoOwner);
    const std::vector<TImageEntry> &Map = DeviceImageMap();
    for (size_t R = Map.size(); R-- > 0;) {
        const TImageEntry &E = Map[R];
        if (E.Kind != TImageKind::TextSlot)
            continue;
        const uint32_t P = E.Offset, N = TextLength(X[P], *E.Field);
        for (uint32_t Q = P; Q < P + N + 4 && Q < DeviceImageSize; ++Q) {
            if (Owner[Q] != NoOwner)
                continue;
            Owner[Q] = static_cast<uint16_t>(R);
            if (Q == P)
                Laid[Q] = static_cast<uint8_t>(N + 1);
            else if (Q == P + 1)
                Laid[Q] = static_cast<uint8_t>(254 - N);
            else
                Laid[Q] = Q < P + 2 + N ? X[Q] : 0;
        }
    }
}

TImageDecoding TDecoder::Run()
{
    for (const TFieldDesc *F : FieldsNotInImage())
        Keep(F, TKeptReason::NotInImage);
    LayTexts();
    for (const TImageEntry &E : DeviceImageMap())
        Entry(E);
    ZeroAreas();
    return std::move(Out);
}

void TDecoder::Entry(const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t B = X[P];
    switch (E.Kind) {
    case TImageKind::Fixed: {
        Cover(P, E.Room);
        if (std::memcmp(&X[P], E.Bytes.data(), E.Bytes.size()) == 0)
            break;
        std::string Got, Want;
        for (size_t I = 0; I < E.Bytes.size(); ++I) {
            Got += (I ? " " : "") + std::to_string(X[P + I]);
            Want += (I ? " " : "") + std::to_string(E.Bytes[I]);
        }
        Find(P, E.Room, "stałe bajty: " + Got + " zamiast " + Want);
        break;
    }
    case TImageKind::Length:
        Cover(P, 1);
        LengthFields.push_back(E.Field);
        LengthOffsets.push_back(P);
        break;
    case TImageKind::Byte:
        Cover(P, 1);
        SetValue(S, *E.Field, B);
        if (B < E.Low || B > E.High)
            Find(P, 1, E.Field, std::to_string(B) + " poza zakresem " + std::to_string(E.Low) + ".." +
                           std::to_string(E.High));
        break;
    case TImageKind::Flag:
        Cover(P, 1);
        SetValue(S, *E.Field, B != 0 ? 1 : 0);
        if (B > 1)
            Find(P, 1, E.Field, std::to_string(B) + " zamiast 0 albo 1");
        break;
    case TImageKind::CondByte: {
        Cover(P, 1);
        SetValue(S, *E.Cond, B != 0 ? 1 : 0);
        if (B == 0) {
            Keep(E.Field, TKeptReason::ConditionOff);
            break;
        }
        // The smallest value whose scaled low byte is B, so that any record's
        // byte comes back; a byte no value gives falls to the nearest in range.
        int32_t V = 0;
        for (int32_t C = 1; C <= 256 && V == 0; ++C)
            if (static_cast<uint8_t>(static_cast<uint32_t>(C) * static_cast<uint32_t>(E.Scale)) == B)
                V = C;
        if (V == 0) {
            V = B / E.Scale;
            V = V < E.Low ? E.Low : V > E.High ? E.High : V;
            Find(P, 1, E.Field, "bajt " + std::to_string(B) + " nie jest wielokrotnością " +
                           std::to_string(E.Scale));
        } else if (V < E.Low || V > E.High) {
            Find(P, 1, E.Field, std::to_string(V) + " poza zakresem " + std::to_string(E.Low) + ".." +
                           std::to_string(E.High));
        }
        SetValue(S, *E.Field, V);
        break;
    }
    case TImageKind::MaskBit: {
        Cover(P, 1);
        const bool Set = (B >> E.Bit & 1) != 0;
        if (!E.Equal) {
            SetValue(S, *E.Field, Set ? E.Value : 0);
        } else if (Set) {
            // The rows of the same field's wider bit come first.
            if (GetValue(S, *E.Field) == 0)
                Find(P, 1, E.Field, "bit " + std::to_string(E.Bit) + " ustawiony bez bitu użycia wejścia");
            SetValue(S, *E.Field, E.Value);
        }
        break;
    }
    case TImageKind::FunctionBits: {
        Cover(P, 1);
        // The GPS action takes the lowest of its bits; every other bit below
        // 7 stays with the reaction, whose low byte the image holds whole.
        int32_t Gps = 0;
        for (int32_t K = 0; K < 3 && Gps == 0; ++K)
            if ((B >> (2 + K) & 1) != 0)
                Gps = K + 1;
        SetValue(S, *E.Field, B & 0x7F & ~(Gps != 0 ? 1 << (Gps + 1) : 0));
        SetValue(S, *E.Field2, Gps);
        SetValue(S, *E.Field3, B >> 7);
        const int GpsBits = (B >> 2 & 1) + (B >> 3 & 1) + (B >> 4 & 1);
        if (GpsBits > 1 || (B & 0x60) != 0)
            Find(P, 1, E.Field, "bajt funkcji " + std::to_string(B) +
                           (GpsBits > 1 ? " ma kilka akcji GPS naraz" : " ma nieznane bity 5-6"));
        break;
    }
    case TImageKind::StringRecord: StringRecord(E); break;
    case TImageKind::SimPinRecord: SimPin(E); break;
    case TImageKind::TextSlot: TextSlot(E); break;
    case TImageKind::Code: Code(E); break;
    case TImageKind::PinTrailer: {
        Cover(P, E.Room);
        if (X[P] != 4 || X[P + 1] != 251)
            Find(P, 2, E.Field, "nagłówek " + std::to_string(X[P]) + " " + std::to_string(X[P + 1]) +
                           " zamiast 4 251");
        const std::string Pin = PaddedChars(&X[P + 2], 4);
        SetFieldText(S, *E.Field, Pin);
        if (Pin.find('\0') != std::string::npos)
            Find(P + 2, 4, E.Field, "znak zerowy wewnątrz PIN-u");
        break;
    }
    }
}

void TDecoder::Code(const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    Cover(P, E.Room);
    const std::string Chars = PaddedChars(&X[P], E.Room - 1);
    const bool Last = X[P + E.Room - 1] != 0;
    // An enabled empty code is five zeros too: the flag is read from the
    // code only when the image does not carry the condition itself.
    const bool On = E.CondEquals ? GetValue(S, *E.Cond) == E.Value : !Chars.empty();
    if (!On) {
        Keep(E.Field, TKeptReason::ConditionOff);
        if (!E.CondEquals)
            Keep(E.Cond, TKeptReason::ConditionOff);
        if (!Chars.empty() || Last)
            Find(P, E.Room, E.Field, "bajty kodu przy wyłączonym warunku " + E.Cond->Name);
        return;
    }
    if (!E.CondEquals)
        SetValue(S, *E.Cond, 1);
    SetFieldText(S, *E.Field, Chars);
    if (Last)
        Find(P, E.Room, E.Field, "piąty bajt kodu nie jest zerem");
    else if (Chars.find('\0') != std::string::npos)
        Find(P, E.Room, E.Field, "znak zerowy wewnątrz kodu");
}

void TDecoder::SimPin(const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t L = X[P];
    const uint32_t Full = static_cast<uint32_t>(E.Bytes.size()) + ImageSimPinLength + 1;
    if (L == 0) {
        Cover(P, 3);
        CheckComplement(E, P);
        if (X[P + 2] != 0)
            Find(P + 2, 1, E.Field, "brak bajtu zerowego na końcu rekordu");
        Keep(E.Field, TKeptReason::EmptyRecord);
        return;
    }
    Cover(P, E.Room);
    if (L != Full || std::memcmp(&X[P + 2], E.Bytes.data(), E.Bytes.size()) != 0) {
        Find(P, E.Room, E.Field, "rekord o długości " + std::to_string(L) + " nie jest rekordem PIN-u");
        Keep(E.Field, TKeptReason::Untrusted);
        return;
    }
    CheckComplement(E, P);
    SetFieldText(S, *E.Field,
                 std::string(reinterpret_cast<const char *>(&X[P + 2 + E.Bytes.size()]), ImageSimPinLength));
    if (X[P + 2 + Full - 1] != 0 || X[P + 2 + Full] != 0)
        Find(P + 1 + Full, 2, E.Field, "brak bajtów zerowych na końcu rekordu");
}

void TDecoder::StringRecord(const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t L = X[P];
    const uint32_t Capacity = static_cast<uint32_t>(E.Field->Capacity);
    const uint32_t N = L < Capacity ? L : Capacity;
    Cover(P, N + 3);
    CheckComplement(E, P);
    if (L > Capacity)
        Find(P, 1, E.Field, "długość " + std::to_string(L) + " ponad pojemność " + std::to_string(Capacity));
    else if (N + 3 > E.Room)
        Find(P, 1, E.Field, "rekord długości " + std::to_string(L) + " wychodzi poza swoje " +
                       std::to_string(E.Room) + " bajtów");
    else if (X[P + 2 + N] != 0)
        Find(P + 2 + N, 1, E.Field, "brak bajtu zerowego na końcu rekordu");
    SetFieldText(S, *E.Field, std::string(reinterpret_cast<const char *>(&X[P + 2]), N));
    for (size_t K = 0; K < LengthFields.size(); ++K)
        if (LengthFields[K] == E.Field && X[LengthOffsets[K]] != L)
            Find(LengthOffsets[K], 1, E.Field, "długość " + std::to_string(X[LengthOffsets[K]]) +
                                          " w bloku parametrów, a " + std::to_string(L) + " w rekordzie");
}

void TDecoder::TextSlot(const TImageEntry &E)
{
    const uint32_t P = E.Offset;
    const uint8_t L = X[P];
    const uint32_t N = TextLength(L, *E.Field);
    const auto Row = static_cast<uint16_t>(&E - DeviceImageMap().data());
    Cover(P, N + 4);
    if (L != 0)
        CheckComplement(E, P);
    std::string Text(N, '\0');
    for (uint32_t J = 0; J < N; ++J) {
        const uint32_t Q = P + 2 + J;
        Text[J] = static_cast<char>(Owner[Q] == Row ? X[Q] : Laid[Q]);
    }
    SetFieldText(S, *E.Field, Text);
    if (L == 0)
        Find(P, 1, E.Field, "pusty rekord bez dołączonego znaku zerowego");
    else if (L - 1u > static_cast<uint32_t>(E.Field->Capacity))
        Find(P, 1, E.Field, "długość " + std::to_string(L) + " ponad pojemność tekstu");
    else if (N > SlotChars)
        Find(P, 1, E.Field, "tekst " + std::to_string(N) + "-znakowy wychodzi poza swoje pole " +
                       std::to_string(ImageTextSlotSize) + " bajtów");
    for (uint32_t Q = P + 2 + N; Q < P + 4 + N; ++Q)
        if (Owner[Q] == Row && X[Q] != 0) {
            Find(Q, 1, E.Field, "brak bajtu zerowego na końcu rekordu");
            break;
        }
}

void TDecoder::ZeroAreas()
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
        Find(I, Last + 1 - I, "bajty niezerowe w obszarze, który powinien być pusty");
        I = End;
    }
    std::stable_sort(Out.Findings.begin(), Out.Findings.end(),
                     [](const TImageFinding &A, const TImageFinding &B) { return A.Offset < B.Offset; });
}

} // namespace

TImageDecoding DecodeDeviceImage(const uint8_t (&Image)[DeviceImageSize], TSettings &Set)
{
    return TDecoder(Image, Set).Run();
}

std::string ImageFindingText(const TImageFinding &Finding)
{
    char Head[48];
    std::snprintf(Head, sizeof Head, "0x%04X (%u), %u B: ", Finding.Offset, Finding.Offset, Finding.Count);
    return Head + (Finding.Field != nullptr ? Finding.Field->Name + ": " : std::string()) + Finding.Text;
}
