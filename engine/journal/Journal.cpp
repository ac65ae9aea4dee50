#include "engine/journal/Journal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

#include <unistd.h>

#include "engine/journal/JournalFile.h"
#include "engine/journal/Settle.h"

namespace engine {

using namespace journal;

namespace {

std::uint64_t randomNumber() {
    std::random_device random;
    return (static_cast<std::uint64_t>(random()) << 32) ^ random();
}

}  // namespace

TJournal::IdentityKey TJournal::keyOf(const platform::File& video) {
    const auto id = video.identity();
    return {id.device, id.inode};
}

TJournal::TJournal(std::string folder, platform::FileSystem& fileSystem)
    : folder_(FolderName(std::move(folder))), fileSystem_(fileSystem) {}

std::unique_ptr<TJournal> TJournal::Create(const std::string& folder, platform::FileSystem& fileSystem) {
    std::unique_ptr<TJournal> journal(new TJournal(folder, fileSystem));
    fileSystem.makePrivateFolder(journal->folder_);
    journal->open();
    return journal;
}

void TJournal::open() {
    for (int attempt = 0;; ++attempt) {
        const std::string name =
            folder_ + "/" + std::to_string(::getpid()) + "-" + std::to_string(randomNumber());
        try {
            // Created and locked under a name recovery ignores, then renamed: no other process ever
            // sees it unlocked. Should someone remove it in between, the rename fails and we start over.
            auto file = fileSystem_.create(name + kNewJournalSuffix);
            fileSystem_.renameFile(name + kNewJournalSuffix, name + kJournalSuffix);
            file_ = std::move(file);
            path_ = name + kJournalSuffix;
            break;
        } catch (const platform::FileError& error) {
            if ((error.errorNumber() != EEXIST && error.errorNumber() != ENOENT) || attempt > 100) throw;
        }
    }
    // The entries must still be found after a power loss: the name has to be durable too.
    fileSystem_.syncFolder(folder_);
}

TJournal::~TJournal() {
    if (!file_ || finished_) return;
    try {
        Finish();
    } catch (const std::exception&) {
        // Left to the next start's recovery, which finds the toggles complete.
    }
}

template <typename Write>
void TJournal::onJournal(Write&& write) {
    if (!file_) throw platform::FileError(folder_, "the recovery journal is not available", EBADF);
    try {
        write(*file_);
    } catch (const platform::FileError& error) {
        // The file object still carries the name it was created under, before the rename.
        throw platform::FileError(path_, error.reason(), error.errorNumber());
    }
}

bool TJournal::Holds(const platform::File& video) const {
    return recorded_.contains(keyOf(video));
}

bool TJournal::IsUnsettled(const platform::File& video) const {
    const auto it = recorded_.find(keyOf(video));
    return it != recorded_.end() && it->second.unsettled;
}

bool TJournal::Record(platform::File& video, const Toggle& toggle, std::span<std::uint8_t> buffer) {
    if (!file_) throw platform::FileError(folder_, "the recovery journal is not available", EBADF);
    if (toggle.blocks < 1 || toggle.blocks > kMaxBlocks)
        throw platform::FileError(video.path(), "too many blocks to rewrite safely", EFBIG);
    const std::string videoPath = fileSystem_.canonicalPath(video.path());
    if (videoPath.size() > kMaxPathLength)
        throw platform::FileError(video.path(), "path too long", ENAMETOOLONG);

    EntryHeader header{};
    header.state = static_cast<std::uint32_t>(EntryState::Live);
    header.operation = static_cast<std::uint32_t>(toggle.operation);
    header.blockCount = static_cast<std::uint32_t>(toggle.blocks);
    const auto now = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                    std::chrono::system_clock::now().time_since_epoch())
                                                    .count());
    lastSequence_ = header.sequence = std::max(now, lastSequence_ + 1);
    const auto identity = video.identity();
    header.device = identity.device;
    header.inode = identity.inode;
    header.owner = video.owner();
    header.originalSize = video.size();
    const auto time = video.lastWriteTime();
    header.timeSeconds = time.seconds;
    header.timeNanoseconds = time.nanoseconds;
    header.keyLength = static_cast<std::uint32_t>(std::min<std::size_t>(toggle.key.size(), kMaxKeyLength));
    std::memcpy(header.key, toggle.key.data(), header.keyLength);
    header.keepFileTime = toggle.keepFileTime ? 1 : 0;
    header.salt = randomNumber() | 1;
    const std::string boot = fileSystem_.bootId();
    std::memcpy(header.bootId, boot.data(), std::min(boot.size(), kBootIdSize));
    video.readAt(header.originalSize - kTailSize, std::span(header.tailBefore));
    if (toggle.operation == Operation::Encrypt && toggle.after.size() == static_cast<std::size_t>(kTailSize))
        std::memcpy(header.tailAfter, toggle.after.data(), kTailSize);

    // Whatever part of the entry lands before the end has no checksum yet: recovery takes it as
    // torn, and the next entry goes over it.
    EntryEncoder entry(header, videoPath);
    std::int64_t at = end_;
    const auto flush = [&] {
        onJournal([&](platform::File& file) { file.writeAt(at, entry.pending()); });
        at += static_cast<std::int64_t>(entry.pending().size());
        bytesWritten_ += static_cast<std::int64_t>(entry.pending().size());
        entry.clear();
    };
    fingerprints_.useSalt(header.salt);
    std::vector<std::uint8_t> record(static_cast<std::size_t>(kBlockRecordSize));
    for (std::int64_t i = 0; i < toggle.blocks; ++i) {
        video.readAt(i * kBlockSize, buffer);
        fingerprints_.record(buffer, record);
        entry.addRecord(record);
        if (entry.full()) flush();
        // Nothing has changed yet: another program asking for the video gets it now, not after a
        // read of the whole range.
        if (video.contended()) throw platform::FileError(video.path(), platform::kFileInUseText, EBUSY);
        if (toggle.goOn && !toggle.goOn(i + 1)) return false;
    }
    entry.finish();
    flush();
    recorded_[keyOf(video)] = {end_, false, videoPath};
    uncommitted_.push_back(keyOf(video));
    end_ = at;
    return true;
}

void TJournal::Commit() {
    try {
        for (auto& [path, journal] : heldJournals_) journal.voidSettled();
        onJournal([](platform::File& file) { file.sync(); });
    } catch (...) {
        // None of these videos will be touched: their entries are forgotten and written over.
        for (const auto& identity : uncommitted_) recorded_.erase(identity);
        uncommitted_.clear();
        end_ = committedEnd_;
        throw;
    }
    uncommitted_.clear();
    committedEnd_ = end_;
}

void TJournal::Unsettled(const platform::File& video) {
    if (auto it = recorded_.find(keyOf(video)); it != recorded_.end()) it->second.unsettled = true;
}

void TJournal::Checkpoint(const std::function<void()>& videosSynced) {
    if (!file_ || recorded_.empty()) return;
    // Emptying the journal would take the entries of videos not yet toggled with it.
    if (!uncommitted_.empty()) throw std::logic_error("a checkpoint amid a group of entries");
    for (const auto& [identity, recorded] : recorded_)
        if (!recorded.unsettled) WriteBackVideo(fileSystem_, recorded.path, identity.second);
    if (videosSynced) videosSynced();
    const bool anyUnsettled =
        std::any_of(recorded_.begin(), recorded_.end(), [](const auto& r) { return r.second.unsettled; });
    onJournal([&](platform::File& file) {
        if (!anyUnsettled) {
            file.setSize(0);
        } else {
            // The unsettled entries stay where they are; every other one is voided.
            for (const auto& [identity, recorded] : recorded_)
                if (!recorded.unsettled) SetState(file, recorded.offset, EntryState::Void);
        }
        file.sync();
    });
    if (!anyUnsettled) end_ = committedEnd_ = 0;
    std::erase_if(recorded_, [](const auto& r) { return !r.second.unsettled; });
}

void TJournal::Finish() {
    if (!file_ || finished_) return;
    finished_ = true;
    if (recorded_.empty()) {            // nothing to settle: the file goes
        fileSystem_.removeFile(path_);  // while still locked
        file_.reset();
        return;
    }
    // The videos are not waited for: each settled entry is marked done and the file left to the next
    // recovery, which in this boot only has to write the videos back, and after a power cut finds
    // each video complete or undoes it.
    onJournal([&](platform::File& file) {
        for (const auto& [identity, recorded] : recorded_)
            if (!recorded.unsettled) SetState(file, recorded.offset, EntryState::Done);
    });
    file_.reset();
}

namespace {

// Whether a pending entry may describe `video`, which has its inode. Inode numbers repeat across file
// systems, so one more sign is asked for: the same path, the same device, or a size the toggle leaves.
bool mayDescribe(const TPendingEntry& pending, const std::string& canonical, std::uint64_t device,
                 std::int64_t size) {
    const std::int64_t original = pending.OriginalSize;
    return pending.VideoPath == canonical || pending.Device == device || size == original ||
           size == original + kTailSize || size == original - kTailSize;
}

}  // namespace

std::optional<std::string> PendingProblemFor(const TPendingEntries& pending, const std::string& path,
                                             platform::FileSystem& fileSystem) {
    const auto identity = fileSystem.identityOf(path);
    if (!identity) return std::nullopt;
    const auto it = pending.find(identity->inode);
    if (it == pending.end()) return std::nullopt;
    std::error_code error;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path, error));
    const std::string canonical = fileSystem.canonicalPath(path);
    for (const auto& entry : it->second)
        if (!entry.Done && mayDescribe(entry, canonical, identity->device, error ? -1 : size))
            return entry.Problem;
    return std::nullopt;
}

bool TJournal::SettlePending(platform::File& video) {
    const auto identity = video.identity();
    const auto it = pending_.find(identity.inode);
    if (it == pending_.end()) return false;
    const std::string canonical = fileSystem_.canonicalPath(video.path());
    const std::int64_t size = video.size();
    bool restored = false;
    std::optional<Settler> settler;  // its buffers are large: laid out only for an entry to apply
    auto& entries = it->second;
    for (auto pending = entries.begin(); pending != entries.end();) {  // newest first
        if (!mayDescribe(*pending, canonical, identity.device, size)) {
            ++pending;
            continue;
        }
        if (pending->Done) {
            // Its toggle is complete but perhaps not on the disk yet: written back before this run
            // records and changes the video again, so that no entry meets a mix of three states.
            video.sync();
            settleDone(pending->JournalPath, pending->Offset);
            pending = entries.erase(pending);
            continue;
        }
        OpenJournal* const journal = heldJournal(pending->JournalPath);
        const auto entry = journal ? std::find_if(journal->entries.begin(), journal->entries.end(),
                                                  [&](const Entry& e) { return e.offset == pending->Offset; })
                                   : std::vector<Entry>::iterator{};
        if (!journal || entry == journal->entries.end() || entry->state() == EntryState::Void) {
            pending = entries.erase(pending);  // another start's recovery settled it
            continue;
        }
        const auto refuse = [&](const std::string& why) {
            return platform::FileError(video.path(),
                                       "holds an unfinished change from an interrupted run that cannot be "
                                       "undone (" +
                                           why + "); left unchanged",
                                       EIO);
        };
        if (video.owner() != entry->header.owner) throw refuse("it is owned by another user now");
        if (!settler) settler.emplace();
        const Settled settled = settler->settle(*journal->file, *entry, video);
        if (settled.verdict == Verdict::LeaveAlone) throw refuse(settled.why);
        restored |= settled.verdict == Verdict::Undo;
        journal->settled[static_cast<std::size_t>(entry - journal->entries.begin())] = true;
        journal->voidSettled();
        pending = entries.erase(pending);
    }
    if (entries.empty()) pending_.erase(it);
    return restored;
}

std::vector<std::string> TJournal::PendingProblems() const {
    std::vector<std::string> problems;
    for (const auto& [inode, entries] : pending_)
        for (const auto& pending : entries)
            if (!pending.Done) problems.push_back(pending.Problem);
    return problems;
}

OpenJournal* TJournal::heldJournal(const std::string& path) {
    auto it = heldJournals_.find(path);
    if (it == heldJournals_.end()) {
        try {
            it = heldJournals_.emplace(path, OpenJournal::Open(fileSystem_, path)).first;
        } catch (const platform::FileError& error) {
            if (error.errorNumber() == ENOENT) return nullptr;  // another start's recovery finished it
            throw;
        }
    }
    return &it->second;
}

void TJournal::settleDone(const std::string& journalPath, std::int64_t offset) {
    OpenJournal* journal = nullptr;
    try {
        journal = heldJournal(journalPath);
    } catch (const platform::FileError& error) {
        // Held by another start's recovery, which settles it.
        if (!HeldByLiveProcess(error)) throw;
    }
    if (!journal) return;
    for (std::size_t i = 0; i < journal->entries.size(); ++i)
        if (journal->entries[i].offset == offset && journal->entries[i].state() == EntryState::Done)
            journal->settled[i] = true;
}

std::vector<std::string> TJournal::WriteBackDone() {
    std::vector<std::string> problems;
    for (auto it = pending_.begin(); it != pending_.end();) {
        auto& entries = it->second;
        for (auto pending = entries.begin(); pending != entries.end();) {
            if (!pending->Done) {
                ++pending;
                continue;
            }
            try {
                WriteBackVideo(fileSystem_, pending->VideoPath, it->first);
                settleDone(pending->JournalPath, pending->Offset);
            } catch (const std::exception& error) {
                // Kept: after a power cut the next start checks the video against it.
                problems.push_back(NotWrittenBackText(pending->VideoPath, error));
            }
            pending = entries.erase(pending);
        }
        it = entries.empty() ? pending_.erase(it) : std::next(it);
    }
    for (auto& [path, journal] : heldJournals_) {
        try {
            journal.finish(fileSystem_);
        } catch (const std::exception& error) {
            problems.push_back("recovery from " + path + " failed: " + error.what());
        }
    }
    heldJournals_.clear();
    return problems;
}

}  // namespace engine
