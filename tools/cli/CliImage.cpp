// Device images as files: decode, and what read and decode report.
#include "CliCommands.h"

#include "UFiles.h"
#include "UImageDecode.h"
#include "UImageMap.h"
#include "UProcs.h"

#include <cstdio>
#include <memory>

namespace {

void PrintLine(FILE *To, const std::string &Line)
{
    std::fwrite(Line.data(), 1, Line.size(), To);
    std::fputc('\n', To);
}

// 1 kod, 2-4 kody, 5 kodów, 22 kody, 25 kodów.
std::string Counted(size_t N, const char *One, const char *Few, const char *Many)
{
    const size_t Tens = N % 100, Units = N % 10;
    const char *Word = N == 1 ? One : (Units >= 2 && Units <= 4 && (Tens < 12 || Tens > 14)) ? Few : Many;
    return std::to_string(N) + " " + Word;
}

bool EndsWith(const std::string &Text, const std::string &Tail)
{
    return Text.size() >= Tail.size() && Text.compare(Text.size() - Tail.size(), Tail.size(), Tail) == 0;
}

// What the device has no place for, in the words of the window's tabs.
std::string NotInImageGroup(const std::string &Name)
{
    if (EndsWith(Name, ".Identifier") || EndsWith(Name, ".Description"))
        return "identyfikatory i opisy użytkowników, wejść i wyjść";
    if (Name.rfind("GpsReply", 0) == 0)
        return "odpowiedzi GPS dla każdego numeru i ich kod";
    if (Name.rfind("SmsValidity", 0) == 0)
        return "ważność SMS";
    if (Name == "DeviceVersion")
        return "wersja nadajnika";
    return Name;
}

void AddOnce(std::vector<std::string> &List, const std::string &Item)
{
    for (const std::string &Had : List)
        if (Had == Item)
            return;
    List.push_back(Item);
}

std::string Joined(const std::vector<std::string> &Items)
{
    std::string Out;
    for (const std::string &Item : Items)
        Out += (Out.empty() ? "" : ", ") + Item;
    return Out;
}

} // namespace

bool IsImageFile(const std::string &Path)
{
    return Path.size() <= MaxPathLength && GetFileLength(Path) == static_cast<int32_t>(DeviceImageSize);
}

bool ReadImageFile(const std::string &Path, uint8_t (&Image)[DeviceImageSize])
{
    if (Path.size() <= MaxPathLength && ReadWholeFile(Path, Image, static_cast<int32_t>(DeviceImageSize)))
        return true;
    const int32_t Size = Path.size() <= MaxPathLength ? GetFileLength(Path) : -1;
    if (Size < 0)
        Complain(Path + ": Brak takiego pliku!");
    else
        Complain(Path + ": Błąd odczytu pliku! (" + std::to_string(Size) + " B zamiast " +
                 std::to_string(DeviceImageSize) + " B obrazu pamięci)");
    return false;
}

void PrintDecoding(const TImageDecoding &Decoding, FILE *To)
{
    std::vector<std::string> Absent, Off, Damaged;
    size_t Codes = 0, Reverts = 0;
    for (const TKeptField &K : Decoding.Kept) {
        const std::string &Name = K.Field->Name;
        switch (K.Reason) {
        case TKeptReason::NotInImage: AddOnce(Absent, NotInImageGroup(Name)); break;
        case TKeptReason::ConditionOff:
            if (K.Field->Kind == TFieldKind::Text)
                ++Codes;
            else if (EndsWith(Name, "AutoRevertTime"))
                ++Reverts;
            else if (Name == "TestPeriod")
                AddOnce(Off, "okres testu (test wyłączony)");
            break;
        case TKeptReason::EmptyRecord: AddOnce(Off, "PIN karty SIM (brak w urządzeniu)"); break;
        case TKeptReason::Untrusted: AddOnce(Damaged, Name); break;
        }
    }
    if (Codes > 0)
        Off.insert(Off.begin(), Counted(Codes, "kod SMS wyłączony lub pusty", "kody SMS wyłączone lub puste",
                                        "kodów SMS wyłączonych lub pustych"));
    if (Reverts > 0)
        Off.push_back(Counted(Reverts, "czas powrotu wyjścia", "czasy powrotu wyjść", "czasów powrotu wyjść") +
                      " (powrót wyłączony)");
    if (!Absent.empty())
        PrintLine(To, "Z zestawu bazowego, bo urządzenie ich nie przechowuje: " + Joined(Absent) + ".");
    if (!Off.empty())
        PrintLine(To, "Z zestawu bazowego, bo urządzenie ich nie podaje: " + Joined(Off) + ".");
    if (!Damaged.empty())
        PrintLine(To, "Z zestawu bazowego, bo ich bajty są uszkodzone: " + Joined(Damaged) + ".");
    if (Decoding.Findings.empty())
        return;
    PrintLine(To, "Uwagi do obrazu pamięci (" + std::to_string(Decoding.Findings.size()) + "):");
    // A blank or foreign device repeats one finding over many fields: one line for each such run.
    const std::vector<TImageFinding> &All = Decoding.Findings;
    for (size_t I = 0; I < All.size();) {
        size_t End = I + 1;
        while (End < All.size() && All[I].Field != nullptr && All[End].Field != nullptr && All[End].Text == All[I].Text)
            ++End;
        if (End - I < 3) {
            for (; I < End; ++I)
                PrintLine(To, "  " + ImageFindingText(All[I]));
            continue;
        }
        char Head[64];
        std::snprintf(Head, sizeof Head, "0x%04X (%u) … 0x%04X (%u), %zu pól: ", All[I].Offset, All[I].Offset,
                      All[End - 1].Offset, All[End - 1].Offset, End - I);
        PrintLine(To, "  " + std::string(Head) + All[I].Field->Name + " … " + All[End - 1].Field->Name + ": " +
                  All[I].Text);
        I = End;
    }
}

bool ReadBaseSet(const std::string &BasePath, TSettings &Set)
{
    if (!BasePath.empty())
        return ReadSetFile(BasePath, Set);
    SetDefaultSettings();
    Set = Settings;
    return true;
}

int CliDecode(const TCliArgs &Args)
{
    const std::string &BasePath = Args.Base;
    if (!OutputApartFromInputs(Args[1], {Args[0], BasePath}))
        return ExitFailure;
    auto Set = std::make_unique<TSettings>();
    if (!ReadBaseSet(BasePath, *Set))
        return ExitFailure;
    uint8_t Image[DeviceImageSize];
    if (!ReadImageFile(Args[0], Image))
        return ExitFailure;
    const TImageDecoding Decoding = DecodeDeviceImage(Image, *Set);
    if (!WriteOutFile(Args[1], Set.get(), sizeof(TSettings)))
        return ExitFailure;
    PrintDecoding(Decoding);
    return ExitOk;
}
