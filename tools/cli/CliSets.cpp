// The subcommands on sets: defaults, image, check, dump and diff.
#include "CliCommands.h"
#include "CliFiles.h"

#include "UFields.h"
#include "UImage.h"
#include "UProcs.h"

#include <cstdio>

namespace {

void PrintLine(const std::string &Line)
{
    std::fwrite(Line.data(), 1, Line.size(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

int CliDefaults(const TCliArgs &Args)
{
    SetDefaultSettings();
    return WriteOutFile(Args[0], &Settings, sizeof Settings) ? ExitOk : ExitFailure;
}

int CliImage(const TCliArgs &Args)
{
    if (!FilesApart({Args[0]}, {Args[1]}))
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
