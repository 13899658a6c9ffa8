#include "CliCommands.h"
#include "CliSystem.h"

#include "UFields.h"
#include "UFiles.h"
#include "UImage.h"
#include "UProcs.h"
#include "USameFile.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

const char *const ReadError = "Błąd odczytu pliku!";
const char *const WriteError = "Błąd zapisu pliku!";
const char *const NoSuchFile = "Brak takiego pliku!";

void PrintLine(const std::string &Line)
{
    std::fwrite(Line.data(), 1, Line.size(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

void Complain(const std::string &Message)
{
    std::fprintf(stderr, "trackwarden-cli: %s\n", Message.c_str());
}

bool ReadSetFile(const std::string &Path, TSettings &Set)
{
    if (PathLength(Path) > MaxPathLength) {
        Complain(Path + ": " + ReadError + " (ścieżka dłuższa niż " + std::to_string(MaxPathLength) + " znaków)");
        return false;
    }
    if (!FileExistsByName(Path)) {
        Complain(Path + ": " + NoSuchFile);
        return false;
    }
    // Read aside: a failed read may leave part of the buffer overwritten.
    TSettings Read;
    if (ReadWholeFile(Path, &Read, sizeof Read)) {
        Set = Read;
        return true;
    }
    const int64_t Size = GetFullFileLength(Path);
    if (Size >= 0 && Size != static_cast<int64_t>(sizeof Read))
        Complain(Path + ": " + ReadError + " (" + std::to_string(Size) + " B zamiast " + std::to_string(sizeof Read) +
                 " B)");
    else
        Complain(Path + ": " + ReadError + " (plik zajęty lub niedostępny)");
    return false;
}

bool WriteOutFile(const std::string &Path, const void *Data, int32_t Count)
{
    if (PathLength(Path) > MaxPathLength) {
        Complain(Path + ": " + WriteError + " (ścieżka dłuższa niż " + std::to_string(MaxPathLength) + " znaków)");
        return false;
    }
    if (!WriteWholeFile(Path, Data, Count)) {
        struct stat St;
        const bool ReadOnly = stat(Path.c_str(), &St) == 0 && (St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        Complain(Path + ": " + WriteError + (ReadOnly ? " (plik tylko do odczytu)" : ""));
        return false;
    }
    return true;
}

bool OutputApartFromInputs(const std::string &Output, const std::vector<std::string> &Inputs)
{
    for (const std::string &Input : Inputs) {
        if (SameFile(Output, Input)) {
            Complain(Output + ": to ten sam plik co " + Input + "; nic nie zapisano");
            return false;
        }
    }
    return true;
}

int CliDefaults(const TCliArgs &Args)
{
    SetDefaultSettings();
    return WriteOutFile(Args[0], &Settings, sizeof Settings) ? ExitOk : ExitFailure;
}

int CliImage(const TCliArgs &Args)
{
    if (!OutputApartFromInputs(Args[1], {Args[0]}))
        return ExitFailure;
    if (!ReadSetFile(Args[0], Settings))
        return ExitFailure;
    const std::string Problem = CheckSettings();
    if (!Problem.empty()) {
        Complain(Args[0] + ": " + Problem);
        return ExitNegative;
    }
    EncodeDeviceImage();
    return WriteOutFile(Args[1], DeviceImage, sizeof DeviceImage) ? ExitOk : ExitFailure;
}

int CliCheck(const TCliArgs &Args)
{
    if (!ReadSetFile(Args[0], Settings))
        return ExitFailure;
    const std::string Problem = CheckSettings();
    if (Problem.empty())
        return ExitOk;
    PrintLine(Problem);
    return ExitNegative;
}

int CliDump(const TCliArgs &Args)
{
    TSettings Set;
    if (!ReadSetFile(Args[0], Set))
        return ExitFailure;
    for (const TFieldDesc *F : FieldsInRecordOrder())
        PrintLine(F->Name + " = " + FieldValueText(Set, *F));
    return ExitOk;
}

namespace {

// A side of diff: a set, or a device image decoded onto Base.
bool ReadSide(const std::string &Path, const TSettings &Base, TSettings &Set)
{
    uint8_t Image[DeviceImageSize];
    if (!ReadImageFile(Path, Image))
        return false;
    Set = Base;
    for (const TImageFinding &F : DecodeDeviceImage(Image, Set).Findings)
        Complain(Path + ": " + ImageFindingText(F));
    return true;
}

} // namespace

int CliDiff(const TCliArgs &Args)
{
    // An image is compared as the settings it carries: decoded onto the set
    // on the other side (so that what no image holds never differs), or
    // onto a new default set when both sides are images.
    const bool ImageA = IsImageFile(Args[0]), ImageB = IsImageFile(Args[1]);
    TSettings A, B;
    if ((!ImageA && !ReadSetFile(Args[0], A)) || (!ImageB && !ReadSetFile(Args[1], B)))
        return ExitFailure;
    SetDefaultSettings();
    if (ImageA && !ReadSide(Args[0], ImageB ? Settings : B, A))
        return ExitFailure;
    if (ImageB && !ReadSide(Args[1], ImageA ? Settings : A, B))
        return ExitFailure;
    int Differences = 0;
    for (const TFieldDesc *F : FieldsInRecordOrder()) {
        if (SameFieldValue(A, B, *F))
            continue;
        PrintLine(F->Name + ": " + FieldValueText(A, *F) + " -> " + FieldValueText(B, *F));
        ++Differences;
    }
    return Differences == 0 ? ExitOk : ExitNegative;
}
