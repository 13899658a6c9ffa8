// Helpers shared by the settings tests: field lookup by name and random records.
#pragma once

#include "UDecls.h"
#include "UFields.h"

#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

inline const TFieldDesc &FieldNamed(std::string_view Name)
{
    for (const TFieldDesc &F : SettingsFields())
        if (F.Name == Name)
            return F;
    throw std::out_of_range("no field " + std::string(Name));
}

inline uint8_t *RecordBytes(TSettings &S)
{
    return reinterpret_cast<uint8_t *>(&S);
}

inline void FillRandomBytes(TSettings &S, std::mt19937 &Rng)
{
    uint8_t *P = RecordBytes(S);
    for (size_t I = 0; I < sizeof S; ++I)
        P[I] = static_cast<uint8_t>(Rng());
}

inline std::string RandomChars(std::mt19937 &Rng, size_t N)
{
    std::string Out(N, '\0');
    for (char &C : Out)
        C = static_cast<char>(Rng() % 255 + 1);
    return Out;
}

// A record as the window could have written it: flags 0 or 1, integers
// 0..255, texts within their capacity and SMS texts within MaxSmsText.
inline void FillWellFormed(TSettings &S, std::mt19937 &Rng, int MaxSmsText)
{
    FillRandomBytes(S, Rng);
    for (const TFieldDesc &F : SettingsFields()) {
        switch (F.Kind) {
        case TFieldKind::Flag:
        case TFieldKind::RadioPair: SetFieldByte(S, F, static_cast<uint8_t>(Rng() % 2)); break;
        case TFieldKind::Text: {
            const int Max = F.Capacity == 160 ? MaxSmsText : F.Capacity;
            RecordBytes(S)[F.Offset] = static_cast<uint8_t>(Rng() % (Max + 1));
            break;
        }
        default: SetFieldInt(S, F, static_cast<int32_t>(Rng() % 256)); break;
        }
    }
}
