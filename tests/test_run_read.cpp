// The read run and the detailed comparison against the simulator, in process
// and through trackwarden-cli read / compare --details / decode / diff.
#include "test_run_support.h"

#include "UImage.h"
#include "UImageMap.h"
#include "UProcs.h"
#include "URunLines.h"

#include <algorithm>
#include <random>

namespace {

using TLines = std::vector<std::string>;

const std::string Version = std::string(LineVersion) + "\"1.2.3\".";
const TLines Connected = {LineOpenPort, LinePortOpen, LineConnecting, Version};
const std::string ReadBlock0 = "> 02 00 00 20 DE";
const std::string ResetRequest = "> 04 FC";

bool FileExists(const std::string &Path)
{
    return access(Path.c_str(), F_OK) == 0;
}

// A set unlike the default one in every part of the image.
void ChangeEverywhere(TSettings &S)
{
    S.SimPin.Assign("4321");
    S.Users[2].PhoneNumber.Assign("+48601234567");
    S.Inputs[3].Activity = 1;
    S.Inputs[3].Users[2].Functions[1].SmsText.Assign("Alarm");
    S.Inputs[3].Users[2].Functions[1].GpsAction = 2;
    S.ArmBySms = 1;
    S.ArmSmsCode.Assign("UZB");
    S.TestEnabled = 1;
    S.TestPeriod = 24;
    S.TestNotify[3].SmsText.Assign(std::string(60, 'T'));
    S.DevicePin.Assign("1357");
}

struct TReadRow {
    const char *Name;
    std::vector<std::string> SimOptions;
    TLines Lines;
    std::vector<int32_t> Progress;
    std::vector<std::pair<std::string, int>> Requests;
    bool Whole; // ReadImage holds the device's memory
    // The outcome: result, failed block, repeated tries (-1: not counted here).
    TRunResult Result;
    int32_t FailedAddress;
    int32_t Repeats;
};

const TReadRow ReadRows[] = {
    // Every fifth reply is spoilt: the tries recover each one.
    {"BadChecksumsRecovered", {"--bad-checksum-every", "5"},
     Join(Connected, {LineReading, LineReset, "", LineReadDone}), PassProgress(), {{ResetRequest, 5}}, true,
     TRunResult::Ok, -1, -1},
    {"SilentDevice", {"--silent"}, {LineOpenPort, LinePortOpen, LineConnecting, "", LineNoReply, "", LineEnd}, {},
     {{ReadBlock0, 0}}, false, TRunResult::NoReply, -1, 9},
    {"BlockFailsTenTimes", {"--wrong-echo"}, Join(Connected, {LineReading, "", LineReadFailed, "", LineEnd}), {0},
     {{ReadBlock0, 10}, {ResetRequest, 0}}, false, TRunResult::Read, 0, 9},
    // The device stops answering: no reply, not a block read wrongly.
    {"HangUpMidRead", {"--hang-up-after", "3"}, Join(Connected, {LineReading, "", LineReadFailed, "", LineEnd}),
     Upto(64), {{ReadBlock0, 1}, {ResetRequest, 0}}, false, TRunResult::NoReply, 64, 9},
};

class ReadRunTest : public TRunRowTest<TReadRow> {};

TEST_P(ReadRunTest, LogProgressAndImage)
{
    const TReadRow &Row = GetParam();
    ChangeEverywhere(Settings);
    uint8_t Memory[DeviceImageSize];
    EncodeImageOf(Settings, Memory);
    // The read run neither takes nor encodes a set: the image before it stays.
    SetDefaultSettings();
    EncodeDeviceImage();
    WriteBytes(Folder.Path + "memory.bin", Memory, sizeof Memory);
    std::vector<std::string> Options = Row.SimOptions;
    Options.insert(Options.end(), {"--memory", Folder.Path + "memory.bin", "--log", Folder.Path + "sim.log"});
    TSimProcess Sim(Folder.Path + "Sys/COM1", Options);
    ASSERT_TRUE(Sim.Ready);

    TRecordingFrontEnd FrontEnd;
    FrontEnd.Port = 1;
    ASSERT_TRUE(StartRun(FrontEnd, RunModeRead));
    FrontEnd.Finish();

    EXPECT_TRUE(FrontEnd.Preparation.empty());
    EXPECT_EQ(FrontEnd.BeginRuns, 1);
    EXPECT_EQ(FrontEnd.Lines(), Row.Lines);
    EXPECT_EQ(FrontEnd.Progress(), Row.Progress);
    EXPECT_EQ(FrontEnd.Finishes(), 1);
    EXPECT_TRUE(FrontEnd.FinishedLast());
    EXPECT_EQ(RunMode, RunModeRead);
    if (Row.Whole) {
        EXPECT_EQ(std::memcmp(ReadImage, Memory, DeviceImageSize), 0);
        EXPECT_EQ(ProgressBytes.load(), static_cast<int32_t>(DeviceImageSize));
    } else {
        EXPECT_LT(ProgressBytes.load(), static_cast<int32_t>(DeviceImageSize));
    }
    Sim.Stop();
    const TLines Log = ReadLines(Folder.Path + "sim.log");
    for (const auto &[Request, Count] : Row.Requests)
        EXPECT_EQ(std::count(Log.begin(), Log.end(), Request), Count) << Request;

    // The values beside the lines follow the read pass as they follow the others.
    ASSERT_EQ(FrontEnd.Outcomes, 1);
    const TRunOutcome &Outcome = FrontEnd.Outcome;
    EXPECT_EQ(Outcome.Result, Row.Result);
    EXPECT_EQ(Outcome.FailedAddress, Row.FailedAddress);
    if (Row.Repeats >= 0) {
        EXPECT_EQ(Outcome.Status.Repeats(), Row.Repeats);
    }
    // Every read try is a request the device saw, while it listened.
    if (Row.Result != TRunResult::NoReply) {
        EXPECT_EQ(Outcome.Status.Read.Tries, std::count_if(Log.begin(), Log.end(), [](const std::string &Line) {
                                                 return Line.rfind("> 02 ", 0) == 0;
                                             }));
    }
    EXPECT_EQ(Outcome.Status.Write.Tries, 0);
    EXPECT_EQ(Outcome.Status.Phase, TRunPhase::Ended);
    std::vector<int32_t> Reading;
    for (const TRunStatus &S : FrontEnd.Statuses) {
        EXPECT_NE(S.Phase, TRunPhase::Verifying);
        if (S.Phase == TRunPhase::Reading && (Reading.empty() || Reading.back() != S.Bytes))
            Reading.push_back(S.Bytes);
    }
    EXPECT_EQ(Reading, Row.Progress) << "the read pass's progress as values";
}

INSTANTIATE_TEST_SUITE_P(Read, ReadRunTest, ::testing::ValuesIn(ReadRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// trackwarden-cli against the simulator holding Memory. Most runs use the fast
// exchange: what these cases check does not depend on the timing.
class CliReadTest : public ::testing::Test {
protected:
    void StartDevice(const TSettings &OnDevice, std::vector<std::string> Options = {})
    {
        uint8_t Memory[DeviceImageSize];
        EncodeImageOf(OnDevice, Memory);
        Device.assign(Memory, Memory + DeviceImageSize);
        WriteBytes(Folder.Path + "memory.bin", Memory, sizeof Memory);
        Options.insert(Options.end(), {"--memory", Folder.Path + "memory.bin"});
        Sim = std::make_unique<TSimProcess>(Link, Options);
        ASSERT_TRUE(Sim->Ready);
    }
    TProgramResult Cli(std::vector<std::string> Args) { return RunProgram("trackwarden-cli", Args, Folder.Path); }
    std::string Path(const char *Name) const { return Folder.Path + Name; }

    TProgramFolder Folder;
    std::string Link = Folder.Path + "Sys/COM1";
    std::unique_ptr<TSimProcess> Sim;
    std::vector<uint8_t> Device;
};

TEST_F(CliReadTest, ReadRecoversTheSetOntoItsBase)
{
    // The base carries what the device cannot: a description, the SMS validity.
    SetDefaultSettings();
    Settings.Users[1].Description.Assign("Jan Kowalski");
    Settings.SmsValidityDays = 7;
    const TSettings Base = Settings;
    WriteBytes(Path("base.set"), &Base, sizeof Base);
    TSettings OnDevice = Base;
    ChangeEverywhere(OnDevice);
    OnDevice.Users[1].Description.Assign("nie dotrze");
    StartDevice(OnDevice);

    const TProgramResult R = Cli(
        {"read", "--port", Link, Path("out.set"), "--base", Path("base.set"), "--image", Path("out.img"), "--fast"});
    ASSERT_EQ(R.Status, 0) << R.Err;
    const TLines Log = Join(Connected, {LineReading, LineReset, "", LineReadDone});
    ASSERT_EQ(R.Out.substr(0, JoinLines(Log).size()), JoinLines(Log));
    EXPECT_NE(R.Out.find("Z zestawu bazowego, bo urządzenie ich nie przechowuje: identyfikatory i opisy"),
              std::string::npos)
        << R.Out;
    EXPECT_NE(R.Out.find("16 kodów SMS wyłączonych lub pustych"), std::string::npos) << R.Out;
    EXPECT_EQ(R.Out.find("Uwagi"), std::string::npos) << R.Out;
    EXPECT_EQ(ReadBytes(Path("out.img")), Device);

    TSettings Expected = OnDevice;
    Expected.Users[1].Description = Base.Users[1].Description;
    const std::vector<uint8_t> Out = ReadBytes(Path("out.set"));
    ASSERT_EQ(Out.size(), sizeof(TSettings));
    EXPECT_EQ(std::memcmp(Out.data(), &Expected, sizeof Expected), 0);

    // The image file decodes and compares the same way without a device.
    EXPECT_EQ(Cli({"decode", Path("out.img"), Path("decoded.set"), "--base", Path("base.set")}).Status, 0);
    EXPECT_EQ(ReadBytes(Path("decoded.set")), Out);
    EXPECT_EQ(Cli({"diff", Path("out.img"), Path("out.set")}).Out, "");
    const TProgramResult Diff = Cli({"diff", Path("base.set"), Path("out.img")});
    EXPECT_EQ(Diff.Status, 1);
    EXPECT_NE(Diff.Out.find("DevicePin: \"9518\" -> \"1357\"\n"), std::string::npos) << Diff.Out;
    EXPECT_EQ(Diff.Out.find("Description"), std::string::npos) << Diff.Out;
}

TEST_F(CliReadTest, ReadFailsWithoutWritingTheSet)
{
    SetDefaultSettings();
    StartDevice(Settings, {"--silent"});
    const TProgramResult R = Cli({"read", "--port", Link, Path("out.set")});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Out, JoinLines({LineOpenPort, LinePortOpen, LineConnecting, "", LineNoReply, "", LineEnd}));
    EXPECT_FALSE(FileExists(Path("out.set")));
}

TEST_F(CliReadTest, UsageAndFiles)
{
    const std::vector<std::vector<std::string>> Bad = {
        {"read", "--port", Link},
        {"read", "--port", Link, Path("out.set"), "--base"},
        {"read", "--port", Link, Path("out.set"), "--bogus", "x"},
        {"read", "--port", "COM9", Path("out.set")},
        {"read", "--port", Link, Path("out.set"), "--base", Path("missing.set")},
        {"compare", Path("missing.set"), "--port", Link, "--detail"},
        {"decode", Path("missing.img"), Path("out.set")},
        {"decode", Path("short.img"), Path("out.set")},
    };
    WriteBytes(Path("short.img"), "abc", 3);
    for (const std::vector<std::string> &Args : Bad) {
        const TProgramResult R = Cli(Args);
        EXPECT_EQ(R.Status, 2) << Args.back();
        EXPECT_FALSE(R.Err.empty()) << Args.back();
        EXPECT_FALSE(FileExists(Path("out.set"))) << Args.back();
    }
}

TEST_F(CliReadTest, CompareDetailsNamesTwoChanges)
{
    SetDefaultSettings();
    WriteBytes(Path("set.set"), &Settings, sizeof Settings);
    TSettings OnDevice = Settings;
    OnDevice.Inputs[3].Users[2].Functions[1].SmsText.Assign("Alarm!");
    OnDevice.RingOutAttempts = 9;
    StartDevice(OnDevice);
    // The specified timing: a differing block would make a fast run fall back to it anyway.
    const TProgramResult R = Cli({"compare", Path("set.set"), "--port", Link, "--details"});
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_EQ(R.Out, JoinLines(Join(Connected, {LineVerifying, "", LineCompareFailed, "", LineEnd,
                                                "Inputs[3].Users[2].Functions[1].SmsText: zestaw \"\", urządzenie "
                                                "\"Alarm!\"",
                                                "RingOutAttempts: zestaw 3, urządzenie 9"})));
}

TEST_F(CliReadTest, CompareDetailsOfAnEqualDevice)
{
    SetDefaultSettings();
    ChangeEverywhere(Settings);
    WriteBytes(Path("set.set"), &Settings, sizeof Settings);
    StartDevice(Settings);
    const TProgramResult R = Cli({"compare", Path("set.set"), "--port", Link, "--details", "--fast"});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Out, JoinLines(Join(Connected, {LineVerifying, LineReset, "", LineCompareDone})));
}

} // namespace
