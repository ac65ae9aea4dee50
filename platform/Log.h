#pragma once
// The plain-text log: one time-stamped line per message, appended to a file that several processes of
// the program share. Writing never raises: a log that cannot be written must not stop the program.

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

class TLog {
public:
    // Nothing is written or created until the first line. `mutexName` names the lock that every process
    // writing the same file takes around each line.
    TLog(std::string fileName, std::string mutexName);
    ~TLog();
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;

    const std::string& FileName() const noexcept { return fileName_; }

    // Appends "yyyy-MM-dd hh:mm:ss.zzz  text" as one line, creating the file and its folders if missing.
    // Waits for the lock while another process writes a line, but not for a lock held for seconds.
    void LogMsg(const QString& text);

private:
    std::string fileName_;
    std::string lockPath_;
    int lockFd_ = -1;              // opened with the first line
    bool lockAbandoned_ = false;   // held by someone else past the wait once: lines go unguarded
    bool toldNotRegular_ = false;  // the log's name was found taken by something other than a file
    std::mutex mutex_;             // the cross-process lock does not order the threads of one process
};

// The log in use, set up and torn down by the application object.
extern std::unique_ptr<TLog> LogObj;

// Writes a line through LogObj; nothing when there is no log.
void MsgOut(const QString& text);

// A log file is reused until it holds more than this; then the next number starts.
inline constexpr std::int64_t kLogReuseLimit = 10 * 1024 * 1024;

// The log file to write in `folder` (ending with "/"): "Log.txt" when there is none yet, else the
// highest-numbered "Log<n>.txt" while it holds at most kLogReuseLimit bytes, else "Log<n+1>.txt".
// The window and velmora-cli share it.
std::string LogFileNameIn(const std::string& folder);

}  // namespace platform
