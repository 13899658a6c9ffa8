// Running trackwarden-cli as a child, for the CLI's tests.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char **environ;

// Starts the program in Folder (paths on the command line are relative to it;
// empty: this process's folder) with no input, stdout into OutPath (closed
// when it is empty) and stderr into ErrPath; its pid, or 0 when it could not start.
inline pid_t StartCli(const std::vector<std::string> &Arguments, const std::string &Folder,
                      const std::string &OutPath, const std::string &ErrPath)
{
    std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/trackwarden-cli"};
    Args.insert(Args.end(), Arguments.begin(), Arguments.end());
    std::vector<char *> Argv;
    for (std::string &A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    if (!Folder.empty())
        posix_spawn_file_actions_addchdir_np(&Actions, Folder.c_str());
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    if (OutPath.empty())
        posix_spawn_file_actions_addclose(&Actions, 1);
    else
        posix_spawn_file_actions_addopen(&Actions, 1, OutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t Pid = 0;
    const int Failed = posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    return Failed == 0 ? Pid : 0;
}

// Its exit status, or -1 when it did not exit.
inline int WaitCli(pid_t Pid)
{
    int Raw = 0;
    if (Pid <= 0 || waitpid(Pid, &Raw, 0) != Pid)
        return -1;
    return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
}

// As StartCli, waited for: its exit status, or -1 when it could not start or did not exit.
inline int SpawnCli(const std::vector<std::string> &Arguments, const std::string &Folder,
                    const std::string &OutPath, const std::string &ErrPath)
{
    return WaitCli(StartCli(Arguments, Folder, OutPath, ErrPath));
}
