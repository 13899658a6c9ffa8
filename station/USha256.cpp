#include "USha256.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

class TSha256 {
public:
    void Add(const uint8_t *Data, size_t Size)
    {
        Length += Size;
        while (Size > 0) {
            const size_t Take = std::min(Size, sizeof Block - Used);
            std::memcpy(Block + Used, Data, Take);
            Used += Take;
            Data += Take;
            Size -= Take;
            if (Used == sizeof Block) {
                Compress();
                Used = 0;
            }
        }
    }
    std::string Hex()
    {
        const uint64_t Bits = Length * 8;
        const uint8_t One = 0x80, Zero = 0;
        Add(&One, 1);
        while (Used != 56)
            Add(&Zero, 1);
        uint8_t Tail[8];
        for (int I = 0; I < 8; ++I)
            Tail[I] = static_cast<uint8_t>(Bits >> (56 - 8 * I));
        Add(Tail, 8);
        std::string Text;
        char Digits[9];
        for (uint32_t Word : State) {
            std::snprintf(Digits, sizeof Digits, "%08x", Word);
            Text += Digits;
        }
        return Text;
    }

private:
    static uint32_t Rotate(uint32_t X, int N) { return (X >> N) | (X << (32 - N)); }
    void Compress()
    {
        static constexpr uint32_t K[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        uint32_t W[64];
        for (int I = 0; I < 16; ++I)
            W[I] = static_cast<uint32_t>(Block[4 * I]) << 24 | static_cast<uint32_t>(Block[4 * I + 1]) << 16 |
                   static_cast<uint32_t>(Block[4 * I + 2]) << 8 | Block[4 * I + 3];
        for (int I = 16; I < 64; ++I) {
            const uint32_t S0 = Rotate(W[I - 15], 7) ^ Rotate(W[I - 15], 18) ^ (W[I - 15] >> 3);
            const uint32_t S1 = Rotate(W[I - 2], 17) ^ Rotate(W[I - 2], 19) ^ (W[I - 2] >> 10);
            W[I] = W[I - 16] + S0 + W[I - 7] + S1;
        }
        std::array<uint32_t, 8> V = State;
        for (int I = 0; I < 64; ++I) {
            const uint32_t S1 = Rotate(V[4], 6) ^ Rotate(V[4], 11) ^ Rotate(V[4], 25);
            const uint32_t Choice = (V[4] & V[5]) ^ (~V[4] & V[6]);
            const uint32_t T1 = V[7] + S1 + Choice + K[I] + W[I];
            const uint32_t S0 = Rotate(V[0], 2) ^ Rotate(V[0], 13) ^ Rotate(V[0], 22);
            const uint32_t Majority = (V[0] & V[1]) ^ (V[0] & V[2]) ^ (V[1] & V[2]);
            V = {T1 + S0 + Majority, V[0], V[1], V[2], V[3] + T1, V[4], V[5], V[6]};
        }
        for (int I = 0; I < 8; ++I)
            State[I] += V[I];
    }

    std::array<uint32_t, 8> State = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint8_t Block[64] = {};
    size_t Used = 0;
    uint64_t Length = 0;
};

} // namespace

std::string Sha256Hex(const void *Data, size_t Size)
{
    TSha256 Hash;
    Hash.Add(static_cast<const uint8_t *>(Data), Size);
    return Hash.Hex();
}
