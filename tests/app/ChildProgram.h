#pragma once
// The morvane program run as a child process for the process tests of its
// headless modes, bounded in time so that a hang fails instead of blocking.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace morvane {

// Exit status of the program run with args (standard output into stdoutFile
// when given, standard error dropped) and PATH, or -1 when it did not exit
// by itself within a minute (then it was killed).
inline int RunProgram(const std::vector<std::string>& args, const std::string& stdoutFile = {},
                      const std::string& path = std::getenv("PATH"))
{
    std::vector<std::string> all = {MORVANE_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string pathVar = "PATH=" + path;
    std::vector<char*> env = {pathVar.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!stdoutFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -2;
    int status = 0;
    for (int waited = 0; waited < 6000; ++waited) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

} // namespace morvane
