#include "CliFiles.h"
#include "CliArgs.h"

namespace {

bool Said(bool Ok, const std::string &Problem)
{
    if (!Ok)
        Complain(Problem);
    return Ok;
}

} // namespace

bool ReadSetFile(const std::string &Path, TSettings &Set)
{
    std::string Problem;
    return Said(ReadSetFile(Path, Set, Problem), Problem);
}

bool WriteOutFile(const std::string &Path, const void *Data, int32_t Count)
{
    std::string Problem;
    return Said(WriteOutFile(Path, Data, Count, Problem), Problem);
}

bool OutFileWritable(const std::string &Path)
{
    std::string Problem;
    return Said(OutFileWritable(Path, Problem), Problem);
}

bool FilesApart(const std::vector<std::string> &Inputs, const std::vector<std::string> &Outputs, const std::string &Log)
{
    std::string Problem;
    return Said(FilesApart(Inputs, Outputs, Log, Problem), Problem);
}

bool ReadImageFile(const std::string &Path, uint8_t (&Image)[DeviceImageSize])
{
    std::string Problem;
    return Said(ReadImageFile(Path, Image, Problem), Problem);
}

bool ReadBaseSet(const std::string &BasePath, TSettings &Set)
{
    std::string Problem, Warning;
    const bool Ok = Said(ReadBaseSet(BasePath, Set, Problem, Warning), Problem);
    if (!Warning.empty())
        Complain(Warning);
    return Ok;
}
