#include "platform/SignalCatcher.h"

#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// The one thing a handler may reach: the writing end of the catcher's socket.
volatile std::sig_atomic_t signalWriteFd = -1;

void onSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto ignored = ::write(signalWriteFd, &byte, 1);
}

}  // namespace

TSignalCatcher::TSignalCatcher(std::initializer_list<int> caught) : signals_(caught) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        signals_.clear();
        return;
    }
    ::fcntl(fds_[1], F_SETFL, O_NONBLOCK);
    signalWriteFd = fds_[0];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : signals_) ::sigaction(s, &action, nullptr);
}

TSignalCatcher::~TSignalCatcher() {
    for (const int s : signals_) std::signal(s, SIG_DFL);
    signalWriteFd = -1;
    for (const int fd : fds_)
        if (fd >= 0) ::close(fd);
}

int TSignalCatcher::Take() {
    unsigned char byte = 0;
    while (fds_[1] >= 0 && ::read(fds_[1], &byte, 1) == 1) received_ = byte;
    return received_;
}

}  // namespace platform
