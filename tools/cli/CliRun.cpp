// program / compare: the run of the window, with a front end of direct calls.
#include "CliCommands.h"
#include "CliTerminal.h"

#include "UFiles.h"
#include "UFrames.h"
#include "URun.h"
#include "URunLines.h"

#include <cctype>
#include <cstdio>
#include <memory>

namespace {

constexpr int32_t HighestComPort = 8;
constexpr int BarWidth = 40;

// The worker calls these on its own thread; nothing else runs meanwhile but
// the ticker, so no call needs a lock.
class TCliFrontEnd : public TRunFrontEnd {
public:
    TCliFrontEnd(int32_t Port, std::string DevicePath) : Port(Port), DevicePath(std::move(DevicePath)) {}

    void ClearLog() override {}
    // The preparation goes to stderr: stdout carries exactly the run's log.
    void AppendLine(const std::string &Line, bool) override { std::fprintf(stderr, "%s\n", Line.c_str()); }
    void TakeSettings() override {} // Settings already hold the set read from its file
    void ShowSettingsError(const std::string &Text) override { Complain(Text); }
    int32_t ChosenPort() override { return Port; }
    std::string ChosenDevicePath() override { return DevicePath; }
    void BeginRun() override { Ticker = std::make_unique<TTicker>(); }

    void ShowLine(const std::string &Line) override
    {
        ClearBar();
        std::fwrite(Line.data(), 1, Line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        LastLine = Line;
    }
    void ShowProgress(int32_t Bytes) override
    {
        if (!BarOnTerminal)
            return;
        const int Filled = static_cast<int>(static_cast<int64_t>(Bytes) * BarWidth / DeviceImageSize);
        std::fprintf(stderr, "\r[%s%s] %4d/%zu", std::string(static_cast<size_t>(Filled), '#').c_str(),
                     std::string(static_cast<size_t>(BarWidth - Filled), '.').c_str(), Bytes, DeviceImageSize);
        std::fflush(stderr);
        BarShown = true;
    }
    void RunFinished() override { ClearBar(); }

    // After the worker has ended.
    void EndRun()
    {
        Ticker.reset();
        RunInProgress = false;
    }
    bool Succeeded() const { return LastLine == LineProgramDone || LastLine == LineCompareDone; }

private:
    void ClearBar()
    {
        if (!BarShown)
            return;
        std::fprintf(stderr, "\r%*s\r", BarWidth + 12, "");
        std::fflush(stderr);
        BarShown = false;
    }

    int32_t Port;
    std::string DevicePath;
    std::unique_ptr<TTicker> Ticker;
    std::string LastLine;
    const bool BarOnTerminal = StderrIsTerminal();
    bool BarShown = false;
};

// COM1..COM8 (the link Sys/COMn beside the program, else the n-th serial port) or a device path.
bool ParsePort(const std::string &Text, int32_t &Port, std::string &DevicePath)
{
    if (Text.find('/') != std::string::npos) {
        Port = 1;
        DevicePath = Text;
        return true;
    }
    if (Text.size() == 4 && std::toupper(static_cast<unsigned char>(Text[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(Text[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(Text[2])) == 'M' && Text[3] >= '1' &&
        Text[3] <= '0' + HighestComPort) {
        Port = Text[3] - '0';
        DevicePath.clear();
        return true;
    }
    return false;
}

int RunSet(const TCliArgs &Args, int32_t Mode)
{
    int32_t Port = 0;
    std::string DevicePath;
    if (Args[1] != "--port" || !ParsePort(Args[2], Port, DevicePath)) {
        Complain("port: COM1..COM" + std::to_string(HighestComPort) + " albo ścieżka urządzenia, np. --port COM1");
        return ExitFailure;
    }
    ProgramDir.Assign(ExecutableDir());
    if (!ReadSetFile(Args[0], Settings))
        return ExitFailure;

    TCliFrontEnd FrontEnd(Port, DevicePath);
    if (!StartRun(FrontEnd, Mode))
        return ExitFailure;
    WaitRunEnd();
    FrontEnd.EndRun();
    return FrontEnd.Succeeded() ? ExitOk : ExitNegative;
}

} // namespace

int CliProgram(const TCliArgs &Args)
{
    return RunSet(Args, RunModeProgram);
}

int CliCompare(const TCliArgs &Args)
{
    return RunSet(Args, RunModeCompare);
}
