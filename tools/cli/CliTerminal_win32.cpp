#include "CliTerminal.h"

#include <windows.h>

// Only a console has a console mode; a file, a pipe or the null device has none.
bool StderrIsTerminal()
{
    DWORD Mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &Mode) != 0;
}
