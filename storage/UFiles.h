// Whole-file access: each routine opens a file for one call, exclusively,
// and closes it on every path. Failures are reported by the result only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Names are paths in the platform's own form (Windows-1250 on Windows,
// bytes on POSIX). A name longer than MaxPathLength characters is refused
// like a missing file, rather than cut to another file's name.
constexpr size_t MaxPathLength = 255;

// The characters a name counts against MaxPathLength: those it would have in
// Windows-1250, one per byte on Windows, one per UTF-8 character on POSIX.
size_t PathLength(std::string_view Name);

// True only if the file exists, is exactly Count bytes long and all of it was read.
bool ReadWholeFile(std::string_view Name, void *Buffer, int32_t Count);
// True only when the whole new file is in place. The old file survives a failed write,
// and a file nobody may write (read-only) is never replaced.
bool WriteWholeFile(std::string_view Name, const void *Buffer, int32_t Count);
// True when WriteWholeFile could save Name now: its folder may be written, and
// what is there (through a link, its target) is a file that may be replaced.
// Lets a program refuse a bad name before it makes what it would save.
bool WholeFileWritable(std::string_view Name);
// The size's low 32 bits, or -1 when the file cannot be opened.
int32_t GetFileLength(std::string_view Name);
// The full size, or -1 when the file cannot be opened.
int64_t GetFullFileLength(std::string_view Name);
// True if an entry of that name exists and is not a folder.
bool FileExistsByName(std::string_view Name);

// The platform's path separator: '/' here, '\\' on Windows.
extern const char PathSeparator;

// The executable's folder with its trailing separator.
std::string ExecutableDir();

// ProgramDir + "Sets" + separator + Name, and ProgramDir + "Sys" + separator + "Port.bin".
std::string SettingsFilePath(std::string_view Name);
std::string PortFilePath();
// ProgramDir + "Sets" (no trailing separator): where the file dialogs open.
std::string SettingsFolder();

// The bare name of a path chosen in a dialog: what follows the last '/' or '\\'.
std::string BareFileName(std::string_view Path);
