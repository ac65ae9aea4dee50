#pragma once
// Owns one job at a time for a front end: starts it from the options and what to work on, reduces its
// messages to one progress state, tells its owner by signals, throttled, and keeps the ended job as
// the record of the run (its lists, the detail files). No widgets: the window and velmora-cli both
// drive one, and the window's close question asks it.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/JobFormat.h"
#include "engine/JobOptions.h"
#include "engine/KZVThread.h"
#include "jobs/JobProgress.h"

namespace jobs {

// What a job works on: files as they are, and folders it searches itself (on its thread, so that a
// large tree holds up nothing and a stop reaches it).
struct TJobInput {
    std::vector<std::string> Files;
    std::vector<engine::TSearchFolder> Folders;
    std::vector<engine::TFailedFile> UnreadFolders;  // failed before the job began: they count as failed
};

// The lists of a finished job that can be written out for the user to read.
enum class TDetailList { Encrypted, Decrypted, Failed };

class TJobController : public QObject {
    Q_OBJECT

public:
    // ProgressChanged comes at most every `paintMs`; the first change after a quiet spell at once.
    explicit TJobController(std::uint32_t paintMs, QObject* parent = nullptr);
    // Waits for the file in hand to be finished or put back.
    ~TJobController() override;

    // Starts a new job; the record of the last one goes. Not while a job runs.
    void Start(const engine::TJobOptions& options, TJobInput input);
    bool Running() const;
    // Asks the job to stop: while it searches at the next folder entry, else after the file in hand, or
    // part way through a long toggle, which is then finished or undone. Finished follows.
    void Stop();
    // For a front end that is going away: the job stops the same way but tells nothing more; the
    // destructor waits for it.
    void StopSilently();
    // StopSilently was asked for this job.
    bool Silenced() const;
    // Waits for the job's thread to end; its lists are then complete.
    void Wait();

    const TJobProgressState& Progress() const noexcept { return progress_; }
    // Milliseconds since the job started, for the time that runs on while it works.
    std::uint32_t Elapsed() const;
    // The job running or ended last, nullptr before the first. Its result lists are to be read only
    // after Finished.
    const engine::TKZVThread* Job() const noexcept { return job_.get(); }

    // Writes one list of the ended job into `folder` ("Encrypted.txt", "Decrypted.txt", "Failed.txt",
    // a path a line, CRLF; failures as `texts` word them) and returns its path. Raises
    // platform::AppError when it cannot be written; an empty path without an ended job.
    QString WriteDetailFile(TDetailList which, const QString& folder, const engine::TJobTexts& texts) const;

signals:
    void ProgressChanged();
    // Every file as it is handled, unthrottled: `index` of `count`.
    void FileHandled(std::size_t index, std::size_t count);
    // What the job must tell (see engine::TJobError); `failure`: something is not as it should be.
    void JobError(const QString& text, bool failure);
    // The job has ended and its thread is done: its lists are complete.
    void Finished(bool canceled);

protected:
    bool event(QEvent* event) override;

private:
    void changed();
    void tell();

    std::unique_ptr<engine::TKZVThread> job_;
    TJobProgressState progress_;
    std::uint32_t paintMs_;
    std::uint32_t startTicks_ = 0;
    std::uint32_t lastTold_ = 0;
    QTimer tellTimer_;
};

}  // namespace jobs
