// Helpers of the link tests: a program folder in /tmp, the simulator as a
// child process behind its pseudo-terminal, and a front end that records.
#pragma once

#include "UDecls.h"
#include "UProcs.h"
#include "URun.h"
#include "UFrames.h"

#include "test_lines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

// A program folder with Sys/ in it, removed at the end.
class TProgramFolder {
public:
    TProgramFolder()
    {
        char Template[] = "/tmp/tw-link-XXXXXX";
        const char *Made = mkdtemp(Template);
        if (Made == nullptr)
            throw std::runtime_error("mkdtemp failed");
        Path = std::string(Made) + "/";
        mkdir((Path + "Sys").c_str(), 0755);
    }
    ~TProgramFolder()
    {
        const std::string Command = "rm -rf '" + Path + "'";
        if (std::system(Command.c_str()) != 0)
            std::fprintf(stderr, "cannot remove %s\n", Path.c_str());
    }
    std::string Path; // with its trailing separator
};

// trackwarden-sim, linked as Link; stopped (and its memory saved) by Stop().
class TSimProcess {
public:
    TSimProcess(const std::string &Link, const std::vector<std::string> &Options)
    {
        // Without a link, Options name the port.
        std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/trackwarden-sim"};
        if (!Link.empty())
            Args.insert(Args.end(), {"--link", Link});
        Args.insert(Args.end(), Options.begin(), Options.end());
        std::vector<char *> Argv;
        for (std::string &A : Args)
            Argv.push_back(A.data());
        Argv.push_back(nullptr);
        int Out[2];
        if (pipe(Out) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
        posix_spawn_file_actions_addclose(&Actions, Out[0]);
        const int Failed = posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
        posix_spawn_file_actions_destroy(&Actions);
        close(Out[1]);
        if (Failed != 0) {
            close(Out[0]);
            throw std::runtime_error("cannot start " + Args[0]);
        }
        // The ready line says the link is in place.
        FILE *Stream = fdopen(Out[0], "r");
        char Line[512];
        Ready = std::fgets(Line, sizeof Line, Stream) != nullptr && std::strstr(Line, "listening") != nullptr;
        std::fclose(Stream);
    }
    ~TSimProcess() { Stop(); }

    // Exit status, or -1 when it did not exit of its own accord.
    int Stop()
    {
        if (Pid <= 0)
            return Status;
        kill(Pid, SIGTERM);
        int Raw = 0;
        waitpid(Pid, &Raw, 0);
        Pid = 0;
        Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
        return Status;
    }

    bool Ready = false;

private:
    pid_t Pid = 0;
    int Status = -1;
};

struct TProgramResult {
    int Status = -1; // exit status, -1 when it did not exit normally
    std::string Out;
    std::string Err;
};

// Runs a program of bin/ to its end with stdout and stderr captured in files.
inline TProgramResult RunProgram(const std::string &Name, const std::vector<std::string> &Arguments,
                                 const std::string &Scratch)
{
    std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/" + Name};
    Args.insert(Args.end(), Arguments.begin(), Arguments.end());
    std::vector<char *> Argv;
    for (std::string &A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    const std::string OutName = Scratch + "out.txt", ErrName = Scratch + "err.txt";
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 1, OutName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t Pid = 0;
    TProgramResult Result;
    const int Failed = posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Failed != 0)
        return Result;
    int Raw = 0;
    waitpid(Pid, &Raw, 0);
    Result.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    std::ifstream Out(OutName), Err(ErrName);
    Result.Out.assign(std::istreambuf_iterator<char>(Out), {});
    Result.Err.assign(std::istreambuf_iterator<char>(Err), {});
    return Result;
}

inline double ProcessCpuSeconds()
{
    rusage Usage;
    getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

// Records what a run shows, as the window would; ticks with a TTicker while a run lasts.
class TRecordingFrontEnd : public TRunFrontEnd {
public:
    struct TEntry {
        char Kind; // 'L' line, 'P' progress, 'F' run finished
        std::string Line;
        int32_t Bytes = 0;
    };

    int32_t Port = 0;
    std::string DevicePath;
    TRunOptions Options;
    std::vector<std::string> Preparation;
    std::vector<std::string> SettingsErrors;
    int BeginRuns = 0;
    bool ButtonsEnabled = true;

    void ClearLog() override { Preparation.clear(); }
    void AppendLine(const std::string &Line, bool) override { Preparation.push_back(Line); }
    void TakeSettings() override {}
    void ShowSettingsError(const std::string &Text) override { SettingsErrors.push_back(Text); }
    int32_t ChosenPort() override { return Port; }
    std::string ChosenDevicePath() override { return DevicePath; }
    TRunOptions ChosenRunOptions() override { return Options; }
    void BeginRun() override
    {
        ++BeginRuns;
        ButtonsEnabled = false;
        Ticker = std::make_unique<TTicker>();
    }

    void ShowLine(const std::string &Line) override { Add({'L', Line}); }
    void ShowProgress(int32_t Bytes) override { Add({'P', {}, Bytes}); }
    // Called on the worker; what the window does on its own thread happens in Finish.
    void RunFinished() override { Add({'F', {}}); }
    void ShowStatus(const TRunStatus &Status) override
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Statuses.push_back(Status);
    }
    void ShowOutcome(const TRunOutcome &Given) override
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Outcome = Given;
        ++Outcomes;
    }

    // Runs to the end; the ticker stops with it.
    void Finish()
    {
        WaitRunEnd();
        Ticker.reset();
        if (Finishes() > 0) {
            ButtonsEnabled = true;
            RunInProgress = false;
        }
    }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> Out;
        for (const TEntry &E : Entries)
            if (E.Kind == 'L')
                Out.push_back(E.Line);
        return Out;
    }
    std::vector<int32_t> Progress() const
    {
        std::vector<int32_t> Out;
        for (const TEntry &E : Entries)
            if (E.Kind == 'P')
                Out.push_back(E.Bytes);
        return Out;
    }
    int Finishes() const
    {
        int Count = 0;
        for (const TEntry &E : Entries)
            Count += E.Kind == 'F';
        return Count;
    }
    bool FinishedLast() const { return !Entries.empty() && Entries.back().Kind == 'F'; }

    std::vector<TEntry> Entries;
    std::vector<TRunStatus> Statuses;
    TRunOutcome Outcome;
    int Outcomes = 0;

private:
    void Add(TEntry Entry)
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Entries.push_back(std::move(Entry));
    }
    std::mutex Lock;
    std::unique_ptr<TTicker> Ticker;
};

// One pass's progress: 0, 32, ..., 8160 at the blocks and 8192 at the end.
inline std::vector<int32_t> PassProgress()
{
    std::vector<int32_t> Out;
    for (int32_t Bytes = 0; Bytes <= 8192; Bytes += 32)
        Out.push_back(Bytes);
    return Out;
}

// A table of run rows, each starting from a new default set in a program
// folder of its own.
template <typename TRow>
class TRunRowTest : public ::testing::TestWithParam<TRow> {
protected:
    void SetUp() override
    {
        SetDefaultSettings();
        ProgramDir.Assign(Folder.Path);
        RunInProgress = false;
    }
    TProgramFolder Folder;
};
