// The Win32 serial backend. The cases that need a device run when
// TW_TEST_COM names a COM port with the simulator behind it (the end-to-end
// script maps one under Wine); the others need no port at all.
#include "USerialComm_win32.h"
#include "test_files_support.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

std::mutex ReceivedLock;
std::condition_variable ReceivedMore;
std::vector<uint8_t> Received;
std::atomic<int> SlowFirstBytes{0};

void CollectByte(uint8_t Byte)
{
    // Bytes that arrive meanwhile must wait in the driver, not be lost.
    if (SlowFirstBytes > 0) {
        --SlowFirstBytes;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    {
        std::lock_guard<std::mutex> Guard(ReceivedLock);
        Received.push_back(Byte);
    }
    ReceivedMore.notify_all();
}

void ClearReceived()
{
    std::lock_guard<std::mutex> Guard(ReceivedLock);
    Received.clear();
}

// What has arrived once Count bytes are there, or after the time-out.
std::vector<uint8_t> WaitReceived(size_t Count, int TimeOutMs = 3000)
{
    std::unique_lock<std::mutex> Guard(ReceivedLock);
    ReceivedMore.wait_for(Guard, std::chrono::milliseconds(TimeOutMs), [&] { return Received.size() >= Count; });
    return Received;
}

std::vector<uint8_t> Framed(std::vector<uint8_t> Content)
{
    uint8_t Sum = 0;
    for (const uint8_t B : Content)
        Sum = static_cast<uint8_t>(Sum + B);
    Content.push_back(static_cast<uint8_t>(-Sum));
    return Content;
}

void SetUpComm(TSerialComm &Comm, int32_t Port, int32_t BaudRate = 115200)
{
    SetRunLineSettings(Comm);
    Comm.Port = Port;
    Comm.BaudRate = BaudRate;
    Comm.OnByte = CollectByte;
}

// Wine keeps no record of the modem-line control and lets a second handle
// open a COM port; Windows' serial driver does both.
bool UnderWine()
{
    const HMODULE Ntdll = GetModuleHandleA("ntdll.dll");
    return Ntdll != nullptr && GetProcAddress(Ntdll, "wine_get_version") != nullptr;
}

int32_t DevicePort()
{
    const char *Text = std::getenv("TW_TEST_COM");
    return Text == nullptr ? 0 : std::atoi(Text);
}

bool Send(TSerialComm &Comm, const std::vector<uint8_t> &Frame)
{
    return Comm.Write(Frame.data(), static_cast<int32_t>(Frame.size()));
}

// A version request answered by the simulator's version 1.2.3.
void ExpectVersionReply(TSerialComm &Comm)
{
    ClearReceived();
    ASSERT_TRUE(Send(Comm, Framed({0x01})));
    EXPECT_EQ(WaitReceived(4), Framed({1, 2, 3}));
}

struct TRefusedRow {
    const char *Case;
    int32_t Port, BaudRate, Priority;
};

const TRefusedRow RefusedRows[] = {
    {"NoPort", 0, 115200, 1},        {"NegativePort", -1, 115200, 1}, {"NoSpeed", 3, 0, 1},
    {"PriorityTooHigh", 3, 115200, 4}, {"PriorityTooLow", 3, 115200, -4}, {"PortNobodyMapped", 250, 115200, 1},
};

class SerialOpenRefused : public ::testing::TestWithParam<TRefusedRow> {};

TEST_P(SerialOpenRefused, KeepsNothing)
{
    const TRefusedRow &Row = GetParam();
    TSerialComm Comm;
    SetUpComm(Comm, Row.Port, Row.BaudRate);
    Comm.Priority = Row.Priority;
    EXPECT_FALSE(Comm.Open());
    EXPECT_EQ(Comm.Handle, nullptr);
    EXPECT_EQ(Comm.WriteBuffer, nullptr);
    EXPECT_EQ(Comm.Thread, nullptr);
    EXPECT_FALSE(Comm.Close());
    const uint8_t Byte = 0x01;
    EXPECT_FALSE(Comm.Write(&Byte, 1));
}

INSTANTIATE_TEST_SUITE_P(Win32, SerialOpenRefused, ::testing::ValuesIn(RefusedRows),
                         [](const auto &Info) { return std::string(Info.param.Case); });

// A disk file is no COM port: refused, and not held open afterwards.
TEST(Win32Serial, DiskFileIsRefusedAndReleased)
{
    TScratchDir Dir;
    const std::string Path = Dir / "COMfile";
    PutFile(Path, TBytes(4, 0));
    TSerialComm Comm;
    SetUpComm(Comm, 1);
    Comm.DevicePath = Path;
    EXPECT_FALSE(Comm.Open());
    EXPECT_EQ(Comm.Handle, nullptr);
    const HANDLE Again = CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(Again, INVALID_HANDLE_VALUE) << "the refused open kept the file";
    if (Again != INVALID_HANDLE_VALUE)
        CloseHandle(Again);
}

class Win32SerialDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        Port = DevicePort();
        if (Port < 1)
            GTEST_SKIP() << "TW_TEST_COM names no COM port with the simulator behind it";
        SlowFirstBytes = 0;
        ClearReceived();
    }
    int32_t Port = 0;
};

struct TLineRow {
    int32_t BaudRate;
    DWORD WriteMultiplier;
};

// The line as the port reports it after Open: raw 8N1, no flow control,
// reads that wait, and one ten-bit character plus a millisecond per byte written.
TEST_F(Win32SerialDevice, LineSettingsAndTimeOuts)
{
    const TLineRow Rows[] = {{115200, 1}, {57600, 1}, {9600, 2}, {1200, 9}};
    for (const TLineRow &Row : Rows) {
        TSerialComm Comm;
        SetUpComm(Comm, Port, Row.BaudRate);
        ASSERT_TRUE(Comm.Open()) << Row.BaudRate;
        DCB Dcb = {};
        Dcb.DCBlength = sizeof Dcb;
        ASSERT_TRUE(GetCommState(Comm.Handle->Port, &Dcb));
        EXPECT_EQ(Dcb.BaudRate, static_cast<DWORD>(Row.BaudRate));
        EXPECT_EQ(Dcb.ByteSize, 8);
        EXPECT_EQ(Dcb.Parity, NOPARITY);
        EXPECT_EQ(Dcb.StopBits, ONESTOPBIT);
        EXPECT_EQ(Dcb.fBinary, 1u);
        EXPECT_EQ(Dcb.fParity, 0u);
        EXPECT_EQ(Dcb.fOutxCtsFlow + Dcb.fOutxDsrFlow + Dcb.fOutX + Dcb.fInX, 0u);
        if (!UnderWine()) {
            EXPECT_EQ(Dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
            EXPECT_EQ(Dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
        }
        COMMTIMEOUTS Timeouts = {};
        ASSERT_TRUE(GetCommTimeouts(Comm.Handle->Port, &Timeouts));
        EXPECT_EQ(Timeouts.ReadIntervalTimeout, 0u);
        EXPECT_EQ(Timeouts.ReadTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(Timeouts.ReadTotalTimeoutConstant, 0u);
        EXPECT_EQ(Timeouts.WriteTotalTimeoutMultiplier, Row.WriteMultiplier) << Row.BaudRate;
        EXPECT_EQ(Timeouts.WriteTotalTimeoutConstant, 0u);
        EXPECT_TRUE(Comm.Close());
    }
}

// Written blocks come back in order, byte by byte, even while OnByte is slow.
TEST_F(Win32SerialDevice, RepliesArriveWholeAndInOrder)
{
    TSerialComm Comm;
    SetUpComm(Comm, Port);
    ASSERT_TRUE(Comm.Open());
    ExpectVersionReply(Comm);

    std::vector<uint8_t> Block(32);
    for (size_t I = 0; I < Block.size(); ++I)
        Block[I] = static_cast<uint8_t>(0xA0 + I * 7);
    std::vector<uint8_t> Write = {0x03, 0x01, 0x20, 0x20};
    Write.insert(Write.end(), Block.begin(), Block.end());
    ClearReceived();
    ASSERT_TRUE(Send(Comm, Framed(Write)));
    EXPECT_EQ(WaitReceived(4), Framed({0x03, 0x01, 0x20}));

    std::vector<uint8_t> Expected = {0x02, 0x01, 0x20};
    Expected.insert(Expected.end(), Block.begin(), Block.end());
    Expected = Framed(Expected);
    for (const int Slow : {0, 3}) {
        ClearReceived();
        SlowFirstBytes = Slow;
        ASSERT_TRUE(Send(Comm, Framed({0x02, 0x01, 0x20, 0x20})));
        EXPECT_EQ(WaitReceived(Expected.size()), Expected) << "slow OnByte calls: " << Slow;
    }
    EXPECT_TRUE(Comm.Close());
}

TEST_F(Win32SerialDevice, OpenCloseOrder)
{
    TSerialComm Comm;
    SetUpComm(Comm, Port);
    ASSERT_TRUE(Comm.Open());
    TSerialPortImpl *const First = Comm.Handle;

    EXPECT_FALSE(Comm.Open()) << "a second Open of an open port";
    EXPECT_EQ(Comm.Handle, First);
    TSerialComm Other;
    SetUpComm(Other, Port);
    if (!UnderWine()) {
        EXPECT_FALSE(Other.Open()) << "the port is opened exclusively";
    }

    const uint8_t Byte = 0x01;
    EXPECT_FALSE(Comm.Write(&Byte, 0));
    EXPECT_FALSE(Comm.Write(nullptr, 2));
    ExpectVersionReply(Comm); // nothing stray went out before it

    EXPECT_TRUE(Comm.Close());
    EXPECT_FALSE(Comm.Close());
    EXPECT_EQ(Comm.Handle, nullptr);
    EXPECT_EQ(Comm.WriteBuffer, nullptr);

    // Closed for good: another object may open it, and this one again after it.
    ASSERT_TRUE(Other.Open());
    ExpectVersionReply(Other);
    EXPECT_TRUE(Other.Close());
    ASSERT_TRUE(Comm.Open());
    ExpectVersionReply(Comm);
}

// A run's 10 ms quiet ticks need the 1 ms system timer for as long as its port is open.
TEST_F(Win32SerialDevice, OpenPortHoldsTheFineTimer)
{
    TSerialComm Comm;
    SetUpComm(Comm, Port);
    ASSERT_TRUE(Comm.Open());
    EXPECT_TRUE(Comm.Handle->Timer.Raised());
    ExpectVersionReply(Comm);
    EXPECT_TRUE(Comm.Close());
}

} // namespace
