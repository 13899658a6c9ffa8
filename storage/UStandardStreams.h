// Descriptors 0, 1 and 2 are open before a program opens anything: one
// that was closed (`>&-`) would otherwise be taken by the first file the
// program opens, and what it prints would land in that file.
#pragma once

// Opens each closed standard descriptor on the null device (/dev/null,
// NUL), and gives the C streams on Windows a handle where they have none.
// Called first in main, before any file, pipe or port is opened.
void OpenStandardStreams();
