// The lock the whole-file routines take for a call, held by the test.
#include "test_ui_main_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

THeldFile::THeldFile(const std::string &Path) : Handle(open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY))
{
    if (Handle < 0 || flock(static_cast<int>(Handle), LOCK_EX | LOCK_NB) != 0)
        throw std::runtime_error("cannot hold " + Path);
}

THeldFile::~THeldFile()
{
    close(static_cast<int>(Handle));
}
