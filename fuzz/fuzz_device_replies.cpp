// Arbitrary device replies with arbitrary quiet-tick timing, fed to the frame
// layer and the run's acceptance rules on one thread. A model of the
// exchange (what is collected, when the reply ends, what lands in the frame
// buffer) is checked against the real layer after every exchange.
#include "UDecls.h"
#include "UFrames.h"
#include "URun.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Require(bool Ok, const char *What, long Where = -1)
{
    if (!Ok) {
        std::fprintf(stderr, "invariant broken: %s (%ld)\n", What, Where);
        std::abort();
    }
}

class TInput {
public:
    TInput(const uint8_t *Data, size_t Size) : Data(Data), Size(Size) {}
    bool Empty() const { return Pos >= Size; }
    uint8_t Next() { return Pos < Size ? Data[Pos++] : 0; }

private:
    const uint8_t *Data;
    size_t Size;
    size_t Pos = 0;
};

// Requests must go out whole with a checksum that makes them sum to 0.
class TCheckingPort : public TFramePort {
public:
    int32_t Expected = 0;
    bool Write(const uint8_t *Data, int32_t Count) override
    {
        Require(Count == Expected, "request length");
        uint8_t Sum = 0;
        for (int32_t I = 0; I < Count; ++I)
            Sum = static_cast<uint8_t>(Sum + Data[I]);
        Require(Sum == 0, "request checksum");
        return true;
    }
};

// What the frame layer should do. The countdown is not reset by a request: a
// late byte of the previous exchange keeps it running into the next one.
struct TModel {
    bool Receiving = false;
    int32_t Quiet = 0;
    std::vector<uint8_t> Collected;
    void Tick()
    {
        if (Quiet > 0 && --Quiet == 0)
            Receiving = false;
    }
    void Byte(uint8_t B)
    {
        if (!Receiving)
            return;
        Quiet = QuietTickCount;
        if (Collected.size() < static_cast<size_t>(ReceiveBufferSize))
            Collected.push_back(B);
    }
};

void AddChecksum(std::vector<uint8_t> &Reply)
{
    uint8_t Sum = 0;
    for (uint8_t B : Reply)
        Sum = static_cast<uint8_t>(Sum + B);
    Reply.push_back(static_cast<uint8_t>(256 - Sum));
}

// A reply as a good device gives it, for the fuzzer to bend.
std::vector<uint8_t> GoodReply(int Kind, int32_t Address)
{
    std::vector<uint8_t> Reply;
    if (Kind == 0) {
        Reply = {1, 2, 3};
    } else {
        Reply = {static_cast<uint8_t>(Kind == 1 ? 3 : 2), static_cast<uint8_t>(Address >> 8),
                 static_cast<uint8_t>(Address & 0xFF)};
        if (Kind == 2)
            Reply.insert(Reply.end(), DeviceImage + Address, DeviceImage + Address + 32);
    }
    AddChecksum(Reply);
    return Reply;
}

TCheckingPort Port;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    for (size_t I = 0; I < DeviceImageSize; ++I)
        DeviceImage[I] = static_cast<uint8_t>(I * 7 + 3);
    ResetFrameState();
    FramePort = &Port;
    TInput In(Data, Size);
    uint8_t Frame[FrameBufferSize];
    std::memset(Frame, 0, sizeof Frame);

    // Bytes before the first request are dropped.
    TModel Model;
    const int Early = In.Next() % 4;
    for (int I = 0; I < Early; ++I)
        ReceiveByte(In.Next());
    Require(ReceivedCount.load() == 0, "bytes before the first request dropped");
    // Sizes SendFrame must refuse without writing.
    Port.Expected = -1;
    Require(!SendFrame(Frame, 0) && !SendFrame(Frame, FrameBufferSize), "bad frame sizes refused");

    for (int Exchange = 0; Exchange < 16 && !In.Empty(); ++Exchange) {
        const uint8_t Head = In.Next();
        const int Kind = Head % 3; // 0 version, 1 write block, 2 read block
        const int32_t Address = 32 * (In.Next() % 256);
        int32_t N = 1;
        Frame[0] = static_cast<uint8_t>(Kind == 0 ? 1 : Kind == 1 ? 3 : 2);
        if (Kind != 0) {
            Frame[1] = static_cast<uint8_t>(Address >> 8);
            Frame[2] = static_cast<uint8_t>(Address & 0xFF);
            Frame[3] = 32;
            N = 4;
            if (Kind == 1) {
                std::memcpy(Frame + 4, DeviceImage + Address, 32);
                N = 36;
            }
        }
        Port.Expected = N + 1;
        Require(SendFrame(Frame, N), "request sent");
        Model.Receiving = true;
        Model.Collected.clear();
        uint8_t Before[FrameBufferSize];
        std::memcpy(Before, Frame, sizeof Frame);

        // The reply: raw bytes, or a good one bent by a cut, a flipped byte or an extra byte.
        std::vector<uint8_t> Reply;
        const int Source = (Head >> 2) % 4;
        if (Source == 0) {
            const size_t Length = In.Next() % 48 + (Head >= 0xF0 ? 300 : 0);
            for (size_t I = 0; I < Length; ++I)
                Reply.push_back(In.Next());
        } else {
            Reply = GoodReply(Kind, Address);
            if (Source == 2) {
                const size_t At = In.Next() % Reply.size();
                Reply[At] ^= In.Next();
            } else if (Source == 3) {
                const uint8_t Cut = In.Next();
                if (Cut & 0x80)
                    Reply.push_back(Cut);
                else
                    Reply.resize(Cut % (Reply.size() + 1));
            }
        }

        // Ticks before each byte: a gap of five or more ends the reply early.
        const bool Silent = (Head & 0x40) != 0 && Source == 0;
        if (!Silent) {
            for (uint8_t B : Reply) {
                const int Gap = In.Next() % 8 == 7 ? In.Next() % 8 : 0;
                for (int T = 0; T < Gap; ++T) {
                    QuietTick();
                    Model.Tick();
                }
                ReceiveByte(B);
                Model.Byte(B);
            }
            for (int T = 0; T < QuietTickCount; ++T) {
                QuietTick();
                Model.Tick();
            }
        }

        const int32_t Count = WaitReply(Frame, 0);
        const int32_t Got = static_cast<int32_t>(Model.Collected.size());
        uint8_t Sum = 0;
        for (uint8_t B : Model.Collected)
            Sum = static_cast<uint8_t>(Sum + B);
        const int32_t Want = Got >= 2 && Sum == 0 ? Got - 1 : 0;
        Require(Count == Want, "reply length as the model says", Count);
        if (Got >= 2)
            std::memcpy(Before, Model.Collected.data(), Model.Collected.size());
        Require(std::memcmp(Before, Frame, sizeof Frame) == 0, "frame buffer as the model says");
        Require(Count >= 0 && Count < FrameBufferSize, "reply fits the frame buffer", Count);

        // Acceptance: never on a reply that did not carry what it is accepted for.
        if (Kind == 0) {
            const bool Ok = VersionReplyAccepted(Count);
            Require(Ok == (Count == 3), "version needs three content bytes");
        } else if (Kind == 1) {
            const bool Ok = WriteReplyAccepted(Frame, Count, Address);
            const bool Echo = Count >= 1 && Model.Collected[0] == 3 &&
                              (Count < 2 || Model.Collected[1] == (Address >> 8)) &&
                              (Count < 3 || Model.Collected[2] == (Address & 0xFF));
            Require(Ok == Echo, "write echo");
        } else {
            const bool Ok = ReadReplyAccepted(Frame, Count, Address, 32);
            const bool Carried = Count == 35 && Model.Collected[0] == 2 && Model.Collected[1] == (Address >> 8) &&
                                 Model.Collected[2] == (Address & 0xFF) &&
                                 std::memcmp(Model.Collected.data() + 3, DeviceImage + Address, 32) == 0;
            Require(Ok == Carried, "read block carries the image");
        }

        // Bytes after the end of the reply are dropped; after silence they are
        // collected, and the next request throws them away.
        const int Extra = In.Next() % 4;
        for (int I = 0; I < Extra; ++I) {
            const uint8_t B = In.Next();
            ReceiveByte(B);
            Model.Byte(B);
        }
        Require(ReceivedCount.load() == static_cast<int32_t>(Model.Collected.size()), "late bytes as the model says",
                ReceivedCount.load());
        Require(Receiving.load() == Model.Receiving && QuietTicks.load() == Model.Quiet, "state as the model says");
    }
    // A stray tick after the run ends changes nothing.
    ResetFrameState();
    QuietTick();
    Require(!Receiving.load() && QuietTicks.load() == 0 && ReceivedCount.load() == 0, "reset state");
    FramePort = nullptr;
    return 0;
}
