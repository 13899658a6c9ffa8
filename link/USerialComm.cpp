#include "USerialComm.h"

#include <cstdlib>
#include <cstring>

void TSerialCommThread::SetState(TState NewState)
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        State = NewState;
    }
    Changed.notify_all();
}

TSerialCommThread::TState TSerialCommThread::WaitStarted(int32_t TimeOutMs)
{
    std::unique_lock<std::mutex> Guard(Lock);
    Changed.wait_for(Guard, std::chrono::milliseconds(TimeOutMs), [this] { return State != Starting; });
    return State;
}

int32_t WriteTimeoutPerByte(int32_t BaudRate)
{
    return BaudRate > 0 ? static_cast<int32_t>(10000.0 / BaudRate) + 1 : 0;
}

TSerialComm::~TSerialComm()
{
    Close();
}

bool TSerialComm::Open()
{
    if (Handle != nullptr)
        return false;
    Error.clear();
    if (Port < 1) {
        Error = "brak portu";
        return false;
    }
    if (BaudRate <= 0 || Priority < -3 || Priority > 3) {
        Error = "złe ustawienia portu";
        return false;
    }
    WriteBuffer = nullptr;
    if (BufferSize > 0) {
        WriteBuffer = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(BufferSize)));
        if (WriteBuffer == nullptr) {
            Error = "malloc: brak pamięci";
            return false;
        }
    }
    std::string Name = DeviceName(true);
    OpenDevice(true);
    if (Handle == nullptr) {
        const std::string Other = DeviceName(false);
        if (!Other.empty())
            Name = Other;
        OpenDevice(false);
    }
    if (Handle == nullptr && Error.empty())
        Error = Name + ": brak urządzenia";
    bool Configured = false;
    if (Handle != nullptr) {
        // The backend names the call that failed; the name goes in front.
        Error.clear();
        Configured = ConfigurePort(*this);
        if (!Configured)
            Error = Name + ": " + Error;
    }
    if (!Configured) {
        if (Handle != nullptr) {
            ClosePortHandle(Handle);
            FreePortHandle(Handle);
            Handle = nullptr;
        }
        std::free(WriteBuffer);
        WriteBuffer = nullptr;
        return false;
    }

    Thread = new TSerialCommThread;
    Thread->Handle = Handle;
    Thread->OnByte = OnByte;
    Thread->Priority = Priority;
    Thread->Batching = Batching;
    TSerialCommThread *Receiver = Thread;
    Worker = std::thread([Receiver] {
        SetReceivePriority(Receiver->Priority);
        Receiver->Execute();
    });
    if (Thread->WaitStarted(ReceiveStartTimeoutMs) == TSerialCommThread::Reading) {
        Error.clear();
        return true;
    }
    Error = Name + ": odczyt z portu nie ruszył";

    // The first read never became pending: give up rather than wait forever.
    StopReceiveThread(Handle);
    Worker.join();
    ClosePortHandle(Handle);
    ReleaseOpening();
    return false;
}

bool TSerialComm::Close()
{
    if (Handle == nullptr)
        return false;
    StopReceiveThread(Handle);
    if (Worker.joinable())
        Worker.join();
    ReleaseOpening();
    return true;
}

// What one opening holds once its receive thread has ended.
void TSerialComm::ReleaseOpening()
{
    FreePortHandle(Handle);
    delete Thread;
    Thread = nullptr;
    Handle = nullptr;
    std::free(WriteBuffer);
    WriteBuffer = nullptr;
}

bool TSerialComm::Write(const uint8_t *Data, int32_t Count)
{
    if (Handle == nullptr || Data == nullptr || Count < 1 || WriteBuffer == nullptr || Count > BufferSize)
        return false;
    std::memcpy(WriteBuffer, Data, static_cast<size_t>(Count));
    return WritePort(Handle, WriteBuffer, Count, WriteTimeoutPerByte(BaudRate));
}

void TSerialComm::SetBatching(bool On)
{
    Batching = On;
    if (Thread != nullptr)
        Thread->Batching = On;
}

void SetRunLineSettings(TSerialComm &Comm)
{
    Comm.BaudRate = 115200;
    Comm.ByteSize = 8;
    Comm.Parity = 0;
    Comm.StopBits = 0;
    Comm.Flags = 1;
    Comm.Priority = 1;
    Comm.BufferSize = 256;
}
