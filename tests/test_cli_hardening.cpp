// trackwarden-cli against hostile combinations of its arguments: an output
// that is one of the inputs or another output, an audit log that is one of
// them or no regular file, output into a full disk, findings, a set of
// 4 GiB and more, names counted in characters, a write-protected set.
#include "UDecls.h"
#include "UFields.h"
#include "UImage.h"
#include "UProcs.h"
#include "test_cli_support.h"
#include "test_files_support.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>


namespace {

struct TRun {
    int Status = -1;
    std::string Err;
};

// Runs the program in Folder with stdout into OutPath and stderr into a file.
TRun RunCli(const std::vector<std::string> &Arguments, const TScratchDir &Folder, const std::string &OutPath)
{
    const std::string ErrName = Folder / ".err";
    TRun Run;
    Run.Status = SpawnCli(Arguments, Folder.Path, OutPath, ErrName);
    const TBytes Err = GetFile(ErrName);
    Run.Err.assign(Err.begin(), Err.end());
    fs::remove(ErrName);
    return Run;
}

TBytes DefaultSetBytes()
{
    SetDefaultSettings();
    const auto *P = reinterpret_cast<const uint8_t *>(&Settings);
    return TBytes(P, P + SettingsSize);
}

TBytes LongSmsSetBytes()
{
    SetDefaultSettings();
    Settings.Inputs[2].Users[1].Functions[2].SmsText.Assign(std::string(61, 'x'));
    const auto *P = reinterpret_cast<const uint8_t *>(&Settings);
    return TBytes(P, P + SettingsSize);
}

TBytes DefaultImageBytes()
{
    SetDefaultSettings();
    uint8_t Image[DeviceImageSize];
    EncodeImageOf(Settings, Image);
    return TBytes(Image, Image + DeviceImageSize);
}

const std::string Utf8A = "\xC4\x85"; // ą: two bytes, one character

std::string Repeat(const std::string &Piece, int Count)
{
    std::string Out;
    for (int I = 0; I < Count; ++I)
        Out += Piece;
    return Out;
}

struct TRow {
    const char *Name;
    std::function<void(const TScratchDir &)> Lay; // besides keep.set (a default set)
    std::vector<std::string> Args;
    const char *Out; // where stdout goes: "/dev/full", or a file name in the folder
    int Status;
    std::vector<std::string> ErrHas;
    std::vector<std::pair<std::string, std::function<TBytes()>>> Files; // what they must hold afterwards
};

void PrintTo(const TRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

void Nothing(const TScratchDir &) {}

const TRow Rows[] = {
    // The output is the input: refused before anything is read or written.
    {"ImageOverItsOwnSet", Nothing, {"image", "keep.set", "keep.set"}, "out", 2,
     {"keep.set: to ten sam plik co keep.set"}, {{"keep.set", DefaultSetBytes}}},
    {"ImageThroughALinkToItsSet", [](const TScratchDir &D) { fs::create_symlink("keep.set", D / "link.img"); },
     {"image", "keep.set", "link.img"}, "out", 2, {"link.img: to ten sam plik co keep.set"},
     {{"keep.set", DefaultSetBytes}}},
    {"ImageThroughAHardLinkToItsSet", [](const TScratchDir &D) { fs::create_hard_link(D / "keep.set", D / "hard.img"); },
     {"image", "./keep.set", "hard.img"}, "out", 2, {"hard.img: to ten sam plik co ./keep.set"},
     {{"keep.set", DefaultSetBytes}, {"hard.img", DefaultSetBytes}}},
    {"ImageBesideItsSet", Nothing, {"image", "keep.set", "keep.img"}, "out", 0, {}, {{"keep.set", DefaultSetBytes}}},

    // Output that never arrived is no success.
    {"HelpIntoAFullDisk", Nothing, {"--help"}, "/dev/full", 2, {"błąd zapisu na standardowe wyjście"}, {}},
    {"DumpIntoAFullDisk", Nothing, {"dump", "keep.set"}, "/dev/full", 2, {"błąd zapisu na standardowe wyjście"}, {}},
    {"DiffIntoAFullDisk", [](const TScratchDir &D) { PutFile(D / "long.set", LongSmsSetBytes()); },
     {"diff", "keep.set", "long.set"}, "/dev/full", 2, {"błąd zapisu na standardowe wyjście"}, {}},
    {"CheckIntoAFullDisk", [](const TScratchDir &D) { PutFile(D / "long.set", LongSmsSetBytes()); },
     {"check", "long.set"}, "/dev/full", 2, {"błąd zapisu na standardowe wyjście"}, {}},
    {"DefaultsWithNothingToSay", Nothing, {"defaults", "new.set"}, "/dev/full", 0, {}, {{"new.set", DefaultSetBytes}}},

    // A finding is a negative result wherever it is found.
    {"FindingRefusesTheRun", [](const TScratchDir &D) { PutFile(D / "long.set", LongSmsSetBytes()); },
     {"program", "long.set", "--port", "COM1"}, "out", 1, {"Błąd ustawień!", "Zbyt długa treść SMS"}, {}},
    {"FindingRefusesTheComparison", [](const TScratchDir &D) { PutFile(D / "long.set", LongSmsSetBytes()); },
     {"compare", "long.set", "--port", "/dev/null"}, "out", 1, {"Błąd ustawień!"}, {}},

    // Messages that say what is wrong.
    {"SetOfFourGibibytesAndMore",
     [](const TScratchDir &D) {
         PutFile(D / "big.set", {});
         ASSERT_EQ(truncate((D / "big.set").c_str(), (off_t{1} << 32) + 13676), 0);
     },
     {"dump", "big.set"}, "out", 2, {"big.set: Błąd odczytu pliku! (4294980972 B zamiast 13676 B)"}, {}},
    {"NameOfTwoByteCharactersCountsCharacters", [](const TScratchDir &D) { fs::create_directory(D / Repeat(Utf8A, 100)); },
     {"defaults", Repeat(Utf8A, 100) + "/" + Repeat(Utf8A, 100) + ".set"}, "out", 0, {},
     {{Repeat(Utf8A, 100) + "/" + Repeat(Utf8A, 100) + ".set", DefaultSetBytes}}},
    {"NameOfTooManyCharacters", Nothing, {"defaults", Repeat(Utf8A, 100) + "/" + Repeat("a", 160)}, "out", 2,
     {"ścieżka dłuższa niż 255 znaków"}, {}},
    // The audit log is never one of the command's files: appending would break the set.
    {"LogIsTheSet", Nothing, {"compare", "keep.set", "--port", "/dev/null", "--log", "keep.set"}, "out", 2,
     {"--log keep.set: to ten sam plik co keep.set"}, {{"keep.set", DefaultSetBytes}}},
    {"LogThroughALinkToTheSet", [](const TScratchDir &D) { fs::create_symlink("keep.set", D / "link.log"); },
     {"program", "keep.set", "--port", "/dev/null", "--log", "link.log"}, "out", 2, {"dziennik musi być osobnym"},
     {{"keep.set", DefaultSetBytes}}},
    {"LogThroughAHardLinkToTheBase", [](const TScratchDir &D) { fs::create_hard_link(D / "keep.set", D / "hard.log"); },
     {"read", "--port", "/dev/null", "new.set", "--base", "keep.set", "--log", "hard.log"}, "out", 2,
     {"--log hard.log: to ten sam plik co keep.set"}, {{"keep.set", DefaultSetBytes}}},
    {"LogIsTheNewOutput", Nothing, {"read", "--port", "/dev/null", "o.set", "--log", "./o.set"}, "out", 2,
     {"--log ./o.set: to ten sam plik co o.set"}, {}},
    // Outputs apart from each other, also before they exist and under another path to the folder.
    {"ImageIsTheNewSet", Nothing, {"read", "--port", "/dev/null", "x.set", "--image", "x.set"}, "out", 2,
     {"x.set: to ten sam plik co x.set"}, {}},
    {"ImageIsTheNewSetThroughTheFolder", [](const TScratchDir &D) { fs::create_directory(D / "sub"); },
     {"read", "--port", "/dev/null", "x.set", "--image", "sub/../x.set"}, "out", 2, {"to ten sam plik co x.set"}, {}},
    // A log that is no regular file is refused before it is opened (a FIFO would block), a read-only one even for root.
    {"LogOnAFifo", [](const TScratchDir &D) { ASSERT_EQ(mkfifo((D / "fifo.log").c_str(), 0644), 0); },
     {"compare", "keep.set", "--port", "/dev/null", "--log", "fifo.log"}, "out", 2, {"to nie jest zwykły plik"}, {}},
    {"LogOnADevice", Nothing, {"compare", "keep.set", "--port", "/dev/null", "--log", "/dev/null"}, "out", 2,
     {"to nie jest zwykły plik"}, {}},
    {"ReadOnlyLog",
     [](const TScratchDir &D) {
         PutFile(D / "ro.log", {'x', '\n'});
         ASSERT_EQ(chmod((D / "ro.log").c_str(), 0444), 0);
     },
     {"compare", "keep.set", "--port", "/dev/null", "--log", "ro.log"}, "out", 2, {"plik tylko do odczytu"},
     {{"ro.log", [] { return TBytes{'x', '\n'}; }}}},
    // A read whose set could not be saved is found before the device is read.
    {"ReadIntoAMissingFolder", Nothing, {"read", "--port", "/dev/null", "no-such/x.set"}, "out", 2,
     {"no-such/x.set: Błąd zapisu pliku!"}, {}},
    {"ReadImageIntoAMissingFolder", Nothing, {"read", "--port", "/dev/null", "x.set", "--image", "no-such/x.img"},
     "out", 2, {"no-such/x.img: Błąd zapisu pliku!"}, {}},
    {"DecodeOfAFifo", [](const TScratchDir &D) { ASSERT_EQ(mkfifo((D / "fifo.img").c_str(), 0644), 0); },
     {"decode", "fifo.img", "x.set"}, "out", 2, {"fifo.img: Błąd odczytu pliku! (to nie jest zwykły plik)"}, {}},
    {"DamagedBaseIsNamed",
     [](const TScratchDir &D) {
         PutFile(D / "long.set", LongSmsSetBytes());
         PutFile(D / "keep.img", DefaultImageBytes());
     },
     {"decode", "keep.img", "x.set", "--base", "long.set"}, "out", 0,
     {"long.set: uwaga, zestaw bazowy jest uszkodzony (Zbyt długa treść SMS"}, {}},
    {"BaseWithHostileLengthsIsNamed",
     [](const TScratchDir &D) {
         TBytes Set = DefaultSetBytes();
         Set[FieldByName("Users[1].Description")->Offset] = 255;
         Set[FieldByName("RingInMode")->Offset] = 9;
         PutFile(D / "bad.set", Set);
         PutFile(D / "keep.img", DefaultImageBytes());
     },
     {"decode", "keep.img", "x.set", "--base", "bad.set"}, "out", 0,
     {"bad.set: uwaga, zestaw bazowy jest uszkodzony (", "długość 255", "razem 2 usterek"}, {}},
    // An empty device is no way to remove a link, and a terminal of the system is no port.
    {"AssignAnEmptyDevice", Nothing, {"ports", "--assign", "COM8", ""}, "out", 2, {"złe argumenty: ports"}, {}},

    {"WriteProtectedSet",
     [](const TScratchDir &D) {
         PutFile(D / "frozen.set", LongSmsSetBytes());
         ASSERT_EQ(chmod((D / "frozen.set").c_str(), 0444), 0);
     },
     {"defaults", "frozen.set"}, "out", 2, {"frozen.set: Błąd zapisu pliku! (plik tylko do odczytu)"},
     {{"frozen.set", LongSmsSetBytes}}},
};

class CliHardening : public ::testing::TestWithParam<TRow> {};

TEST_P(CliHardening, StatusMessageAndFiles)
{
    const TRow &Row = GetParam();
    TScratchDir Dir;
    PutFile(Dir / "keep.set", DefaultSetBytes());
    Row.Lay(Dir);
    const std::string Out = std::string(Row.Out).rfind("/", 0) == 0 ? Row.Out : Dir / Row.Out;
    const TRun Run = RunCli(Row.Args, Dir, Out);
    EXPECT_EQ(Run.Status, Row.Status) << Run.Err;
    for (const std::string &Piece : Row.ErrHas)
        EXPECT_NE(Run.Err.find(Piece), std::string::npos) << Run.Err;
    for (const auto &[Name, Bytes] : Row.Files)
        EXPECT_EQ(GetFile(Dir / Name), Bytes()) << Name;
    // No temporary file of a refused or failed save.
    for (const auto &Entry : fs::recursive_directory_iterator(Dir.Path))
        EXPECT_EQ(Entry.path().filename().string().rfind(".~tw", 0), std::string::npos) << Entry.path();
}

INSTANTIATE_TEST_SUITE_P(Cli, CliHardening, ::testing::ValuesIn(Rows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// With stdout closed, the log opened next would take its descriptor and get
// the run's human lines: it holds the run's record, one audit line, alone.
TEST(CliHardening, ClosedStdoutNeverReachesTheLog)
{
    TScratchDir Dir;
    PutFile(Dir / "keep.set", DefaultSetBytes());
    const TRun Run = RunCli({"compare", "keep.set", "--port", "./no-such-port", "--log", "a.log"}, Dir, "");
    EXPECT_EQ(Run.Status, 1) << Run.Err;
    const TBytes Log = GetFile(Dir / "a.log");
    const std::string Text(Log.begin(), Log.end());
    EXPECT_EQ(std::count(Text.begin(), Text.end(), '\n'), 1) << Text;
    EXPECT_EQ(std::count(Text.begin(), Text.end(), '\t'), 11) << Text;
    EXPECT_NE(Text.find("\tcompare\tport\t"), std::string::npos) << Text;
}

} // namespace
