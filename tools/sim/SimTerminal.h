// Where the simulated device sits: a new pseudo-terminal behind a link that
// it owns (--link), or an existing terminal (--port); and the pace that the
// terminal's settings give the line.
#pragma once

#include <cstdint>
#include <string>
#include <termios.h>

struct TSimTerminal {
    int Fd = -1;     // the device's end: the master, or the port itself
    int HoldFd = -1; // a pseudo-terminal's slave, held open by us
    std::string Name;
    termios Saved{};
    bool RestoreSettings = false;
};

// A new pseudo-terminal in raw mode; empty, or what failed.
std::string OpenPseudoTerminal(TSimTerminal &Terminal);
// An existing terminal, exclusively, raw at Baud; empty, or why not.
std::string OpenPort(const std::string &Name, int32_t Baud, TSimTerminal &Terminal);
// Gives the port back with the settings it had.
void CloseTerminal(TSimTerminal &Terminal);

// The speed and the bits of a character as the terminal is set now (for a
// pseudo-terminal's master, as the program at the other end set it).
bool LineSpeed(int Fd, int32_t &Baud, int32_t &BitsPerCharacter);
bool BaudSupported(int32_t Baud);

// The link is the simulator's only while it holds PATH.lock beside it.
int LockLink(const std::string &LinkPath);
void UnlockLink(const std::string &LinkPath, int LockFd);
// Why PATH may not be replaced by a link, or empty.
std::string LinkPlaceProblem(const std::string &LinkPath);
bool LinkPointsAt(const std::string &LinkPath, const std::string &Target);
