// The serial port over a pseudo-terminal that the test holds itself.
#include "USerialComm.h"

#include "UDecls.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex ReceivedLock;
std::vector<uint8_t> Received;

void Collect(uint8_t Byte)
{
    std::lock_guard<std::mutex> Guard(ReceivedLock);
    Received.push_back(Byte);
}

size_t ReceivedSize()
{
    std::lock_guard<std::mutex> Guard(ReceivedLock);
    return Received.size();
}

struct TPty {
    TPty()
    {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        if (Master >= 0 && grantpt(Master) == 0 && unlockpt(Master) == 0)
            Slave = ptsname(Master);
    }
    ~TPty() { CloseMaster(); }
    void CloseMaster()
    {
        if (Master >= 0)
            close(Master);
        Master = -1;
    }
    // Reads what the port wrote, up to Count bytes, within a second.
    std::vector<uint8_t> Read(size_t Count)
    {
        std::vector<uint8_t> Out;
        const auto End = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (Out.size() < Count && std::chrono::steady_clock::now() < End) {
            pollfd In{Master, POLLIN, 0};
            if (poll(&In, 1, 50) > 0) {
                uint8_t Chunk[256];
                const ssize_t N = read(Master, Chunk, sizeof Chunk);
                if (N > 0)
                    Out.insert(Out.end(), Chunk, Chunk + N);
            }
        }
        return Out;
    }
    int Master = -1;
    std::string Slave;
};

void Configure(TSerialComm &Comm, const std::string &Path)
{
    SetRunLineSettings(Comm);
    Comm.Port = 1;
    Comm.DevicePath = Path;
    Comm.OnByte = Collect;
}

bool WaitFor(size_t Count)
{
    const auto End = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (ReceivedSize() < Count && std::chrono::steady_clock::now() < End)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return ReceivedSize() >= Count;
}

// CPU time of every thread of this process but the calling one, in clock ticks.
long OtherThreadsTicks()
{
    const std::string Self = std::to_string(gettid());
    long Ticks = 0;
    DIR *Tasks = opendir("/proc/self/task");
    while (dirent *Entry = readdir(Tasks)) {
        if (Entry->d_name[0] == '.' || Self == Entry->d_name)
            continue;
        std::ifstream Stat(std::string("/proc/self/task/") + Entry->d_name + "/stat");
        std::string Line;
        std::getline(Stat, Line);
        const size_t Close = Line.rfind(')');
        if (Close == std::string::npos)
            continue;
        std::vector<std::string> Fields;
        size_t Pos = Close + 2;
        while (Pos < Line.size()) {
            const size_t Next = Line.find(' ', Pos);
            Fields.push_back(Line.substr(Pos, Next - Pos));
            Pos = Next == std::string::npos ? Line.size() : Next + 1;
        }
        // Fields from the state on: utime and stime are the 12th and 13th.
        if (Fields.size() > 12)
            Ticks += std::atol(Fields[11].c_str()) + std::atol(Fields[12].c_str());
    }
    closedir(Tasks);
    return Ticks;
}

class SerialTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Pty.Slave.empty());
        std::lock_guard<std::mutex> Guard(ReceivedLock);
        Received.clear();
    }
    TPty Pty;
};

TEST_F(SerialTest, OpenWriteReceiveClose)
{
    TSerialComm Comm;
    Configure(Comm, Pty.Slave);
    ASSERT_TRUE(Comm.Open());
    EXPECT_TRUE(Comm.Thread->Running.load());
    EXPECT_FALSE(Comm.Open()); // already open: the open port stays as it is

    const uint8_t Frame[] = {0x5C, 0x69, 0x5C, 0x69, 0x0A, 0x0D, 0x11, 0x13, 0x00, 0xFF};
    ASSERT_TRUE(Comm.Write(Frame, sizeof Frame));
    // Raw: no newline translation, no flow-control characters eaten.
    EXPECT_EQ(Pty.Read(sizeof Frame), std::vector<uint8_t>(Frame, Frame + sizeof Frame));

    std::vector<uint8_t> Sent(3000);
    for (size_t I = 0; I < Sent.size(); ++I)
        Sent[I] = static_cast<uint8_t>(I * 31 + I / 256);
    for (size_t Done = 0; Done < Sent.size();) {
        const ssize_t N = write(Pty.Master, Sent.data() + Done, std::min<size_t>(100, Sent.size() - Done));
        ASSERT_GT(N, 0);
        Done += static_cast<size_t>(N);
    }
    ASSERT_TRUE(WaitFor(Sent.size()));
    {
        std::lock_guard<std::mutex> Guard(ReceivedLock);
        EXPECT_EQ(Received, Sent);
    }
    EXPECT_TRUE(Comm.Close());
    EXPECT_FALSE(Comm.Close());
    EXPECT_EQ(Comm.Thread, nullptr);
    // After Close the same object opens again.
    EXPECT_TRUE(Comm.Open());
    EXPECT_TRUE(Comm.Close());
}

TEST_F(SerialTest, RefusedArguments)
{
    struct TRow {
        const char *Name;
        void (*Change)(TSerialComm &);
    };
    const TRow Rows[] = {
        {"Port0", [](TSerialComm &C) { C.Port = 0; }},
        {"PortNegative", [](TSerialComm &C) { C.Port = -1; }},
        {"Baud0", [](TSerialComm &C) { C.BaudRate = 0; }},
        {"PriorityBelow", [](TSerialComm &C) { C.Priority = -4; }},
        {"PriorityAbove", [](TSerialComm &C) { C.Priority = 4; }},
        {"OddSpeed", [](TSerialComm &C) { C.BaudRate = 12345; }},
        {"Missing", [](TSerialComm &C) { C.DevicePath = "/nonexistent/tty"; }},
        {"NotATerminal", [](TSerialComm &C) { C.DevicePath = "/dev/null"; }},
    };
    for (const TRow &Row : Rows) {
        TSerialComm Comm;
        Configure(Comm, Pty.Slave);
        Row.Change(Comm);
        EXPECT_FALSE(Comm.Open()) << Row.Name;
        EXPECT_EQ(Comm.Handle, nullptr) << Row.Name;
        EXPECT_EQ(Comm.WriteBuffer, nullptr) << Row.Name;
        EXPECT_FALSE(Comm.Close()) << Row.Name;
    }
}

TEST_F(SerialTest, WritesThatAreRefused)
{
    TSerialComm Comm;
    Configure(Comm, Pty.Slave);
    const uint8_t Byte = 0x42;
    EXPECT_FALSE(Comm.Write(&Byte, 1)); // closed
    ASSERT_TRUE(Comm.Open());
    EXPECT_FALSE(Comm.Write(nullptr, 1));
    EXPECT_FALSE(Comm.Write(&Byte, 0));
    std::vector<uint8_t> Big(257, 1);
    EXPECT_FALSE(Comm.Write(Big.data(), 257));
    EXPECT_TRUE(Comm.Write(Big.data(), 256));
    EXPECT_EQ(Pty.Read(257).size(), 256u);
}

TEST_F(SerialTest, PortHeldByAnotherProgramDoesNotOpen)
{
    const int Other = open(Pty.Slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(Other, 0);
    ASSERT_EQ(flock(Other, LOCK_EX | LOCK_NB), 0);
    TSerialComm Comm;
    Configure(Comm, Pty.Slave);
    EXPECT_FALSE(Comm.Open());
    close(Other);
    EXPECT_TRUE(Comm.Open());
    // And while we hold it, nobody else gets the lock.
    const int Third = open(Pty.Slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (Third >= 0) {
        EXPECT_NE(flock(Third, LOCK_EX | LOCK_NB), 0);
        close(Third);
    }
}

TEST_F(SerialTest, HungUpPortCostsNoCpuUntilClosed)
{
    TSerialComm Comm;
    Configure(Comm, Pty.Slave);
    ASSERT_TRUE(Comm.Open());
    Pty.CloseMaster();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const long Before = OtherThreadsTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const long Spent = OtherThreadsTicks() - Before;
    // A spinning thread would take about 40 ticks of 10 ms here.
    EXPECT_LE(Spent, 3);
    const uint8_t Byte = 1;
    Comm.Write(&Byte, 1);
    EXPECT_TRUE(Comm.Close());
}

// What careful serial tools do: the port is left as it was found.
TEST_F(SerialTest, CloseGivesBackTheLineSettings)
{
    const int Held = open(Pty.Slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(Held, 0);
    termios Cooked;
    ASSERT_EQ(tcgetattr(Held, &Cooked), 0);
    cfsetispeed(&Cooked, B9600);
    cfsetospeed(&Cooked, B9600);
    Cooked.c_lflag |= ICANON | ECHO | ISIG;
    Cooked.c_oflag |= OPOST;
    ASSERT_EQ(tcsetattr(Held, TCSANOW, &Cooked), 0);
    ASSERT_EQ(tcgetattr(Held, &Cooked), 0);

    TSerialComm Comm;
    Configure(Comm, Pty.Slave);
    ASSERT_TRUE(Comm.Open());
    termios During;
    ASSERT_EQ(tcgetattr(Held, &During), 0);
    EXPECT_EQ(cfgetospeed(&During), static_cast<speed_t>(B115200));
    EXPECT_TRUE(Comm.Close());

    termios After;
    ASSERT_EQ(tcgetattr(Held, &After), 0);
    close(Held);
    EXPECT_EQ(cfgetospeed(&After), cfgetospeed(&Cooked));
    EXPECT_EQ(After.c_lflag, Cooked.c_lflag);
    EXPECT_EQ(After.c_oflag, Cooked.c_oflag);
    EXPECT_EQ(After.c_iflag, Cooked.c_iflag);
    EXPECT_EQ(After.c_cflag, Cooked.c_cflag);
}

// In a session whose controlling terminal is a pseudo-terminal: that
// terminal is no port by any name, another one is.
TEST(SerialTerminalTest, ControllingTerminalIsNoPort)
{
    TPty Own, Other;
    ASSERT_FALSE(Own.Slave.empty());
    ASSERT_FALSE(Other.Slave.empty());
    const pid_t Child = fork();
    if (Child == 0) {
        setsid();
        const int Tty = open(Own.Slave.c_str(), O_RDWR);
        if (Tty < 0 || ioctl(Tty, TIOCSCTTY, 0) != 0)
            _exit(100);
        int Faults = 0;
        Faults |= IsControllingTerminal(Own.Slave) ? 0 : 1;
        Faults |= IsControllingTerminal("/dev/tty") ? 0 : 2;
        Faults |= IsControllingTerminal(Other.Slave) ? 4 : 0;
        Faults |= IsControllingTerminal("/dev/null") ? 8 : 0;
        TSerialComm Comm;
        Configure(Comm, "/dev/tty");
        Faults |= Comm.Open() ? 16 : 0;
        Comm.Close();
        _exit(Faults);
    }
    int Raw = 0;
    waitpid(Child, &Raw, 0);
    ASSERT_TRUE(WIFEXITED(Raw));
    EXPECT_EQ(WEXITSTATUS(Raw), 0) << "1, 2: own terminal taken for a port; 4, 8: another refused; 16: opened";
}

TEST(SerialNameTest, ComNumbersAndTimeouts)
{
    char Template[] = "/tmp/tw-serial-XXXXXX";
    const std::string Folder = std::string(mkdtemp(Template)) + "/";
    mkdir((Folder + "Sys").c_str(), 0755);
    ProgramDir.Assign(Folder);
    TSerialComm Comm;
    Comm.Port = 3;
    EXPECT_EQ(Comm.DeviceName(true), "");
    EXPECT_EQ(Comm.DeviceName(false), "/dev/ttyS2");
    ASSERT_EQ(symlink("/dev/ttyUSB0", (Folder + "Sys/COM3").c_str()), 0);
    EXPECT_EQ(Comm.DeviceName(true), Folder + "Sys/COM3");
    EXPECT_EQ(Comm.DeviceName(false), "");
    Comm.Port = 12;
    EXPECT_EQ(Comm.DeviceName(false), "/dev/ttyS11");
    Comm.DevicePath = "/dev/ttyACM0";
    EXPECT_EQ(Comm.DeviceName(true), "/dev/ttyACM0");
    EXPECT_EQ(Comm.DeviceName(false), "");
    unlink((Folder + "Sys/COM3").c_str());
    rmdir((Folder + "Sys").c_str());
    rmdir(Folder.c_str());

    EXPECT_EQ(WriteTimeoutPerByte(115200), 1);
    EXPECT_EQ(WriteTimeoutPerByte(9600), 2);
    EXPECT_EQ(WriteTimeoutPerByte(1200), 9);
}

} // namespace
