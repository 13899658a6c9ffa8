// decode: a device image file into a set, and what the base gave.
#include "CliCommands.h"
#include "CliFiles.h"

#include "UImage.h"

#include <cstdio>
#include <memory>

int CliDecode(const TCliArgs &Args)
{
    const std::string &BasePath = Args.Base;
    if (!FilesApart({Args[0], BasePath}, {Args[1]}))
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
    for (const std::string &Line : DecodingReport(Decoding)) {
        std::fwrite(Line.data(), 1, Line.size(), stdout);
        std::fputc('\n', stdout);
    }
    return ExitOk;
}
