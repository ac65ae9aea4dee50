#pragma once
// Shared by the job's tests: a window that records the job's messages, and a file system that can hold
// the job at the open of a chosen file.

#include <QEvent>
#include <QObject>
#include <QTest>

#include <condition_variable>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "engine/JobMessages.h"
#include "engine/KZVThread.h"
#include "platform/Messages.h"

namespace jobtest {

// A message as the window received it: the number it came under and what it carried.
struct Message {
    std::uint32_t msg;
    engine::TJobMessage payload;
    friend bool operator==(const Message&, const Message&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Message& m) {
    out << "{" << m.msg << ", ";
    std::visit(
        platform::TOverloaded{
            [&](const engine::TJobFinished& p) { out << "finished " << p.Canceled; },
            [&](const engine::TJobError& p) { out << "error " << p.Text.toStdString(); },
            [&](const engine::TJobProgress& p) { out << "progress " << p.Index << "/" << p.Count; },
            [&](const engine::TJobCounts& p) { out << "counts " << p.Encrypted << ", " << p.Decrypted; },
            [&](const engine::TJobFailedSize& p) { out << "failedSize " << p.Failed << ", " << p.Mib; },
            [&](const engine::TJobSearching& p) { out << "searching " << p.Found; },
            [&](const engine::TJobFileProgress& p) {
                out << "file " << p.Index << "/" << p.Count << " " << p.Done << "/" << p.Total;
            }},
        m.payload);
    return out << "}";
}

// Stands for the main window.
class Recorder : public QObject {
public:
    std::vector<Message> messages;

    bool finished() const { return !messages.empty() && messages.back().msg == engine::WM_JOB_FINISHED; }
    // Processes events until WM_JOB_FINISHED arrives.
    bool waitFinished(int timeoutMs = 20'000) {
        return QTest::qWaitFor([this] { return finished(); }, timeoutMs);
    }

protected:
    bool event(QEvent* event) override {
        if (const engine::TJobMessage* payload = engine::AsJobMessage(event)) {
            messages.push_back({platform::AsMessage(event)->Msg, *payload});
            return true;
        }
        return QObject::event(event);
    }
};

// Passes everything to the real file system; the read-write open of `gate` waits until release().
class GateFileSystem final : public platform::FileSystem {
public:
    explicit GateFileSystem(std::string gate) : gate_(std::move(gate)) {}

    std::unique_ptr<platform::File> open(const std::string& path, platform::FileAccess access) override {
        {
            std::unique_lock lock(mutex_);
            opened_.insert(path);
            if (path == gate_ && access == platform::FileAccess::ReadWrite) {
                reached_ = true;
                changed_.notify_all();
                changed_.wait(lock, [this] { return released_; });
            }
        }
        return platform::localFileSystem().open(path, access);
    }
    std::unique_ptr<platform::File> create(const std::string& path) override {
        return platform::localFileSystem().create(path);
    }

    // Processes events while waiting, so that messages posted meanwhile are delivered.
    bool waitReached() {
        return QTest::qWaitFor(
            [this] {
                std::lock_guard lock(mutex_);
                return reached_;
            },
            20'000);
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    bool wasOpened(const std::string& path) {
        std::lock_guard lock(mutex_);
        return opened_.contains(path);
    }

private:
    std::string gate_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::string> opened_;
    bool reached_ = false;
    bool released_ = false;
};

}  // namespace jobtest
