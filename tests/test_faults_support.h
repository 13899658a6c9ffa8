// What the reliability tests watch in their own process: threads, their CPU
// time and resident memory, read from /proc.
#pragma once

#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

inline int ThreadCount()
{
    int Count = 0;
    if (DIR *Dir = opendir("/proc/self/task")) {
        while (dirent *Entry = readdir(Dir))
            Count += Entry->d_name[0] != '.';
        closedir(Dir);
    }
    return Count;
}

// A thread started and joined first, so that helpers a runtime starts with
// the first thread (ThreadSanitizer's) count in the baseline, not as leftovers.
inline int SettledThreadCount()
{
    std::thread([] {}).join();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ThreadCount();
}

// CPU seconds (user + system) of every thread of this process but the calling one.
inline std::map<long, double> OtherThreadsCpu()
{
    std::map<long, double> Out;
    const long Self = static_cast<long>(gettid());
    const double Tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    if (DIR *Dir = opendir("/proc/self/task")) {
        while (dirent *Entry = readdir(Dir)) {
            if (Entry->d_name[0] == '.')
                continue;
            const long Tid = std::stol(Entry->d_name);
            if (Tid == Self)
                continue;
            std::ifstream Stat(std::string("/proc/self/task/") + Entry->d_name + "/stat");
            std::string Text((std::istreambuf_iterator<char>(Stat)), {});
            // Fields after the command name, which ends with the last ')': state is field 3, utime 14, stime 15.
            const size_t Close = Text.rfind(')');
            if (Close == std::string::npos)
                continue;
            std::istringstream Fields(Text.substr(Close + 2));
            std::string Field;
            double Ticks = 0;
            for (int N = 3; N <= 15 && Fields >> Field; ++N)
                if (N >= 14)
                    Ticks += std::stod(Field);
            Out[Tid] = Ticks / Tick;
        }
        closedir(Dir);
    }
    return Out;
}

// VmRSS in kB.
inline long ResidentKb()
{
    std::ifstream Status("/proc/self/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind("VmRSS:", 0) == 0)
            return std::stol(Line.substr(6));
    return -1;
}
