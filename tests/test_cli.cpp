// trackwarden-cli's file subcommands, run as the built program.
#include "Cp1250.h"
#include "UFields.h"
#include "UFiles.h"
#include "UProcs.h"
#include "settings_support.h"
#include "test_cli_support.h"
#include "test_files_support.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/wait.h>


namespace {

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

// Runs the program in Folder (paths on the command line are relative to it),
// with stdout and stderr caught in files of Capture.
TRun RunCli(const std::vector<std::string> &Arguments, const fs::path &Folder, const TScratchDir &Capture)
{
    const std::string OutName = Capture / "out", ErrName = Capture / "err";
    TRun Run;
    Run.Status = SpawnCli(Arguments, Folder.string(), OutName, ErrName);
    const TBytes Out = GetFile(OutName), Err = GetFile(ErrName);
    Run.Out.assign(Out.begin(), Out.end());
    Run.Err.assign(Err.begin(), Err.end());
    return Run;
}

const char *const PolishText = "Zażółć gęślą jaźń";

TSettings DefaultSet()
{
    SetDefaultSettings();
    return Settings;
}

// Defaults with three fields changed: a text, a Polish SMS text and a number.
TSettings OtherSet()
{
    TSettings S = DefaultSet();
    SetFieldText(S, FieldNamed("Users[2].PhoneNumber"), "+48600100200");
    SetFieldText(S, FieldNamed("Inputs[3].Users[2].Functions[1].SmsText"), Utf8ToCp1250(PolishText));
    SetFieldInt(S, FieldNamed("Inputs[3].DelayTime"), 77);
    return S;
}

TSettings LongSmsSet()
{
    TSettings S = DefaultSet();
    S.Inputs[3].Users[2].Functions[1].SmsText.Assign(std::string(61, 'x'));
    return S;
}

std::string CheckText(const TSettings &S)
{
    Settings = S;
    return CheckSettings();
}

TBytes ImageOf(const TSettings &S)
{
    Settings = S;
    EncodeDeviceImage();
    return TBytes(DeviceImage, DeviceImage + sizeof DeviceImage);
}

TBytes BytesOf(const TSettings &S)
{
    const auto *P = reinterpret_cast<const uint8_t *>(&S);
    return TBytes(P, P + sizeof S);
}

std::vector<const TFieldDesc *> FieldsByOffset()
{
    std::vector<const TFieldDesc *> Fields;
    for (const TFieldDesc &F : SettingsFields())
        Fields.push_back(&F);
    std::stable_sort(Fields.begin(), Fields.end(), [](auto *A, auto *B) { return A->Offset < B->Offset; });
    return Fields;
}

std::vector<std::string> Lines(const std::string &Text)
{
    std::vector<std::string> Out;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);)
        Out.push_back(Line);
    return Out;
}

// The sets every row may name, laid in the folder that the program runs in.
void LaySets(const TScratchDir &Dir)
{
    const TSettings Default = DefaultSet();
    TSettings Tail = Default;
    // A different tail behind the length byte carries no meaning.
    Tail.Users[1].PhoneNumber.Chars[5] = 'Q';
    PutFile(Dir / "default.set", BytesOf(Default));
    PutFile(Dir / "tail.set", BytesOf(Tail));
    PutFile(Dir / "other.set", BytesOf(OtherSet()));
    PutFile(Dir / "long-sms.set", BytesOf(LongSmsSet()));
    TBytes Short = BytesOf(Default);
    Short.pop_back();
    PutFile(Dir / "short.set", Short);
    TBytes Long = BytesOf(Default);
    Long.push_back(0);
    PutFile(Dir / "long.set", Long);
}

struct TCliRow {
    const char *Case;
    std::vector<std::string> Args;
    int Status;
    std::function<std::string()> Out;  // the whole of stdout
    const char *ErrHas;                // a piece of stderr, or nullptr for an empty stderr
    const char *Made;                  // a file the command must write, or nullptr
    std::function<TBytes()> MadeBytes; // what it must hold
    const char *NotMade;               // a file that must not appear, or nullptr
};

void PrintTo(const TCliRow &Row, std::ostream *Out)
{
    *Out << Row.Case;
}

std::string Nothing()
{
    return {};
}

const std::string LongPath = std::string(250, 'p') + "/" + std::string(10, 'q');

const TCliRow CliRows[] = {
    {"NoArguments", {}, 2, Nothing, "Użycie:", nullptr, {}, nullptr},
    {"UnknownCommand", {"frobnicate", "a"}, 2, Nothing, "nieznane polecenie: frobnicate", nullptr, {}, nullptr},
    {"TooFewArguments", {"image", "default.set"}, 2, Nothing, "trackwarden-cli image SET OUT", nullptr, {}, nullptr},
    {"TooManyArguments", {"check", "default.set", "x"}, 2, Nothing, "Użycie:", nullptr, {}, nullptr},

    {"DefaultsWritten", {"defaults", "new.set"}, 0, Nothing, nullptr, "new.set", [] { return BytesOf(DefaultSet()); },
     nullptr},
    {"DefaultsReplaceAFile", {"defaults", "other.set"}, 0, Nothing, nullptr, "other.set",
     [] { return BytesOf(DefaultSet()); }, nullptr},
    {"DefaultsIntoMissingFolder", {"defaults", "Nowhere/new.set"}, 2, Nothing, "Nowhere/new.set: Błąd zapisu pliku!",
     nullptr, {}, "Nowhere"},

    {"ImageWritten", {"image", "other.set", "out.img"}, 0, Nothing, nullptr, "out.img", [] { return ImageOf(OtherSet()); },
     nullptr},
    {"ImageRefusedByTheCheck", {"image", "long-sms.set", "out.img"}, 1, Nothing, "Zbyt długa treść SMS", nullptr, {},
     "out.img"},
    {"ImageOfAShortSet", {"image", "short.set", "out.img"}, 2, Nothing,
     "short.set: Błąd odczytu pliku! (13675 B zamiast 13676 B)", nullptr, {}, "out.img"},
    {"ImageIntoMissingFolder", {"image", "default.set", "Nowhere/out.img"}, 2, Nothing, "Błąd zapisu pliku!", nullptr,
     {}, "Nowhere"},

    {"CheckPasses", {"check", "other.set"}, 0, Nothing, nullptr, nullptr, {}, nullptr},
    {"CheckFindsALongSms", {"check", "long-sms.set"}, 1, [] { return CheckText(LongSmsSet()) + "\n"; }, nullptr,
     nullptr, {}, nullptr},
    {"CheckOfAMissingSet", {"check", "missing.set"}, 2, Nothing, "missing.set: Brak takiego pliku!", nullptr, {},
     nullptr},

    {"DumpInRecordOrder", {"dump", "other.set"}, 0,
     [] {
         const TSettings S = OtherSet();
         std::string Text;
         for (const TFieldDesc *F : FieldsByOffset())
             Text += F->Name + " = " + FieldValueText(S, *F) + "\n";
         return Text;
     },
     nullptr, nullptr, {}, nullptr},
    {"DumpOfALongSet", {"dump", "long.set"}, 2, Nothing, "long.set: Błąd odczytu pliku! (13677 B zamiast 13676 B)",
     nullptr, {}, nullptr},
    {"DumpOfAFolder", {"dump", "."}, 2, Nothing, "Brak takiego pliku!", nullptr, {}, nullptr},
    {"DumpOfAnOverLongPath", {"dump", LongPath}, 2, Nothing, "ścieżka dłuższa niż 255 znaków", nullptr, {}, nullptr},

    {"DiffOfEqualSets", {"diff", "default.set", "tail.set"}, 0, Nothing, nullptr, nullptr, {}, nullptr},
    {"DiffListsTheChangedFields", {"diff", "default.set", "other.set"}, 1,
     [] {
         const TSettings D = DefaultSet();
         const TFieldDesc &Sms = FieldNamed("Inputs[3].Users[2].Functions[1].SmsText");
         return "Users[2].PhoneNumber: \"\" -> \"+48600100200\"\n"
                "Inputs[3].DelayTime: " +
                FieldValueText(D, FieldNamed("Inputs[3].DelayTime")) +
                " -> 77\n"
                "Inputs[3].Users[2].Functions[1].SmsText: " +
                FieldValueText(D, Sms) + " -> \"" + PolishText + "\"\n";
     },
     nullptr, nullptr, {}, nullptr},
    {"DiffWithAMissingSet", {"diff", "default.set", "missing.set"}, 2, Nothing, "missing.set: Brak takiego pliku!",
     nullptr, {}, nullptr},
};

class CliFiles : public ::testing::TestWithParam<TCliRow> {};

TEST_P(CliFiles, StatusOutputAndFiles)
{
    const TCliRow &Row = GetParam();
    TScratchDir Dir, Capture;
    LaySets(Dir);
    const auto Before = Listing(Dir.Path);

    const TRun Run = RunCli(Row.Args, Dir.Path, Capture);
    EXPECT_EQ(Run.Status, Row.Status) << Run.Err;
    EXPECT_EQ(Run.Out, Row.Out());
    if (Row.ErrHas == nullptr) {
        EXPECT_EQ(Run.Err, "");
    } else {
        EXPECT_NE(Run.Err.find(Row.ErrHas), std::string::npos) << Run.Err;
    }
    if (Row.Status == 2 && Row.Made == nullptr) {
        EXPECT_EQ(Listing(Dir.Path), Before) << "a failed command changed the folder";
    }
    if (Row.Made != nullptr) {
        EXPECT_EQ(GetFile(Dir / Row.Made), Row.MadeBytes());
    }
    if (Row.NotMade != nullptr) {
        EXPECT_FALSE(fs::exists(Dir / Row.NotMade));
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, CliFiles, ::testing::ValuesIn(CliRows),
                         [](const auto &Info) { return std::string(Info.param.Case); });

// Literal lines, independent of the field table's own printing.
TEST(CliDump, ShowsTheWindowsNumberingAndUtf8)
{
    TScratchDir Dir, Capture;
    LaySets(Dir);
    const TRun Run = RunCli({"dump", (Dir.Path / "other.set").string()}, "/", Capture);
    ASSERT_EQ(Run.Status, 0) << Run.Err;
    const std::vector<std::string> Got = Lines(Run.Out);
    ASSERT_EQ(Got.size(), SettingsFields().size());
    EXPECT_EQ(Got.front(), "SimPin = \"\"");
    for (const std::string Expected : {"Users[1].Identifier = \"Użytkownik 1\"", "Inputs[3].DelayTime = 77",
                                       "Users[2].PhoneNumber = \"+48600100200\"",
                                       "Inputs[3].Users[2].Functions[1].SmsText = \"Zażółć gęślą jaźń\""})
        EXPECT_NE(std::find(Got.begin(), Got.end(), Expected), Got.end()) << Expected;
}

// The manual page's synopsis is written from the declaration the usage
// comes from: each of its entries, without roff's fonts, is a usage line.
TEST(CliUsage, ManualSynopsisIsTheUsage)
{
    TScratchDir Dir, Capture;
    const TRun Help = RunCli({"--help"}, "/", Capture);
    const std::string Page = ".TH X 1\n.SH SKŁADNIA\n.B stare\n.\\\" End of the synopsis.\n.SH OPIS\ntekst\n";
    std::ofstream(Dir / "page.1") << Page;
    const std::string Command = std::string(TW_BIN_DIR) + "/trackwarden-cli-manual pl <'" + (Dir / "page.1") +
                                "' >'" + (Dir / "out.1") + "'";
    ASSERT_EQ(std::system(Command.c_str()), 0);
    const TBytes Bytes = GetFile(Dir / "out.1");
    std::vector<std::string> Entries;
    const std::vector<std::string> Out = Lines(std::string(Bytes.begin(), Bytes.end()));
    for (size_t I = 0; I + 1 < Out.size(); ++I) {
        if (Out[I] != ".SY trackwarden\\-cli")
            continue;
        std::string Plain = Out[I + 1];
        for (const char *Font : {"\\fB", "\\fR", "\\fI"})
            for (size_t At; (At = Plain.find(Font)) != std::string::npos;)
                Plain.erase(At, 3);
        for (size_t At; (At = Plain.find("\\-")) != std::string::npos;)
            Plain.erase(At, 1);
        Entries.push_back("trackwarden-cli " + Plain);
    }
    ASSERT_EQ(Entries.size(), 12u);
    for (const std::string &Entry : Entries)
        EXPECT_NE(Help.Out.find(Entry == "trackwarden-cli --help" ? "Użycie:" : Entry), std::string::npos) << Entry;
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()).find(".B stare"), std::string::npos) << "the old synopsis goes";
    EXPECT_EQ(Out.back(), "tekst");
}

TEST(CliUsage, HelpListsEverySubcommand)
{
    TScratchDir Capture;
    const TRun Run = RunCli({"--help"}, "/", Capture);
    EXPECT_EQ(Run.Status, 0);
    for (const char *Line : {"trackwarden-cli defaults OUT", "trackwarden-cli image SET OUT", "trackwarden-cli check SET",
                             "trackwarden-cli dump SET", "trackwarden-cli diff SET_A SET_B"})
        EXPECT_NE(Run.Out.find(Line), std::string::npos) << Line;
}

} // namespace
