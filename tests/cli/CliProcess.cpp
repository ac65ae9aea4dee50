#include "CliProcess.h"

#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {

namespace {

// True while more may come; false at end of file (a terminal whose other side is closed reports EIO).
bool drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    return n < 0 && errno == EINTR;
}

}  // namespace

CliResult runCli(const CliRun& run) {
    int outPipe[2];
    int errFds[2];  // read end, write end
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    if (run.errOnTerminal) {
        if (::openpty(&errFds[0], &errFds[1], nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        ::fcntl(errFds[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(errFds[1], F_SETFD, FD_CLOEXEC);
    } else if (::pipe2(errFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (run.outFile.empty())
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, run.outFile.c_str(), O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errFds[1], 2);
    std::vector<std::string> argStore{CLI_PATH};
    argStore.insert(argStore.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errFds[1]);
    if (spawned != 0) throw std::runtime_error("posix_spawn failed");

    CliResult result;
    bool outOpen = true;
    bool errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errFds[0] : -1, POLLIN, 0}};
        if (::poll(fds, 2, 30'000) <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        if (outOpen && fds[0].revents) outOpen = drain(outPipe[0], result.out);
        if (errOpen && fds[1].revents) {
            const std::size_t before = result.err.size();
            errOpen = drain(errFds[0], result.err);
            if (run.onErr && result.err.size() > before) run.onErr(result.err, pid);
        }
    }
    ::close(outPipe[0]);
    ::close(errFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.termSignal = WTERMSIG(status);
    return result;
}

}  // namespace clitest
