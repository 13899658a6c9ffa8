#include "UStandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

void OpenStandardStreams()
{
    for (int Fd = 0; Fd <= 2; ++Fd) {
        if (fcntl(Fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // Lower descriptors are open by now, so open() takes this one; dup2 in case it did not.
        const int Null = open("/dev/null", Fd == 0 ? O_RDONLY : O_WRONLY);
        if (Null >= 0 && Null != Fd) {
            dup2(Null, Fd);
            close(Null);
        }
    }
}
