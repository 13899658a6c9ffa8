#include "USameFile.h"

#include <cstdlib>
#include <sys/stat.h>

namespace {

std::string RealPath(const std::string &Name)
{
    char *Real = realpath(Name.c_str(), nullptr);
    if (Real == nullptr)
        return {};
    std::string Out(Real);
    std::free(Real);
    return Out;
}

// The name as the system finds it: through links, "." and "..", and for a
// file not there yet its folder's real name with the last component.
std::string ResolvedName(const std::string &Name)
{
    const std::string Real = RealPath(Name);
    if (!Real.empty())
        return Real;
    const size_t Slash = Name.rfind('/');
    const std::string Folder = Slash == std::string::npos ? "." : Slash == 0 ? "/" : Name.substr(0, Slash);
    const std::string RealFolder = RealPath(Folder);
    if (RealFolder.empty())
        return Name;
    return (RealFolder == "/" ? "" : RealFolder) + "/" + Name.substr(Slash == std::string::npos ? 0 : Slash + 1);
}

} // namespace

bool SameFile(const std::string &A, const std::string &B)
{
    if (A.empty() || B.empty())
        return false;
    struct stat First, Second;
    if (stat(A.c_str(), &First) == 0 && stat(B.c_str(), &Second) == 0)
        return First.st_dev == Second.st_dev && First.st_ino == Second.st_ino;
    return ResolvedName(A) == ResolvedName(B);
}
