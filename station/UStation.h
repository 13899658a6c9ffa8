// Runs of one mode on many ports at once, each in a child process of its
// own (each is a single run, so the run's globals stay one per process),
// and what each came to as a record. The front end (the CLI's terminal
// drawing, the station window) implements TStationHost.
#pragma once

#include "UChildProcess.h"
#include "URunRecord.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What one port's run programs or compares, and where a read saves.
// What read saved and what the base gave, or what a comparison found,
// comes as TNoteKind::Report after the run's log.
struct TRunSet {
    std::string Bytes;   // program, compare: the settings record, 13676 bytes
    std::string File;    // the set as the records name it (read: the set it saves)
    std::string UnitKey; // the unit this set is for, where a table of units gave it
    std::string OutPath, ImagePath; // read: this port's set and image files
};

// Asked once per port, on the station's thread, right before its run starts.
// False refuses that run, with the reason, before the device is touched (a
// table of units that has run out): the port's record says "start".
using TSetProvider = std::function<bool(size_t Port, const std::string &Name, TRunSet &Set, std::string &Refusal)>;

struct TStationJob {
    int32_t Mode = RunModeCompare; // RunModeProgram, RunModeCompare or RunModeRead
    TRunOptions Options;           // every port's run is timed so
    std::vector<std::string> Ports;
    TSetProvider SetFor;
    // Read: the set what the device does not hold comes from; empty for a new default set.
    std::string BaseBytes;
    // Each port's run is stopped this long after its start, and ended at
    // once if it has not stopped DeadlineGrace later. Zero: no deadline.
    std::chrono::milliseconds Deadline{0};
};

constexpr std::chrono::milliseconds DeadlineGrace{10000};

// What the station reports. Every call comes on the station's own thread,
// one at a time, never two at once; the calls of one port come in the
// order of its run, and PortFinished is its last. A window forwards them to
// its own thread (queued calls); the station does not wait for the window
// but for the call's return.
class TStationHost {
public:
    virtual ~TStationHost() = default;
    // A line of the port's log, exactly as a single run logs it (UTF-8).
    virtual void PortLine(size_t Port, const std::string &Line) = 0;
    // Words beside the log, a line at a time (UTF-8).
    virtual void PortNote(size_t Port, TNoteKind Kind, const std::string &Text) = 0;
    // Phase, progress and tries, at every progress, phase and failed try.
    virtual void PortStatus(size_t Port, const TRunStatus &Status) = 0;
    // A detailed comparison's differences, each also said as a report note.
    virtual void PortDifference(size_t, const TSettingDifference &) {}
    virtual void PortFinished(size_t Port, const TPortRecord &Record) = 0;
    // The unit of a units table the port's run is for, right before it starts.
    virtual void PortUnit(size_t, const std::string &) {}
};

// What refuses a job before anything starts; each says why in Error.
// Two names of one device (COM1 and the device its link points to) would
// have two runs fight over it.
bool PortsApart(const std::vector<std::string> &Ports, std::string &Error);
// A read on several ports: OutFolder (and ImageFolder, when given) are
// folders, and each port's set (and image) gets a file of its own there,
// named after the port; two ports that would give one file name, apart
// from case too, are refused. Sets get File, OutPath and ImagePath. With a
// Stamp the names are <port>-<Stamp>.set and .img, so that every read of a
// port keeps its own files.
bool ReadFilesOfPorts(const std::vector<std::string> &Ports, const std::string &OutFolder,
                      const std::string &ImageFolder, std::vector<TRunSet> &Sets, std::string &Error,
                      const std::string &Stamp = {});
// The local date and time for file names: 20261209-141503.
std::string FileTimeStamp();

// Where the station's deadlines take the time from; tests give their own.
class TStationClock {
public:
    using TTime = std::chrono::steady_clock::time_point;
    virtual ~TStationClock() = default;
    virtual TTime Now() = 0;
};
TStationClock &SteadyClock();

class TStation {
public:
    TStation(TStationHost &Host, TChildLauncher &Launcher, TStationClock &Clock = SteadyClock());
    // Stops every run and waits for them.
    ~TStation();
    TStation(const TStation &) = delete;
    TStation &operator=(const TStation &) = delete;

    // Starts the station's thread, which starts the runs; returns at once. Once per station.
    void Start(TStationJob Job);
    // Asks a port's run, or every run, to stop at its next safe point; a run
    // not yet started does not start. From any thread (not a signal handler).
    void Stop(size_t Port);
    void StopAll();
    // Until every port has finished and the host's last call has returned.
    void Wait();

private:
    struct TPortRun;
    struct TEvent {
        enum TKind { Records, Text, RecordsEnded, TextEnded, Exited } Kind;
        size_t Port;
        std::string Bytes;
        TChildEnd End;
    };

    void Loop();
    void Launch(size_t Index);
    void Take(const TEvent &Event);
    void TakeRecords(size_t Index);
    void TakeText(size_t Index, bool AtEnd);
    void Watch();
    void Finish(size_t Index);
    void Push(TEvent Event);

    TStationHost &Host;
    TChildLauncher &Launcher;
    TStationClock &Clock;
    TStationJob Job;
    std::vector<std::unique_ptr<TPortRun>> Runs;
    std::thread Thread;

    std::mutex Lock; // guards what follows
    std::condition_variable Changed;
    std::deque<TEvent> Events;
    std::vector<bool> StopAsked;
    bool AllStopAsked = false;
};
