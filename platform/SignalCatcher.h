#pragma once
// Turns asynchronous signals (Ctrl+C, a logout's or a shutdown's SIGTERM) into something the event
// loop can hear: the handler only writes the signal's number into a socket, whose other end a
// QSocketNotifier watches. One catcher at a time; the signals go back to their default on destruction.

#include <initializer_list>
#include <vector>

namespace platform {

class TSignalCatcher {
public:
    explicit TSignalCatcher(std::initializer_list<int> caught);
    ~TSignalCatcher();
    TSignalCatcher(const TSignalCatcher&) = delete;
    TSignalCatcher& operator=(const TSignalCatcher&) = delete;

    // Readable when a signal arrived; -1 when no socket could be made (the signals then keep their
    // default action).
    int ReadFd() const noexcept { return fds_[1]; }
    // Takes what is pending and returns the signal received last, or 0.
    int Take();
    int Received() const noexcept { return received_; }

private:
    std::vector<int> signals_;
    int fds_[2] = {-1, -1};
    int received_ = 0;
};

}  // namespace platform
