#include "CliCommands.h"
#include "CliSystem.h"

#include "UFields.h"
#include "UFiles.h"
#include "UProcs.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace {

const char *const ReadError = "Błąd odczytu pliku!";
const char *const WriteError = "Błąd zapisu pliku!";
const char *const NoSuchFile = "Brak takiego pliku!";

// The fields in record order rather than in the window's filling order.
std::vector<const TFieldDesc *> FieldsInRecordOrder()
{
    std::vector<const TFieldDesc *> Fields;
    for (const TFieldDesc &F : SettingsFields())
        Fields.push_back(&F);
    std::stable_sort(Fields.begin(), Fields.end(),
                     [](const TFieldDesc *A, const TFieldDesc *B) { return A->Offset < B->Offset; });
    return Fields;
}

// Raw values, so that two texts that print alike but differ in bytes still differ.
bool SameValue(const TSettings &A, const TSettings &B, const TFieldDesc &F)
{
    switch (F.Kind) {
    case TFieldKind::Text: return FieldText(A, F) == FieldText(B, F);
    case TFieldKind::Flag:
    case TFieldKind::RadioPair: return FieldByte(A, F) == FieldByte(B, F);
    default: return FieldInt(A, F) == FieldInt(B, F);
    }
}

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

int CliDiff(const TCliArgs &Args)
{
    TSettings A, B;
    if (!ReadSetFile(Args[0], A) || !ReadSetFile(Args[1], B))
        return ExitFailure;
    int Differences = 0;
    for (const TFieldDesc *F : FieldsInRecordOrder()) {
        if (SameValue(A, B, *F))
            continue;
        PrintLine(F->Name + ": " + FieldValueText(A, *F) + " -> " + FieldValueText(B, *F));
        ++Differences;
    }
    return Differences == 0 ? ExitOk : ExitNegative;
}
