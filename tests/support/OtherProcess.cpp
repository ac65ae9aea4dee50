#include "support/OtherProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

OtherProcessHolding::OtherProcessHolding(const std::string& path, Mode mode) {
    std::array<int, 2> pipe{};
    if (::pipe(pipe.data()) != 0) throw std::runtime_error("pipe failed");
    // Appending opens for writing without changing a byte.
    const std::string script = mode == Mode::Read ? R"(exec 3<"$1" && echo ready && exec sleep 600)"
                                                  : R"(exec 3>>"$1" && echo ready && exec sleep 600)";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), "sh", path.c_str(), nullptr};
    const int spawned =
        posix_spawn(&pid_, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    char answer[8] = {};
    ssize_t got = 0;
    if (spawned == 0) {
        do {
            got = ::read(pipe[0], answer, sizeof answer);
        } while (got < 0 && errno == EINTR);
    }
    ::close(pipe[0]);
    if (spawned != 0 || got <= 0) {
        if (spawned == 0) ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("the other process could not open " + path);
    }
}

pid_t spawnShell(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> store{"/bin/sh", "-c", script, "sh"};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("could not start /bin/sh");
    return pid;
}

int waitExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

OtherProcessHolding::~OtherProcessHolding() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

}  // namespace testsupport
