// --json and --log: the run's record for scripts and the audit trail.
#include "CliAudit.h"
#include "CliBatch.h"
#include "CliPorts.h"
#include "CliProcess.h"

#include "UFiles.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// FIPS 180-4.
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

// Texts are UTF-8 or bytes of a file name: quotes, backslashes and control
// characters escaped, bytes above 0x7F passed as they are.
std::string JsonText(const std::string &Text)
{
    std::string Out = "\"";
    for (const char C : Text) {
        const auto Byte = static_cast<unsigned char>(C);
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += C;
        } else if (Byte < 0x20 || Byte == 0x7F) {
            char Escape[8];
            std::snprintf(Escape, sizeof Escape, "\\u%04x", Byte);
            Out += Escape;
        } else {
            Out += C;
        }
    }
    return Out + "\"";
}

std::string JsonTextOrNull(const std::string &Text)
{
    return Text.empty() ? "null" : JsonText(Text);
}

// One field of the audit line: tabs and line breaks would split it.
std::string AuditField(const std::string &Text)
{
    if (Text.empty())
        return "-";
    std::string Out = Text;
    for (char &C : Out)
        if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F)
            C = '?';
    return Out;
}

} // namespace

std::string Sha256Hex(const void *Data, size_t Size)
{
    TSha256 Hash;
    Hash.Add(static_cast<const uint8_t *>(Data), Size);
    return Hash.Hex();
}

std::string JsonRecord(const TRunRecord &R)
{
    return "{\"port\":" + JsonText(R.Port) + ",\"stable_port\":" + JsonTextOrNull(R.StablePort) +
           ",\"mode\":" + JsonText(R.Mode) + ",\"version\":" + JsonTextOrNull(R.Version) +
           ",\"result\":" + JsonText(R.Result) + ",\"failed_address\":" +
           (R.FailedAddress < 0 ? std::string("null") : std::to_string(R.FailedAddress)) +
           ",\"duration_ms\":" + std::to_string(R.DurationMs) + ",\"set_file\":" + JsonText(R.SetFile) +
           ",\"set_sha256\":" + JsonTextOrNull(R.SetSha256) + ",\"image_sha256\":" + JsonTextOrNull(R.ImageSha256) +
           ",\"started\":" + JsonText(R.Time) + "}";
}

std::string AuditLine(const TRunRecord &R, const std::string &Host)
{
    const std::string Fields[] = {R.Time,    Host,         R.Port,   R.StablePort, R.Version,
                                  R.SetFile, R.SetSha256, R.Mode,   R.Result,     std::to_string(R.DurationMs)};
    std::string Line;
    for (const std::string &Field : Fields)
        Line += (Line.empty() ? "" : "\t") + AuditField(Field);
    return Line + "\n";
}

TRunReports::~TRunReports()
{
    CloseAuditLog(Log);
}

bool TRunReports::Open(const TRunRequest &Request)
{
    Json = Request.Json;
    SetFile = Request.SetPath;
    Mode = Request.Mode->Command;
    if (Request.LogPath.empty())
        return true;
    Log = OpenAuditLog(Request.LogPath);
    if (Log == nullptr) {
        Complain(Request.LogPath + ": nie można otworzyć dziennika do dopisywania");
        return false;
    }
    return true;
}

void TRunReports::SetHashes(const void *Set, size_t SetSize, const void *Image, size_t ImageSize)
{
    SetSha256 = Sha256Hex(Set, SetSize);
    ImageSha256 = Sha256Hex(Image, ImageSize);
}

TRunRecord TRunReports::Begin(const std::string &Port) const
{
    TRunRecord Record;
    Record.Port = Port;
    Record.StablePort = StableDeviceName(Port);
    Record.Mode = Mode;
    Record.SetFile = SetFile;
    Record.Time = IsoTimeNow();
    return Record;
}

bool TRunReports::Finish(TRunRecord Record, const TRunTracker &Tracker, int64_t DurationMs)
{
    if (!Json && Log == nullptr)
        return true;
    Record.Version = Tracker.Version;
    Record.Result = Tracker.Result.empty() ? "interrupted" : Tracker.Result;
    Record.FailedAddress = Tracker.FailedAddress;
    Record.DurationMs = DurationMs;
    // A read's record brings the hashes of what it saved.
    if (Record.SetSha256.empty())
        Record.SetSha256 = SetSha256;
    if (Record.ImageSha256.empty())
        Record.ImageSha256 = ImageSha256;
    bool Ok = true;
    if (Json) {
        const std::string Line = JsonRecord(Record) + "\n";
        Ok = std::fwrite(Line.data(), 1, Line.size(), stdout) == Line.size() && std::fflush(stdout) == 0;
    }
    if (Log != nullptr && !AppendAuditLine(Log, AuditLine(Record, HostName()))) {
        Complain(SetFile + ": nie udało się dopisać wiersza do dziennika");
        Ok = false;
    }
    return Ok;
}
