// Scratch folders and file helpers for the file and CLI tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using TBytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with all it holds.
class TScratchDir {
public:
    TScratchDir()
    {
        std::random_device Seed;
        for (;;) {
            Path = fs::temp_directory_path() / ("tw-test-" + std::to_string(Seed()));
            std::error_code Error;
            if (fs::create_directory(Path, Error))
                break;
        }
    }
    ~TScratchDir()
    {
        std::error_code Error;
        for (const auto &Entry : fs::recursive_directory_iterator(Path, Error))
            if (!Entry.is_symlink())
                fs::permissions(Entry.path(), fs::perms::owner_all, fs::perm_options::add, Error);
        fs::remove_all(Path, Error);
    }
    TScratchDir(const TScratchDir &) = delete;
    TScratchDir &operator=(const TScratchDir &) = delete;

    std::string operator/(const std::string &Name) const { return (Path / Name).string(); }

    fs::path Path;
};

inline TBytes PatternBytes(size_t Count, uint32_t Seed)
{
    std::mt19937 Rng(Seed);
    TBytes Out(Count);
    for (uint8_t &B : Out)
        B = static_cast<uint8_t>(Rng());
    return Out;
}

inline void PutFile(const std::string &Path, const TBytes &Data)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char *>(Data.data()), static_cast<std::streamsize>(Data.size()));
    ASSERT_TRUE(Out.good()) << Path;
}

inline TBytes GetFile(const std::string &Path)
{
    std::ifstream In(Path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// Names in a folder, links and hidden entries included.
inline std::set<std::string> Listing(const fs::path &Folder)
{
    std::set<std::string> Names;
    std::error_code Error;
    for (const auto &Entry : fs::directory_iterator(Folder, Error))
        Names.insert(Entry.path().filename().string());
    return Names;
}
