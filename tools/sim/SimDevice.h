// The simulated device's protocol: frames the requests out of the byte
// stream by their known lengths, answers them against an 8192-byte memory,
// and applies the faults it was told to show. No I/O here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t SimMemorySize = 8192;

struct TSimOptions {
    uint8_t Version[3] = {1, 2, 3};
    int32_t VersionLength = 3; // content bytes of a version reply
    int32_t VersionFaults = 0; // how many version replies get VersionLength; 0 = all
    bool Silent = false;
    int32_t BadChecksumEvery = 0; // every k-th reply carries a wrong checksum
    bool WrongEcho = false;
    bool ShortWriteReply = false; // write replies are the single byte 03
    int32_t CorruptAddress = -1;  // this memory byte reads back inverted
    int32_t IgnoreFirst = 0;
    int32_t FloodMs = 0;    // the first request is answered by bytes without a pause
    int32_t HangUpAfter = 0; // hang up after this many requests
    int32_t ReplyDelayMs = 2;
};

enum class TSimRequest { Version, Read, Write, Reset };

struct TSimAction {
    TSimRequest Request;
    std::vector<uint8_t> Frame; // the request as received
    std::vector<uint8_t> Reply; // empty: no reply
    bool Flood = false;
    bool HangUp = false;        // after the reply
};

class TSimDevice {
public:
    explicit TSimDevice(const TSimOptions &Options);

    // Takes received bytes; each complete request adds one action.
    void Feed(const uint8_t *Data, size_t Count, std::vector<TSimAction> &Actions);
    // The line has been idle: an incomplete frame at the front is garbage.
    void Idle(std::vector<TSimAction> &Actions);

    uint8_t Memory[SimMemorySize] = {};
    int32_t Requests = 0;
    int32_t Resets = 0;
    int32_t Replies = 0;
    int32_t VersionReplies = 0;
    size_t SkippedBytes = 0;

private:
    void Parse(std::vector<TSimAction> &Actions);
    // 0: need more bytes; -1: not a frame at the front; else the frame's length.
    int32_t FrameLength() const;
    void Answer(std::vector<uint8_t> Frame, std::vector<TSimAction> &Actions);
    void Finish(std::vector<uint8_t> &Reply);

    TSimOptions Options;
    std::vector<uint8_t> Pending;
};

// "01 FF", for the log.
std::string HexBytes(const std::vector<uint8_t> &Bytes);
