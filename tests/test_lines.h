// Small helpers of the tests on every platform: lines, progress and whole files.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<std::string> Join(std::vector<std::string> Head, const std::vector<std::string> &Tail)
{
    Head.insert(Head.end(), Tail.begin(), Tail.end());
    return Head;
}

// The progress a pass reports: every block's start up to Last.
inline std::vector<int32_t> Upto(int32_t Last)
{
    std::vector<int32_t> Out;
    for (int32_t Bytes = 0; Bytes <= Last; Bytes += 32)
        Out.push_back(Bytes);
    return Out;
}

inline std::string JoinLines(const std::vector<std::string> &Lines)
{
    std::string Text;
    for (const std::string &Line : Lines)
        Text += Line + "\n";
    return Text;
}

inline std::vector<std::string> ReadLines(const std::string &Path)
{
    std::vector<std::string> Lines;
    std::ifstream In(Path);
    for (std::string Line; std::getline(In, Line);)
        Lines.push_back(Line);
    return Lines;
}

inline std::vector<uint8_t> ReadBytes(const std::string &Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), {});
}

inline void WriteBytes(const std::string &Path, const void *Data, size_t Count)
{
    std::ofstream Out(Path, std::ios::binary);
    Out.write(static_cast<const char *>(Data), static_cast<std::streamsize>(Count));
}
