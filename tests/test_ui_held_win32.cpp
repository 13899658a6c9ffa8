// A handle that shares nothing: every other open of the file fails.
#include "test_ui_main_support.h"

#include <windows.h>

THeldFile::THeldFile(const std::string &Path)
    : Handle(reinterpret_cast<intptr_t>(
          CreateFileA(Path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)))
{
    if (reinterpret_cast<HANDLE>(Handle) == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot hold " + Path);
}

THeldFile::~THeldFile()
{
    CloseHandle(reinterpret_cast<HANDLE>(Handle));
}
