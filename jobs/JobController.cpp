#include "jobs/JobController.h"

#include <QDir>
#include <QSaveFile>

#include "engine/JobMessages.h"
#include "engine/JobSetUp.h"
#include "platform/FileIo.h"
#include "platform/Messages.h"
#include "platform/Utility.h"

namespace jobs {

TJobController::TJobController(std::uint32_t paintMs, QObject* parent)
    : QObject(parent), paintMs_(paintMs), tellTimer_(this) {
    tellTimer_.setSingleShot(true);
    connect(&tellTimer_, &QTimer::timeout, this, &TJobController::tell);
}

TJobController::~TJobController() = default;  // the job's destructor waits for its thread

void TJobController::Start(const engine::TJobOptions& options, TJobInput input) {
    if (Running()) return;
    job_.reset();
    job_ = std::make_unique<engine::TKZVThread>();
    engine::SetUpJob(*job_, options, this);
    job_->FileList = std::move(input.Files);
    job_->SearchFolders = std::move(input.Folders);
    job_->UnreadFolders = std::move(input.UnreadFolders);
    progress_ = {};
    tellTimer_.stop();
    startTicks_ = platform::GetTickCount();
    lastTold_ = startTicks_ - paintMs_;
    job_->Resume();
}

bool TJobController::Running() const {
    return job_ && job_->Running();
}

void TJobController::Stop() {
    if (Running()) job_->Terminate();
}

void TJobController::StopSilently() {
    if (!Running()) return;
    job_->Quiet = true;
    job_->Terminate();
}

bool TJobController::Silenced() const {
    return job_ && job_->Quiet;
}

void TJobController::Wait() {
    if (job_) job_->wait();
}

std::uint32_t TJobController::Elapsed() const {
    return platform::GetTickCount() - startTicks_;
}

bool TJobController::event(QEvent* event) {
    const engine::TJobMessage* message = engine::AsJobMessage(event);
    if (message == nullptr) return QObject::event(event);
    progress_ = Reduce(progress_, *message);
    std::visit(platform::TOverloaded{
                   [this](const engine::TJobProgress& progress) {
                       emit FileHandled(progress.Index, progress.Count);
                       changed();
                   },
                   [this](const engine::TJobError& error) { emit JobError(error.Text, error.Failure); },
                   [this](const engine::TJobFinished& finished) {
                       if (!job_) return;
                       job_->wait();  // the worker returns right after this message
                       tellTimer_.stop();
                       emit Finished(finished.Canceled);
                   },
                   [this](const auto&) { changed(); },
               },
               *message);
    return true;
}

// Thousands of messages a second may arrive; the owner hears of them at most every paintMs_, so that
// it keeps pace with the job and a window stays free to repaint.
void TJobController::changed() {
    const std::uint32_t since = platform::GetTickCount() - lastTold_;
    if (since >= paintMs_) {
        tell();
    } else if (!tellTimer_.isActive()) {
        tellTimer_.start(static_cast<int>(paintMs_ - since));
    }
}

void TJobController::tell() {
    tellTimer_.stop();
    lastTold_ = platform::GetTickCount();
    emit ProgressChanged();
}

QString TJobController::WriteDetailFile(TDetailList which, const QString& folder,
                                        const engine::TJobTexts& texts) const {
    if (!job_ || Running()) return {};
    QDir().mkpath(folder);
    const char* name = which == TDetailList::Encrypted   ? "Encrypted.txt"
                       : which == TDetailList::Decrypted ? "Decrypted.txt"
                                                         : "Failed.txt";
    const QString path = folder + QLatin1String(name);
    QByteArray text;
    const auto line = [&text](const std::string& bytes) {
        text.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
        text.append("\r\n");
    };
    if (which == TDetailList::Encrypted) {
        for (const std::string& entry : job_->EncryptedList) line(entry);
    } else if (which == TDetailList::Decrypted) {
        for (const std::string& entry : job_->DecryptedList) line(entry);
    } else {
        for (const engine::TFailedFile& failed : job_->FailedList)
            line(platform::ToLocal8Bit(engine::FailedLine(platform::FromLocal8Bit(failed.Path), failed.Code,
                                                          texts, platform::FromLocal8Bit(failed.Reason))));
    }
    if (QString problem; !platform::IsReplaceableFile(path, &problem))
        platform::RaiseError(
            platform::ToLocal8Bit(QStringLiteral("Cannot write \"%1\": %2").arg(path, problem)));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        platform::RaiseError(
            platform::ToLocal8Bit(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString())));
    return path;
}

}  // namespace jobs
