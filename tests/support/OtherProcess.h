#pragma once
// Another process that keeps a file open, as a player, a download or a copy in progress does: a shell
// that opens the file and sleeps. The file is open once the constructor returns; the destructor ends
// the process.

#include <string>
#include <vector>

#include <sys/types.h>

namespace testsupport {

// Starts `/bin/sh -c script sh args...` and returns its process ID; waitExit() reaps it.
pid_t spawnShell(const std::string& script, const std::vector<std::string>& args);
int waitExit(pid_t pid);

class OtherProcessHolding {
public:
    enum class Mode { Read, Write };
    OtherProcessHolding(const std::string& path, Mode mode);
    ~OtherProcessHolding();
    OtherProcessHolding(const OtherProcessHolding&) = delete;
    OtherProcessHolding& operator=(const OtherProcessHolding&) = delete;

private:
    pid_t pid_ = -1;
};

}  // namespace testsupport
