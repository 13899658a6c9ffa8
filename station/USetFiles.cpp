#include "USetFiles.h"

#include "UFields.h"
#include "UFiles.h"
#include "UProcs.h"
#include "USameFile.h"

#include <sys/stat.h>

namespace {

const char *const ReadError = "Błąd odczytu pliku!";
const char *const WriteError = "Błąd zapisu pliku!";
const char *const NoSuchFile = "Brak takiego pliku!";

bool NameTooLong(const std::string &Path, const char *Error, std::string &Problem)
{
    if (PathLength(Path) <= MaxPathLength)
        return false;
    Problem = Path + ": " + Error + " (ścieżka dłuższa niż " + std::to_string(MaxPathLength) + " znaków)";
    return true;
}

// Why a file that is there could not be read whole.
std::string Unreadable(const std::string &Path)
{
    struct stat St;
    if (stat(Path.c_str(), &St) == 0 && !S_ISREG(St.st_mode))
        return " (to nie jest zwykły plik)";
    return " (plik zajęty lub niedostępny)";
}

// What no window could have saved: a text longer than its field, a value
// outside its control's range, and the settings check's finding.
std::vector<std::string> SetDamage(const TSettings &Set)
{
    std::vector<std::string> Damage;
    for (const TFieldDesc *F : FieldsInRecordOrder()) {
        if (F->Kind == TFieldKind::Text) {
            const int Length = reinterpret_cast<const uint8_t *>(&Set)[F->Offset];
            if (Length > F->Capacity)
                Damage.push_back(F->Name + ": długość " + std::to_string(Length) + ", a pole mieści " +
                                 std::to_string(F->Capacity));
            continue;
        }
        const bool Byte = F->Kind == TFieldKind::Flag || F->Kind == TFieldKind::RadioPair;
        const int32_t Value = Byte ? FieldByte(Set, *F) : FieldInt(Set, *F);
        if (Value < F->Min || Value > F->Max)
            Damage.push_back(F->Name + ": " + ValueErrorText(*F, std::to_string(Value), TValueError::OutOfRange));
    }
    if (const std::string Finding = CheckSettingsOf(Set); !Finding.empty())
        Damage.push_back(Finding);
    return Damage;
}

} // namespace

bool ReadSetFile(const std::string &Path, TSettings &Set, std::string &Problem)
{
    if (NameTooLong(Path, ReadError, Problem))
        return false;
    if (!FileExistsByName(Path)) {
        Problem = Path + ": " + NoSuchFile;
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
        Problem =
            Path + ": " + ReadError + " (" + std::to_string(Size) + " B zamiast " + std::to_string(sizeof Read) + " B)";
    else
        Problem = Path + ": " + ReadError + Unreadable(Path);
    return false;
}

bool WriteOutFile(const std::string &Path, const void *Data, int32_t Count, std::string &Problem)
{
    if (NameTooLong(Path, WriteError, Problem))
        return false;
    if (!WriteWholeFile(Path, Data, Count)) {
        struct stat St;
        const bool ReadOnly = stat(Path.c_str(), &St) == 0 && (St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        Problem = Path + ": " + WriteError + (ReadOnly ? " (plik tylko do odczytu)" : "");
        return false;
    }
    return true;
}

bool OutFileWritable(const std::string &Path, std::string &Problem)
{
    if (NameTooLong(Path, WriteError, Problem))
        return false;
    if (WholeFileWritable(Path))
        return true;
    Problem = Path + ": " + WriteError + " (nie można tu zapisać; nic nie uruchomiono)";
    return false;
}

bool FilesApart(const std::vector<std::string> &Inputs, const std::vector<std::string> &Outputs, const std::string &Log,
                std::string &Problem)
{
    for (size_t O = 0; O < Outputs.size(); ++O) {
        for (const std::string &Input : Inputs) {
            if (SameFile(Outputs[O], Input)) {
                Problem = Outputs[O] + ": to ten sam plik co " + Input + "; nic nie zapisano";
                return false;
            }
        }
        for (size_t Other = 0; Other < O; ++Other) {
            if (SameFile(Outputs[O], Outputs[Other])) {
                Problem = Outputs[O] + ": to ten sam plik co " + Outputs[Other] + "; nic nie zapisano";
                return false;
            }
        }
    }
    std::vector<std::string> All = Inputs;
    All.insert(All.end(), Outputs.begin(), Outputs.end());
    for (const std::string &File : All) {
        if (SameFile(Log, File)) {
            Problem = "--log " + Log + ": to ten sam plik co " + File + "; dziennik musi być osobnym plikiem";
            return false;
        }
    }
    return true;
}

bool IsImageFile(const std::string &Path)
{
    return GetFullFileLength(Path) == static_cast<int64_t>(DeviceImageSize);
}

bool ReadImageFile(const std::string &Path, uint8_t (&Image)[DeviceImageSize], std::string &Problem)
{
    if (NameTooLong(Path, ReadError, Problem))
        return false;
    if (ReadWholeFile(Path, Image, static_cast<int32_t>(DeviceImageSize)))
        return true;
    const int32_t Size = GetFileLength(Path);
    if (Size >= 0)
        Problem = Path + ": " + ReadError + " (" + std::to_string(Size) + " B zamiast " +
                  std::to_string(DeviceImageSize) + " B obrazu pamięci)";
    else if (FileExistsByName(Path))
        Problem = Path + ": " + ReadError + Unreadable(Path);
    else
        Problem = Path + ": " + NoSuchFile;
    return false;
}

bool ReadBaseSet(const std::string &BasePath, TSettings &Set, std::string &Problem, std::string &Warning)
{
    if (BasePath.empty()) {
        SetDefaultSettings();
        Set = Settings;
        return true;
    }
    if (!ReadSetFile(BasePath, Set, Problem))
        return false;
    const std::vector<std::string> Damage = SetDamage(Set);
    if (!Damage.empty())
        Warning = BasePath + ": uwaga, zestaw bazowy jest uszkodzony (" + Damage[0] +
                  (Damage.size() > 1 ? "; razem " + std::to_string(Damage.size()) + " usterek" : std::string()) +
                  "); ustawienia, których urządzenie nie podaje, przejdą z niego "
                  "bez zmian";
    return true;
}
