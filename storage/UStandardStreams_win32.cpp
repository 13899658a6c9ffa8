#include "UStandardStreams.h"

#include <cstdio>
#include <io.h>

void OpenStandardStreams()
{
    // A program started without a console, or with a handle closed, has
    // streams on no descriptor (-2) or descriptors on no handle.
    FILE *const Streams[] = {stdin, stdout, stderr};
    for (int Fd = 0; Fd <= 2; ++Fd) {
        const int Own = _fileno(Streams[Fd]);
        if (Own >= 0 && _get_osfhandle(Own) != -1 && _get_osfhandle(Own) != -2)
            continue;
        (void)std::freopen("NUL", Fd == 0 ? "r" : "w", Streams[Fd]);
    }
}
