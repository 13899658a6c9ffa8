// Win32 binding of the serial port: overlapped CreateFileA on COM n, one-byte
// overlapped reads and communication-event waits on the receive thread.
#include "USerialComm_win32.h"

#include <mmsystem.h>

#include <cstddef>
#include <cstring>

static_assert(sizeof(DCB) == 28, "the device-control block is set with length 28");
static_assert(offsetof(DCB, wReserved) == 12, "the flag word is the DWORD at offset 8");

namespace {

constexpr size_t DcbFlagsOffset = 8;
constexpr ULONGLONG AbandonTimeoutMs = 1000;

// ReadFile or WaitCommEvent either started (pending or done at once) or failed outright.
bool Started(BOOL Result)
{
    return Result || GetLastError() == ERROR_IO_PENDING;
}

bool StartRead(TSerialPortImpl &P)
{
    P.BytesRead = 0;
    return Started(ReadFile(P.Port, &P.ReadByte, 1, &P.BytesRead, &P.ReadOverlapped));
}

bool Settled(OVERLAPPED &Op, ULONGLONG Deadline)
{
    while (!HasOverlappedIoCompleted(&Op)) {
        if (GetTickCount64() >= Deadline)
            return false;
        Sleep(1);
    }
    return true;
}

// Cancels an operation still in progress and waits, for a bounded time,
// until the system lets go of its OVERLAPPED and buffer. Wine cannot cancel
// a write to a hung-up line: such a port is marked stuck.
bool Abandon(TSerialPortImpl &P, OVERLAPPED &Op)
{
    if (HasOverlappedIoCompleted(&Op))
        return true;
    CancelIoEx(P.Port, &Op);
    if (Settled(Op, GetTickCount64() + AbandonTimeoutMs))
        return true;
    P.Stuck = true;
    return false;
}

// A write still being sent when the next is asked for (the run's pacing
// prevents it) is given the time its bytes may take, then cancelled, so
// that its OVERLAPPED is never reused while in flight.
bool FinishPreviousWrite(TSerialPortImpl &P, int32_t TimeoutPerByteMs)
{
    const ULONGLONG Deadline = GetTickCount64() + static_cast<ULONGLONG>(TimeoutPerByteMs) * FrameBufferSize + 100;
    return !P.Stuck && (Settled(P.WriteOverlapped, Deadline) || Abandon(P, P.WriteOverlapped));
}

} // namespace

void TTimerResolution::Raise()
{
    if (!IsRaised)
        IsRaised = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void TTimerResolution::Restore()
{
    if (IsRaised)
        timeEndPeriod(1);
    IsRaised = false;
}

int Win32ThreadPriority(int32_t Priority)
{
    static const int Values[7] = {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
                                  THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                  THREAD_PRIORITY_TIME_CRITICAL};
    return Priority >= -3 && Priority <= 3 ? Values[Priority + 3] : THREAD_PRIORITY_NORMAL;
}

// "CreateFile: Access is denied. (5)": the system's own text and number.
std::string SystemError(const char *Call)
{
    const DWORD Code = GetLastError();
    char Text[512] = {};
    DWORD Length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Code, 0, Text,
                                  sizeof Text, nullptr);
    while (Length > 0 && (Text[Length - 1] == '\n' || Text[Length - 1] == '\r' || Text[Length - 1] == ' '))
        Text[--Length] = '\0';
    return std::string(Call) + ": " + (Length > 0 ? Text : "?") + " (" + std::to_string(Code) + ")";
}

// A console is not opened as a COM port here: SetCommState refuses it.
bool IsControllingTerminal(const std::string &)
{
    return false;
}

std::string TSerialComm::DeviceName(bool UseDevicePath) const
{
    if (!DevicePath.empty())
        return UseDevicePath ? DevicePath : std::string();
    return (UseDevicePath ? "\\\\.\\COM" : "COM") + std::to_string(Port);
}

void TSerialComm::OpenDevice(bool UseDevicePath)
{
    Handle = nullptr;
    const std::string Name = DeviceName(UseDevicePath);
    if (Name.empty())
        return;
    const HANDLE Port = CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (Port == nullptr || Port == INVALID_HANDLE_VALUE) {
        Error = Name + ": " + SystemError("CreateFile");
        return;
    }
    if (GetFileType(Port) != FILE_TYPE_CHAR) {
        Error = Name + ": to nie jest urządzenie znakowe";
        CloseHandle(Port);
        return;
    }
    // The events exist before the receive thread does, so that a stop can
    // be asked for at any moment of its start.
    auto *P = new TSerialPortImpl;
    P->Port = Port;
    for (HANDLE &Event : P->WaitHandles) {
        Event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (Event == nullptr) {
            Error = Name + ": " + SystemError("CreateEvent");
            FreePortHandle(P);
            return;
        }
    }
    P->Timer.Raise();
    Handle = P;
}

bool ConfigurePort(TSerialComm &Comm)
{
    const HANDLE Port = Comm.Handle->Port;
    COMMPROP Properties;
    if (!GetCommProperties(Port, &Properties)) {
        Comm.Error = SystemError("GetCommProperties");
        return false;
    }

    DCB Dcb;
    std::memset(&Dcb, 0, sizeof Dcb);
    Dcb.DCBlength = 28;
    if (!GetCommState(Port, &Dcb)) {
        Comm.Error = SystemError("GetCommState");
        return false;
    }
    Dcb.DCBlength = 28;
    Dcb.BaudRate = static_cast<DWORD>(Comm.BaudRate);
    Dcb.ByteSize = static_cast<BYTE>(Comm.ByteSize & 0xFF);
    Dcb.Parity = static_cast<BYTE>(Comm.Parity & 0xFF);
    Dcb.StopBits = static_cast<BYTE>(Comm.StopBits & 0xFF);
    const uint32_t Flags = Comm.Flags | 1;
    std::memcpy(reinterpret_cast<unsigned char *>(&Dcb) + DcbFlagsOffset, &Flags, sizeof Flags);
    if (!SetCommState(Port, &Dcb)) {
        Comm.Error = SystemError("SetCommState");
        return false;
    }

    COMMTIMEOUTS Timeouts;
    if (!GetCommTimeouts(Port, &Timeouts)) {
        Comm.Error = SystemError("GetCommTimeouts");
        return false;
    }
    Timeouts.ReadIntervalTimeout = 0;
    Timeouts.ReadTotalTimeoutMultiplier = 0;
    Timeouts.ReadTotalTimeoutConstant = 0;
    Timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(WriteTimeoutPerByte(Comm.BaudRate));
    Timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(Port, &Timeouts)) {
        Comm.Error = SystemError("SetCommTimeouts");
        return false;
    }
    if (!SetCommMask(Port, 0)) {
        Comm.Error = SystemError("SetCommMask");
        return false;
    }
    return true;
}

void ClosePortHandle(TPortHandle Handle)
{
    if (Handle == nullptr || Handle->Port == INVALID_HANDLE_VALUE)
        return;
    PurgeComm(Handle->Port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    Abandon(*Handle, Handle->ReadOverlapped);
    Abandon(*Handle, Handle->WriteOverlapped);
    Abandon(*Handle, Handle->CommOverlapped);
    CloseHandle(Handle->Port);
    Handle->Port = INVALID_HANDLE_VALUE;
    Handle->Timer.Restore();
}

void FreePortHandle(TPortHandle Handle)
{
    if (Handle == nullptr)
        return;
    ClosePortHandle(Handle);
    // An operation the system never gave back may still complete into the
    // structure and set its event: both are left to it.
    if (Handle->Stuck)
        return;
    for (HANDLE Event : Handle->WaitHandles)
        if (Event != nullptr)
            CloseHandle(Event);
    delete Handle;
}

void StopReceiveThread(TPortHandle Handle)
{
    SetEvent(Handle->WaitHandles[WaitStop]);
}

// Starts the write and returns at once; the write time-outs of the port
// bound its transmission, and its completion only resets the write-done event.
// Refused only while an earlier write cannot be got rid of.
bool WritePort(TPortHandle Handle, const uint8_t *Data, int32_t Count, int32_t TimeoutPerByteMs)
{
    TSerialPortImpl &P = *Handle;
    if (!FinishPreviousWrite(P, TimeoutPerByteMs))
        return false;
    std::memset(&P.WriteOverlapped, 0, sizeof P.WriteOverlapped);
    P.WriteOverlapped.hEvent = P.WaitHandles[WaitWrite];
    P.BytesWritten = 0;
    WriteFile(P.Port, Data, static_cast<DWORD>(Count), &P.BytesWritten, &P.WriteOverlapped);
    return true;
}

void SetReceivePriority(int32_t Priority)
{
    SetThreadPriority(GetCurrentThread(), Win32ThreadPriority(Priority));
}

void TSerialCommThread::Execute()
{
    TSerialPortImpl &P = *Handle;
    P.ReadOverlapped = {};
    P.WriteOverlapped = {};
    P.CommOverlapped = {};
    P.ReadOverlapped.hEvent = P.WaitHandles[WaitRead];
    P.WriteOverlapped.hEvent = P.WaitHandles[WaitWrite];
    P.CommOverlapped.hEvent = P.WaitHandles[WaitComm];

    // A port whose first read cannot even be started receives nothing: Open fails.
    if (!StartRead(P)) {
        SetState(Failed);
        return;
    }
    // With the empty mask there is nothing to wait for; a wait that ends at
    // once or with no event is not started again, or the loop would spin on it.
    WaitCommEvent(P.Port, &P.EventMask, &P.CommOverlapped);
    Running = true;
    SetState(Reading);

    for (;;) {
        P.WaitResult = WaitForMultipleObjects(WaitHandleCount, P.WaitHandles, FALSE, INFINITE);
        if (P.WaitResult == WAIT_OBJECT_0 + WaitRead) {
            DWORD Count = 0;
            const bool Ok = GetOverlappedResult(P.Port, &P.ReadOverlapped, &Count, FALSE);
            const uint8_t Byte = P.ReadByte;
            // A failed read (an unplugged adapter) would fail again at once:
            // reading stops and only the stop is awaited.
            if (!Ok || !StartRead(P))
                ResetEvent(P.WaitHandles[WaitRead]);
            if (Ok && Count == 1 && OnByte != nullptr)
                OnByte(Byte);
        } else if (P.WaitResult == WAIT_OBJECT_0 + WaitWrite) {
            ResetEvent(P.WaitHandles[WaitWrite]);
        } else if (P.WaitResult == WAIT_OBJECT_0 + WaitComm) {
            // Wine ends a wait on the empty mask every few milliseconds with
            // no event in it; such a wait is not started again.
            DWORD Unused = 0;
            const bool Ok = GetOverlappedResult(P.Port, &P.CommOverlapped, &Unused, FALSE);
            if (!Ok || P.EventMask == 0 || WaitCommEvent(P.Port, &P.EventMask, &P.CommOverlapped) ||
                GetLastError() != ERROR_IO_PENDING)
                ResetEvent(P.WaitHandles[WaitComm]);
        } else if (P.WaitResult == WAIT_OBJECT_0 + WaitStop) {
            break;
        } else if (P.WaitResult == WAIT_FAILED) {
            // Waiting again at once would spin; the stop alone is still worth waiting for.
            WaitForSingleObject(P.WaitHandles[WaitStop], INFINITE);
            break;
        }
    }

    ResetEvent(P.WaitHandles[WaitStop]);
    ClosePortHandle(Handle);
    Running = false;
    SetState(Stopped);
}
