#include "UPosixFiles.h"

#include "USerialComm.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const NotARegularFile = "to nie jest zwykły plik";

} // namespace

int OpenRegularFile(const std::string &Path, int Flags, std::string &Error)
{
    struct stat St;
    if (stat(Path.c_str(), &St) == 0 && !S_ISREG(St.st_mode)) {
        Error = NotARegularFile;
        return -1;
    }
    const int Fd = open(Path.c_str(), Flags | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (Fd < 0) {
        Error = SystemError("open");
        return -1;
    }
    if (fstat(Fd, &St) != 0 || !S_ISREG(St.st_mode)) {
        Error = NotARegularFile;
        close(Fd);
        return -1;
    }
    return Fd;
}

bool WriteAll(int Fd, const char *Data, size_t Size)
{
    size_t Done = 0;
    while (Done < Size) {
        const ssize_t N = write(Fd, Data + Done, Size - Done);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            return false;
        Done += static_cast<size_t>(N);
    }
    return true;
}
