#include "SimDevice.h"

#include <cstdio>

namespace {

uint8_t Checksum(const uint8_t *Data, size_t Count)
{
    uint8_t Sum = 0;
    for (size_t I = 0; I < Count; ++I)
        Sum = static_cast<uint8_t>(Sum + Data[I]);
    return static_cast<uint8_t>(256 - Sum);
}

} // namespace

TSimDevice::TSimDevice(const TSimOptions &Options) : Options(Options) {}

void TSimDevice::Feed(const uint8_t *Data, size_t Count, std::vector<TSimAction> &Actions)
{
    Pending.insert(Pending.end(), Data, Data + Count);
    Parse(Actions);
}

void TSimDevice::Idle(std::vector<TSimAction> &Actions)
{
    if (Pending.empty())
        return;
    Pending.erase(Pending.begin());
    ++SkippedBytes;
    Parse(Actions);
}

int32_t TSimDevice::FrameLength() const
{
    int32_t Length = 0;
    switch (Pending[0]) {
    case 0x01:
    case 0x04: Length = 2; break;
    case 0x02: Length = 5; break;
    case 0x03:
        if (Pending.size() < 4)
            return 0;
        Length = 5 + Pending[3];
        break;
    default: return -1;
    }
    if (Pending.size() < static_cast<size_t>(Length))
        return 0;
    if (Checksum(Pending.data(), static_cast<size_t>(Length - 1)) != Pending[static_cast<size_t>(Length - 1)])
        return -1;
    if (Pending[0] == 0x02 || Pending[0] == 0x03) {
        const int32_t Address = Pending[1] << 8 | Pending[2];
        if (Address + Pending[3] > SimMemorySize)
            return -1;
    }
    return Length;
}

void TSimDevice::Parse(std::vector<TSimAction> &Actions)
{
    while (!Pending.empty()) {
        const int32_t Length = FrameLength();
        if (Length == 0)
            return;
        if (Length < 0) {
            // The wake-up and anything unparseable: skip a byte and look again.
            Pending.erase(Pending.begin());
            ++SkippedBytes;
            continue;
        }
        std::vector<uint8_t> Frame(Pending.begin(), Pending.begin() + Length);
        Pending.erase(Pending.begin(), Pending.begin() + Length);
        Answer(std::move(Frame), Actions);
    }
}

void TSimDevice::Finish(std::vector<uint8_t> &Reply)
{
    ++Replies;
    uint8_t Sum = Checksum(Reply.data(), Reply.size());
    if (Options.BadChecksumEvery > 0 && Replies % Options.BadChecksumEvery == 0)
        Sum = static_cast<uint8_t>(Sum + 1);
    Reply.push_back(Sum);
}

void TSimDevice::Answer(std::vector<uint8_t> Frame, std::vector<TSimAction> &Actions)
{
    ++Requests;
    TSimAction Action;
    Action.Frame = Frame;
    Action.HangUp = Options.HangUpAfter > 0 && Requests >= Options.HangUpAfter;
    const int32_t Address = Frame.size() >= 5 ? (Frame[1] << 8 | Frame[2]) : 0;
    const int32_t Count = Frame.size() >= 5 ? Frame[3] : 0;
    switch (Frame[0]) {
    case 0x01: Action.Request = TSimRequest::Version; break;
    case 0x02: Action.Request = TSimRequest::Read; break;
    case 0x03:
        Action.Request = TSimRequest::Write;
        for (int32_t K = 0; K < Count; ++K)
            Memory[Address + K] = Frame[4 + static_cast<size_t>(K)];
        break;
    default:
        Action.Request = TSimRequest::Reset;
        ++Resets;
        break;
    }
    const bool Answers = !Options.Silent && Requests > Options.IgnoreFirst && Action.Request != TSimRequest::Reset;
    if (Answers && Options.FloodMs > 0 && Requests == Options.IgnoreFirst + 1) {
        Action.Flood = true;
    } else if (Answers) {
        std::vector<uint8_t> &Reply = Action.Reply;
        const uint8_t Echo = static_cast<uint8_t>(Options.WrongEcho ? Frame[0] ^ 0x80 : Frame[0]);
        switch (Action.Request) {
        case TSimRequest::Version: {
            ++VersionReplies;
            const bool Faulty = Options.VersionFaults == 0 || VersionReplies <= Options.VersionFaults;
            const int32_t Length = Faulty ? Options.VersionLength : 3;
            for (int32_t I = 0; I < Length; ++I)
                Reply.push_back(I < 3 ? Options.Version[I] : 0);
            break;
        }
        case TSimRequest::Read:
            Reply = {Echo, Frame[1], Frame[2]};
            for (int32_t K = 0; K < Count; ++K) {
                uint8_t Byte = Memory[Address + K];
                if (Address + K == Options.CorruptAddress)
                    Byte = static_cast<uint8_t>(~Byte);
                Reply.push_back(Byte);
            }
            break;
        case TSimRequest::Write:
            Reply = {Echo};
            if (!Options.ShortWriteReply) {
                Reply.push_back(Frame[1]);
                Reply.push_back(Frame[2]);
            }
            break;
        case TSimRequest::Reset: break;
        }
        if (!Reply.empty())
            Finish(Reply);
    }
    Actions.push_back(std::move(Action));
}

std::string HexBytes(const std::vector<uint8_t> &Bytes)
{
    std::string Text;
    char Item[8];
    for (uint8_t Byte : Bytes) {
        std::snprintf(Item, sizeof Item, Text.empty() ? "%02X" : " %02X", Byte);
        Text += Item;
    }
    return Text;
}
