// A child run's process and its channel. The station starts trackwarden-cli,
// found beside the program it runs in, in the CLI's hidden child mode, and
// gives it pipes it creates and names on the command line, with a random
// token; the child refuses to run without them. Records go both ways on
// them (UChildProtocol.h); the child's stdout and stderr come back as text.
// Backends: UChildProcess_posix.cpp, UChildProcess_win32.cpp.
#pragma once

#include "UChildProtocol.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// How a child process ended: its exit status, or the signal that ended it.
struct TChildEnd {
    bool Signalled = false;
    int Code = 0;
};

// What a station needs of one child run: a process, or in tests a fake.
class TRunChild {
public:
    virtual ~TRunChild() = default;
    // Onto the child's channel; false when it is gone. Never waits for the child.
    virtual bool Send(const std::string &Bytes) = 0;
    // Block until bytes come; 0 at the end. Records, and the child's stdout and stderr.
    virtual size_t ReadRecords(char *Buffer, size_t Size) = 0;
    virtual size_t ReadText(char *Buffer, size_t Size) = 0;
    // Blocks until the child has ended.
    virtual TChildEnd Wait() = 0;
    // Ends it at once; from any thread, before or after Wait.
    virtual void Kill() = 0;
};

class TChildLauncher {
public:
    virtual ~TChildLauncher() = default;
    // A child that will take its Start record with Token; null, and why in Error, when it cannot start.
    virtual std::unique_ptr<TRunChild> Launch(const std::string &Token, std::string &Error) = 0;
};

// trackwarden-cli (.exe on Windows) beside the program this process runs:
// a window using the engine starts the CLI, never copies of itself.
std::string ChildProgram();

class TProcessLauncher : public TChildLauncher {
public:
    explicit TProcessLauncher(std::string Program = ChildProgram()) : Program(std::move(Program)) {}
    std::unique_ptr<TRunChild> Launch(const std::string &Token, std::string &Error) override;

private:
    std::string Program;
};

// trackwarden-cli __child DOWN UP TOKEN: the hidden mode's word.
extern const char *const ChildModeWord;

// 128 random bits as hex digits.
std::string NewChildToken();

struct TChildEnds;

// The child's end of the channel, opened from its command line.
class TChildChannel {
public:
    TChildChannel() = default;
    ~TChildChannel();
    TChildChannel(const TChildChannel &) = delete;
    TChildChannel &operator=(const TChildChannel &) = delete;

    // Down and Up as the command line names them (descriptors, or handles on
    // Windows). Both must be pipes and the first record down a Start with
    // Token; otherwise false, with the reason in Error.
    bool Open(const std::string &Down, const std::string &Up, const std::string &Token, TChildJob &Job,
              std::string &Error);
    // A record up to the station; from any thread, one whole record at a time.
    bool Send(const TChildRecord &Record);
    // OnStop is called once, on a thread of the channel, when the station asks
    // for a stop or its end of the channel closes: the station has gone.
    void WatchParent(std::function<void()> OnStop);

private:
    // Shared with the watcher, which may still wait on the channel as the process ends.
    struct TState {
        TChildEnds *Ends = nullptr;
        std::mutex SendLock;
        TChildRecordReader Reader;
        ~TState();
    };
    std::shared_ptr<TState> State = std::make_shared<TState>();
    std::thread Watcher;
};
