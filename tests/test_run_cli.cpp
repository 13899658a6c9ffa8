// trackwarden-cli program / compare: exit codes and what goes to stdout.
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"

namespace {

using TLines = std::vector<std::string>;

enum class TSetFile { Default, Missing, Short, TooLongSms };

struct TCliRow {
    const char *Name;
    std::vector<std::string> Args; // "SET" and "PORT" stand for the set and the simulator's link
    TSetFile Set;
    std::vector<std::string> SimOptions; // empty: no simulator
    int Status;
    TLines Out;
};

const TLines CompareFails = {LineOpenPort,   LinePortOpen, LineConnecting, std::string(LineVersion) + "\"1.2.3\".",
                             LineVerifying,  "",           LineCompareFailed, "", LineEnd};

const TCliRow Rows[] = {
    {"NoArguments", {"program"}, TSetFile::Default, {}, 2, {}},
    {"PortMissing", {"program", "SET", "--port"}, TSetFile::Default, {}, 2, {}},
    {"NotThePortOption", {"compare", "SET", "--prot", "COM1"}, TSetFile::Default, {}, 2, {}},
    {"ComBeyondEight", {"compare", "SET", "--port", "COM9"}, TSetFile::Default, {}, 2, {}},
    {"NotAPort", {"compare", "SET", "--port", "LPT1"}, TSetFile::Default, {}, 2, {}},
    {"SetMissing", {"program", "SET", "--port", "PORT"}, TSetFile::Missing, {}, 2, {}},
    {"SetOfWrongSize", {"program", "SET", "--port", "PORT"}, TSetFile::Short, {}, 2, {}},
    // A finding, as check and image report it.
    {"SettingsError", {"program", "SET", "--port", "PORT"}, TSetFile::TooLongSms, {}, 1, {}},
    {"DeviceMissing", {"program", "SET", "--port", "PORT"}, TSetFile::Default, {}, 1,
     {LineOpenPort, "", LinePortFailed}},
    {"SilentDevice", {"compare", "SET", "--port", "PORT"}, TSetFile::Default, {"--silent"}, 1,
     {LineOpenPort, LinePortOpen, LineConnecting, "", LineNoReply, "", LineEnd}},
    {"OtherSettingsOnTheDevice", {"compare", "SET", "--port", "PORT"}, TSetFile::Default, {}, 1, CompareFails},
};

class CliRunTest : public ::testing::TestWithParam<TCliRow> {};

TEST_P(CliRunTest, ExitStatusAndLog)
{
    const TCliRow &Row = GetParam();
    TProgramFolder Folder;
    const std::string SetPath = Folder.Path + "test.set";
    const std::string Link = Folder.Path + "Sys/COM1";
    SetDefaultSettings();
    switch (Row.Set) {
    case TSetFile::Default: WriteBytes(SetPath, &Settings, sizeof Settings); break;
    case TSetFile::Missing: break;
    case TSetFile::Short: WriteBytes(SetPath, &Settings, sizeof Settings - 1); break;
    case TSetFile::TooLongSms:
        Settings.Inputs[2].Users[3].Functions[2].SmsText.Assign(std::string(61, 'x'));
        WriteBytes(SetPath, &Settings, sizeof Settings);
        break;
    }
    std::unique_ptr<TSimProcess> Sim;
    if (!Row.SimOptions.empty() || Row.Out == CompareFails) {
        Sim = std::make_unique<TSimProcess>(Link, Row.SimOptions);
        ASSERT_TRUE(Sim->Ready);
    }
    std::vector<std::string> Args = Row.Args;
    for (std::string &Arg : Args) {
        if (Arg == "SET")
            Arg = SetPath;
        else if (Arg == "PORT")
            Arg = Link;
    }
    const TProgramResult Result = RunProgram("trackwarden-cli", Args, Folder.Path);
    EXPECT_EQ(Result.Status, Row.Status) << Result.Err;
    EXPECT_EQ(Result.Out, JoinLines(Row.Out));
    if (Row.Status == 2 || Row.Set == TSetFile::TooLongSms) {
        EXPECT_FALSE(Result.Err.empty());
    }
    if (Row.Set == TSetFile::TooLongSms) {
        EXPECT_NE(Result.Err.find(LineSettingsError), std::string::npos) << Result.Err;
        EXPECT_NE(Result.Err.find(CheckSettings()), std::string::npos) << Result.Err;
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, CliRunTest, ::testing::ValuesIn(Rows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
