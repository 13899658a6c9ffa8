// trackwarden-cli program / compare: exit codes and what goes to stdout.
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"
#include "test_cli_json.h"

#include <map>

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
    // The first failed try of a fast run is its last fast one.
    {"FastFallsBack", {"compare", "SET", "--port", "PORT", "--fast", "--gap=0"}, TSetFile::Default, {"--delay", "1"},
     1,
     {LineOpenPort, LinePortOpen, LineConnecting, std::string(LineVersion) + "\"1.2.3\".", LineVerifying, LineFastOff,
      "", LineCompareFailed, "", LineEnd}},
    {"GapWithoutFast", {"compare", "SET", "--port", "PORT", "--gap", "2"}, TSetFile::Default, {}, 2, {}},
    {"GapBeyondASecond", {"program", "SET", "--port", "PORT", "--fast", "--gap", "1001"}, TSetFile::Default, {}, 2, {}},
    {"GapNotANumber", {"read", "OUT", "--port", "PORT", "--fast", "--gap", "1ms"}, TSetFile::Default, {}, 2, {}},
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

namespace {

// Options and words in any order, --opt=value and --: the record names the
// files and the port the command was given, whatever their place. No device
// answers: the run ends at the opening, as a run with these arguments would.
struct TOrderRow {
    const char *Name;
    std::vector<std::string> Args; // "SET", "OUT", "PORT", "LOG" stand for files of the folder
    const char *SetFile;           // what the record names as the set
    const char *Mode;
};

const TOrderRow OrderRows[] = {
    {"ReadOptionsBeforeOut", {"read", "--port", "PORT", "--base", "SET", "OUT", "--json"}, "OUT", "read"},
    {"ReadOutFirst", {"read", "OUT", "--base", "SET", "--port", "PORT", "--json"}, "OUT", "read"},
    {"ProgramPortFirst", {"program", "--port", "PORT", "SET", "--json"}, "SET", "program"},
    {"OptionWithEquals", {"compare", "--json", "--port=PORT", "--log=LOG", "SET"}, "SET", "compare"},
    {"WordsAfterDoubleDash", {"compare", "--port", "PORT", "--json", "--", "-odd.set"}, "-odd.set", "compare"},
};

void PrintTo(const TOrderRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class CliOrderTest : public ::testing::TestWithParam<TOrderRow> {};

TEST_P(CliOrderTest, RecordNamesWhatWasGiven)
{
    const TOrderRow &Row = GetParam();
    TProgramFolder Folder;
    SetDefaultSettings();
    for (const char *Name : {"test.set", "-odd.set"})
        WriteBytes(Folder.Path + Name, &Settings, sizeof Settings);
    const std::map<std::string, std::string> Files = {{"SET", Folder.Path + "test.set"},
                                                      {"OUT", Folder.Path + "out.set"},
                                                      {"PORT", Folder.Path + "no-such-port"},
                                                      {"LOG", Folder.Path + "audit.log"},
                                                      {"-odd.set", "-odd.set"}};
    std::vector<std::string> Args = Row.Args;
    for (std::string &Arg : Args) {
        for (const auto &[Key, Path] : Files) {
            const size_t At = Arg.find(Key);
            if (At != std::string::npos && Key != "-odd.set")
                Arg.replace(At, Key.size(), Path);
        }
    }
    // A word that starts with "-" is a file in the program's working folder.
    char Here[4096];
    ASSERT_NE(getcwd(Here, sizeof Here), nullptr);
    ASSERT_EQ(chdir(Folder.Path.c_str()), 0);
    const TProgramResult Result = RunProgram("trackwarden-cli", Args, Folder.Path);
    ASSERT_EQ(chdir(Here), 0);
    ASSERT_EQ(Result.Status, 1) << Result.Err;
    const auto Object = ParseJsonObject(Result.Out.substr(0, Result.Out.find('\n')));
    ASSERT_TRUE(Object.has_value()) << Result.Out;
    const auto Named = Files.find(Row.SetFile);
    EXPECT_EQ(Object->at("set_file").String, Named->second);
    EXPECT_EQ(Object->at("port").String, Files.at("PORT"));
    EXPECT_EQ(Object->at("mode").String, Row.Mode);
    EXPECT_EQ(Object->at("result").String, "port");
    const bool Logged = std::find(Row.Args.begin(), Row.Args.end(), "--log=LOG") != Row.Args.end();
    EXPECT_EQ(ReadLines(Files.at("LOG")).size(), Logged ? 1u : 0u);
    EXPECT_EQ(access(Files.at("OUT").c_str(), F_OK), -1) << "a failed read writes no set";
}

INSTANTIATE_TEST_SUITE_P(Cli, CliOrderTest, ::testing::ValuesIn(OrderRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
