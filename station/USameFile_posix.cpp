#include "USameFile.h"

#include <sys/stat.h>

bool SameFile(const std::string &A, const std::string &B)
{
    struct stat First, Second;
    return stat(A.c_str(), &First) == 0 && stat(B.c_str(), &Second) == 0 && First.st_dev == Second.st_dev &&
           First.st_ino == Second.st_ino;
}
