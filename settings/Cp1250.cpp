#include "Cp1250.h"

#include <cstdint>

namespace {

// Code points of bytes 0x80..0xFF. The five bytes that the code page leaves
// undefined map to the C1 control of the same value, so they survive a round trip.
constexpr char16_t HighHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// -1 when the code page lacks C.
int ToCp1250(char32_t C)
{
    if (C < 0x80)
        return static_cast<int>(C);
    for (int I = 0; I < 128; ++I)
        if (HighHalf[I] == C)
            return 0x80 + I;
    return -1;
}

void AppendUtf8(std::string &Out, char32_t C)
{
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | (C >> 6));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xE0 | (C >> 12));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

// Decodes one UTF-8 sequence at S[I]; returns the code point, or Malformed,
// and advances I past what it consumed.
constexpr char32_t Malformed = 0x110000;

char32_t DecodeNext(std::string_view S, size_t &I)
{
    const auto B0 = static_cast<uint8_t>(S[I++]);
    if (B0 < 0x80)
        return B0;
    int More;
    char32_t C;
    if ((B0 & 0xE0) == 0xC0) {
        More = 1;
        C = B0 & 0x1F;
    } else if ((B0 & 0xF0) == 0xE0) {
        More = 2;
        C = B0 & 0x0F;
    } else if ((B0 & 0xF8) == 0xF0) {
        More = 3;
        C = B0 & 0x07;
    } else {
        return Malformed;
    }
    for (int K = 0; K < More; ++K) {
        if (I >= S.size() || (static_cast<uint8_t>(S[I]) & 0xC0) != 0x80)
            return Malformed;
        C = (C << 6) | (static_cast<uint8_t>(S[I++]) & 0x3F);
    }
    static constexpr char32_t Min[] = {0, 0x80, 0x800, 0x10000};
    if (C < Min[More] || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF))
        return Malformed;
    return C;
}

// The same, with U+FFFD for a malformed sequence.
char32_t NextCodePoint(std::string_view S, size_t &I)
{
    const char32_t C = DecodeNext(S, I);
    return C == Malformed ? 0xFFFD : C;
}

} // namespace

std::string Utf8ToCp1250(std::string_view Utf8)
{
    std::string Out;
    Out.reserve(Utf8.size());
    for (size_t I = 0; I < Utf8.size();) {
        const int B = ToCp1250(NextCodePoint(Utf8, I));
        Out += B < 0 ? '?' : static_cast<char>(B);
    }
    return Out;
}

bool Utf8ToCp1250Exact(std::string_view Utf8, std::string &Out, TCp1250Miss *Miss)
{
    Out.clear();
    for (size_t I = 0; I < Utf8.size();) {
        const size_t At = I;
        const char32_t C = DecodeNext(Utf8, I);
        const int B = C == Malformed ? -1 : ToCp1250(C);
        if (B < 0) {
            if (Miss != nullptr)
                *Miss = {At, I - At, C == Malformed ? char32_t(0xFFFD) : C, C == Malformed};
            return false;
        }
        Out += static_cast<char>(B);
    }
    return true;
}

bool IsUtf8(std::string_view Bytes)
{
    for (size_t I = 0; I < Bytes.size();)
        if (DecodeNext(Bytes, I) == Malformed)
            return false;
    return true;
}

size_t Utf8CharLength(std::string_view Bytes, size_t At)
{
    size_t I = At;
    return DecodeNext(Bytes, I) == Malformed ? 0 : I - At;
}

std::string Cp1250ToUtf8(std::string_view Cp1250)
{
    std::string Out;
    Out.reserve(Cp1250.size() * 2);
    for (char Ch : Cp1250) {
        const auto B = static_cast<uint8_t>(Ch);
        AppendUtf8(Out, B < 0x80 ? char32_t(B) : char32_t(HighHalf[B - 0x80]));
    }
    return Out;
}

size_t Utf8Length(std::string_view Utf8)
{
    size_t N = 0;
    for (size_t I = 0; I < Utf8.size(); ++N)
        NextCodePoint(Utf8, I);
    return N;
}
