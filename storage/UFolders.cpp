#include "UFolders.h"

#include "UFiles.h"
#include "UFoldersBackend.h"

std::string ChooseProgramFolder(const std::string &ExeDir, const std::string &UserDir)
{
    if (!ExeDir.empty() && FoldersBackend::FolderWritable(ExeDir + "Sets"))
        return ExeDir;
    if (!UserDir.empty() && FoldersBackend::MakeFolders(UserDir + "Sets") &&
        FoldersBackend::MakeFolders(UserDir + "Sys"))
        return UserDir;
    // Nowhere better: the files fail there as they would have anyway.
    return ExeDir;
}

std::string UserDataFolder()
{
    return FoldersBackend::UserDataFolder();
}

std::string ProgramFolder()
{
    return ChooseProgramFolder(ExecutableDir(), UserDataFolder());
}
