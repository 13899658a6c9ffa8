// Device images as files: decode, and what read and decode report.
#include "CliCommands.h"

#include "UFiles.h"
#include "UImage.h"
#include "UProcs.h"

#include <cstdio>
#include <memory>

namespace {

void PrintLine(FILE *To, const std::string &Line)
{
    std::fwrite(Line.data(), 1, Line.size(), To);
    std::fputc('\n', To);
}

} // namespace

bool ParseOptions(const TCliArgs &Args, size_t From, const std::vector<TCliOption> &Options)
{
    for (size_t I = From; I < Args.size(); ++I) {
        const TCliOption *Found = nullptr;
        for (const TCliOption &O : Options)
            if (Args[I] == O.Name)
                Found = &O;
        if (Found == nullptr) {
            Complain("nieznana opcja: " + Args[I]);
            return false;
        }
        if (Found->Value == nullptr) {
            *Found->Flag = true;
            continue;
        }
        if (I + 1 >= Args.size()) {
            Complain(std::string("brak wartości opcji ") + Found->Name);
            return false;
        }
        *Found->Value = Args[++I];
    }
    return true;
}

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
    for (const std::string &Line : DecodingReport(Decoding))
        PrintLine(To, Line);
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
    std::string BasePath;
    if (!ParseOptions(Args, 2, {{"--base", &BasePath}}))
        return ExitFailure;
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
