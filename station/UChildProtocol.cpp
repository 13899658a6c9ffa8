#include "UChildProtocol.h"

#include <cstring>

namespace {

class TPut {
public:
    void U8(uint8_t V) { Out.push_back(static_cast<char>(V)); }
    void I32(int32_t V) { Raw(static_cast<uint64_t>(static_cast<uint32_t>(V)), 4); }
    void I64(int64_t V) { Raw(static_cast<uint64_t>(V), 8); }
    void Text(const std::string &V)
    {
        I32(static_cast<int32_t>(V.size()));
        Out += V;
    }
    void Tries(const TPassTries &V)
    {
        I32(V.Tries);
        I32(V.Repeats);
    }
    void Status(const TRunStatus &V)
    {
        U8(static_cast<uint8_t>(V.Phase));
        I32(V.Bytes);
        Tries(V.Version);
        Tries(V.Write);
        Tries(V.Read);
    }
    std::string Out;

private:
    void Raw(uint64_t V, int Bytes)
    {
        for (int I = 0; I < Bytes; ++I)
            Out.push_back(static_cast<char>((V >> (8 * I)) & 0xFF));
    }
};

// Reads fields off one record's bytes; any field that does not fit spoils it.
class TTake {
public:
    TTake(const char *Data, size_t Size) : Data(Data), Size(Size) {}
    uint8_t U8() { return static_cast<uint8_t>(Raw(1)); }
    int32_t I32() { return static_cast<int32_t>(static_cast<uint32_t>(Raw(4))); }
    int64_t I64() { return static_cast<int64_t>(Raw(8)); }
    std::string Text()
    {
        const int32_t Length = I32();
        if (Length < 0 || static_cast<size_t>(Length) > Size - At) {
            Bad = true;
            return {};
        }
        std::string V(Data + At, static_cast<size_t>(Length));
        At += static_cast<size_t>(Length);
        return V;
    }
    TPassTries Tries()
    {
        TPassTries V;
        V.Tries = I32();
        V.Repeats = I32();
        return V;
    }
    TRunStatus Status()
    {
        TRunStatus V;
        const uint8_t Phase = U8();
        Bad = Bad || Phase > static_cast<uint8_t>(TRunPhase::Ended);
        V.Phase = static_cast<TRunPhase>(Phase);
        V.Bytes = I32();
        V.Version = Tries();
        V.Write = Tries();
        V.Read = Tries();
        return V;
    }
    // Every byte taken, none short.
    bool Whole() const { return !Bad && At == Size; }
    bool Bad = false;

private:
    uint64_t Raw(size_t Bytes)
    {
        if (Size - At < Bytes) {
            Bad = true;
            At = Size;
            return 0;
        }
        uint64_t V = 0;
        for (size_t I = 0; I < Bytes; ++I)
            V |= static_cast<uint64_t>(static_cast<uint8_t>(Data[At + I])) << (8 * I);
        At += Bytes;
        return V;
    }
    const char *Data;
    size_t Size;
    size_t At = 0;
};

} // namespace

std::string EncodeChildRecord(const TChildRecord &R)
{
    TPut Put;
    Put.U8(static_cast<uint8_t>(R.Kind));
    switch (R.Kind) {
    case TChildKind::Start:
        Put.Text(R.Job.Token);
        Put.I32(R.Job.Mode);
        Put.U8(R.Job.Options.Fast);
        Put.I32(R.Job.Options.GapMs);
        Put.Text(R.Job.Port);
        Put.Text(R.Job.SetFile);
        Put.Text(R.Job.SetBytes);
        Put.Text(R.Job.OutPath);
        Put.Text(R.Job.ImagePath);
        Put.Text(R.Job.BaseBytes);
        break;
    case TChildKind::Stop: break;
    case TChildKind::Line: Put.Text(R.Text); break;
    case TChildKind::Note:
        Put.U8(static_cast<uint8_t>(R.Note));
        Put.Text(R.Text);
        break;
    case TChildKind::Status: Put.Status(R.Status); break;
    case TChildKind::Outcome:
        Put.U8(static_cast<uint8_t>(R.Outcome.Result));
        Put.U8(static_cast<uint8_t>(R.Outcome.Fast));
        Put.I32(R.Outcome.FailedAddress);
        Put.U8(R.Outcome.HasVersion);
        for (const uint8_t V : R.Outcome.Version)
            Put.U8(V);
        Put.Status(R.Outcome.Status);
        Put.I64(R.Outcome.DurationMs);
        Put.Text(R.Outcome.PortError);
        break;
    case TChildKind::Done:
        Put.I32(R.Done.ExitStatus);
        Put.U8(static_cast<uint8_t>(R.Done.Result));
        Put.Text(R.Done.SetSha256);
        Put.Text(R.Done.ImageSha256);
        Put.Text(R.Done.Error);
        break;
    case TChildKind::Difference:
        Put.Text(R.Difference.Setting);
        Put.Text(R.Difference.SetValue);
        Put.Text(R.Difference.DeviceValue);
        Put.I32(static_cast<int32_t>(R.Difference.Offset));
        Put.I32(static_cast<int32_t>(R.Difference.Count));
        break;
    }
    const auto Length = static_cast<uint32_t>(Put.Out.size());
    std::string Framed(4, '\0');
    for (int I = 0; I < 4; ++I)
        Framed[static_cast<size_t>(I)] = static_cast<char>((Length >> (8 * I)) & 0xFF);
    return Framed + Put.Out;
}

void TChildRecordReader::Add(const char *Data, size_t Size)
{
    if (!IsBroken)
        Buffer.append(Data, Size);
}

bool TChildRecordReader::Next(TChildRecord &R)
{
    if (IsBroken || Buffer.size() < 4)
        return false;
    uint32_t Length = 0;
    for (int I = 0; I < 4; ++I)
        Length |= static_cast<uint32_t>(static_cast<uint8_t>(Buffer[static_cast<size_t>(I)])) << (8 * I);
    if (Length == 0 || Length > MaxChildRecord) {
        IsBroken = true;
        return false;
    }
    if (Buffer.size() - 4 < Length)
        return false;
    TTake Take(Buffer.data() + 4, Length);
    R = TChildRecord();
    const uint8_t Kind = Take.U8();
    R.Kind = static_cast<TChildKind>(Kind);
    switch (R.Kind) {
    case TChildKind::Start:
        R.Job.Token = Take.Text();
        R.Job.Mode = Take.I32();
        R.Job.Options.Fast = Take.U8() != 0;
        R.Job.Options.GapMs = Take.I32();
        R.Job.Port = Take.Text();
        R.Job.SetFile = Take.Text();
        R.Job.SetBytes = Take.Text();
        R.Job.OutPath = Take.Text();
        R.Job.ImagePath = Take.Text();
        R.Job.BaseBytes = Take.Text();
        break;
    case TChildKind::Stop: break;
    case TChildKind::Line: R.Text = Take.Text(); break;
    case TChildKind::Note: {
        const uint8_t Kind = Take.U8();
        Take.Bad = Take.Bad || Kind > static_cast<uint8_t>(TNoteKind::Problem);
        R.Note = static_cast<TNoteKind>(Kind);
        R.Text = Take.Text();
        break;
    }
    case TChildKind::Status: R.Status = Take.Status(); break;
    case TChildKind::Outcome: {
        const uint8_t Result = Take.U8();
        Take.Bad = Take.Bad || Result > static_cast<uint8_t>(TRunResult::Interrupted);
        R.Outcome.Result = static_cast<TRunResult>(Result);
        const uint8_t Fast = Take.U8();
        Take.Bad = Take.Bad || Fast > static_cast<uint8_t>(TFastExchange::Fallback);
        R.Outcome.Fast = static_cast<TFastExchange>(Fast);
        R.Outcome.FailedAddress = Take.I32();
        R.Outcome.HasVersion = Take.U8() != 0;
        for (uint8_t &V : R.Outcome.Version)
            V = Take.U8();
        R.Outcome.Status = Take.Status();
        R.Outcome.DurationMs = Take.I64();
        R.Outcome.PortError = Take.Text();
        break;
    }
    case TChildKind::Done: {
        R.Done.ExitStatus = Take.I32();
        const uint8_t Result = Take.U8();
        Take.Bad = Take.Bad || Result > static_cast<uint8_t>(TPortResult::Deadline);
        R.Done.Result = static_cast<TPortResult>(Result);
        R.Done.SetSha256 = Take.Text();
        R.Done.ImageSha256 = Take.Text();
        R.Done.Error = Take.Text();
        break;
    }
    case TChildKind::Difference:
        R.Difference.Setting = Take.Text();
        R.Difference.SetValue = Take.Text();
        R.Difference.DeviceValue = Take.Text();
        R.Difference.Offset = static_cast<uint32_t>(Take.I32());
        R.Difference.Count = static_cast<uint32_t>(Take.I32());
        break;
    default: Take.Bad = true; break;
    }
    if (!Take.Whole()) {
        IsBroken = true;
        return false;
    }
    Buffer.erase(0, 4 + Length);
    return true;
}
