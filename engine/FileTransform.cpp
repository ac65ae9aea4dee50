#include "engine/FileTransform.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <span>
#include <utility>

namespace engine {

namespace {

std::span<std::uint8_t> blockOf(std::vector<std::uint8_t>& buffer) {
    return {buffer.data(), static_cast<std::size_t>(kBlockSize)};
}

// Keys the trailer could not give back intact would make the file impossible to decrypt: the key
// field holds 64 bytes, and a stored key is read up to its first zero byte.
void checkKeyStorable(const std::string& path, const std::string& key) {
    if (key.size() > kKeyFieldSize)
        throw TransformError(path + ": the key is longer than 64 bytes; the file was not changed");
    if (key.find('\0') != std::string::npos)
        throw TransformError(path + ": the key contains a zero byte; the file was not changed");
}

void copyText(std::uint8_t* field, std::size_t width, std::string_view text) {
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

// Claims the room every byte of a toggle needs before the first one changes, so that a full disk
// refuses the file whole instead of failing half way through its blocks, where the undo may find no
// room either. Rewriting a hole (sparse files: partial downloads often are) takes room that the
// file did not take before. Where the file system cannot reserve, its holes are weighed against
// the free space instead. Raises with the file unchanged.
void reserveRoom(platform::File& file, platform::FileSystem& fileSystem, std::int64_t rewritten,
                 std::int64_t size, bool appendsTrailer) {
    int noRoom = 0;  // why there is no room: ENOSPC or EDQUOT
    try {
        const bool blocksReserved = file.reserve(0, rewritten);
        const bool trailerReserved = !appendsTrailer || file.reserve(size, kTrailerSize);
        if (!blocksReserved) {
            const std::int64_t holes = file.holeBytes(0, rewritten);
            if (holes > 0 && fileSystem.freeBytes(file.path()) < holes + (trailerReserved ? 0 : kTrailerSize))
                noRoom = ENOSPC;
        }
    } catch (const platform::FileError& error) {
        if (error.errorNumber() != ENOSPC && error.errorNumber() != EDQUOT)
            throw platform::FileError(file.path(),
                                      "the room for this change could not be reserved (" + error.reason() +
                                          "); the file was not changed",
                                      error.errorNumber());
        noRoom = error.errorNumber();
    }
    if (noRoom != 0)
        throw platform::FileError(
            file.path(), "the disk has no room for the blocks this change rewrites; the file was not changed",
            noRoom);
}

}  // namespace

std::optional<platform::FileTime> SaveFileTime(platform::FileSystem& fs, const std::string& path) {
    try {
        return fs.open(path, platform::FileAccess::Read)->lastWriteTime();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void RestoreFileTime(platform::FileSystem& fs, const std::string& path, platform::FileTime time) {
    try {
        fs.open(path, platform::FileAccess::Write)->setLastWriteTime(time);
    } catch (const std::exception&) {
        // Not reported: the file itself is complete.
    }
}

TFileTransform::TFileTransform(TKZVFlag params, bool keepFileTime, platform::FileSystem& fileSystem)
    : params_(std::move(params)),
      keepFileTime_(keepFileTime),
      fileSystem_(fileSystem),
      buffer_(static_cast<std::size_t>(kBlockSize)) {}

const TKeyPattern& TFileTransform::patternFor(const std::string& effectiveKey) {
    if (effectiveKey.empty()) return inversion_;
    if (keyed_.key() != effectiveKey) keyed_ = TKeyPattern(effectiveKey);
    return keyed_;
}

bool TFileTransform::transformBlocks(platform::File& file, std::int64_t count, const TKeyPattern& pattern,
                                     Progress& progress) {
    const auto block = blockOf(buffer_);
    bool finishing = false;  // another program waits, and the rest is shorter than an undo
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t offset = i * kBlockSize;
        file.readAt(offset, block);
        pattern.apply(block);
        progress.writing = true;
        file.writeAt(offset, block);
        progress.writing = false;
        ++progress.blocksDone;
        step(TToggleStep::BlockWritten);
        if (progress.tell) tellProgress(progress.stepsBefore + progress.blocksDone, progress.steps);
        // Another program is opening the file and waits until it is closed: the change is undone
        // now, not finished at the other program's expense (a large block count takes long), unless
        // finishing rewrites fewer blocks. Either way it gets a whole file, as soon as can be.
        if (!finishing && file.contended()) {
            if (count - progress.blocksDone > progress.blocksDone)
                throw platform::FileError(file.path(), platform::kFileInUseText, EBUSY);
            finishing = true;
        }
        if (!finishing && i + 1 < count && stopHere(i + 1, count)) return false;
    }
    return true;
}

bool TFileTransform::stopHere(std::int64_t done, std::int64_t count) const {
    const std::int64_t rest = count - done;
    return rest > kFinishBlocks && rest > done && stop_ && *stop_ && (*stop_)();
}

void TFileTransform::undo(platform::File& file, const Progress& progress, const TKeyPattern& pattern,
                          std::int64_t originalSize, const TKZVTrailer* cutTrailer) {
    const auto block = blockOf(buffer_);
    if (progress.writing) {
        // The interrupted write may have landed in part; the buffer still holds what it was to write,
        // so transforming it again gives the block's original bytes.
        pattern.apply(block);
        file.writeAt(progress.blocksDone * kBlockSize, block);
    }
    for (std::int64_t i = progress.blocksDone - 1; i >= 0; --i) {
        const std::int64_t offset = i * kBlockSize;
        file.readAt(offset, block);
        pattern.apply(block);
        file.writeAt(offset, block);
        if (progress.tell) tellProgress(progress.stepsBefore + i, progress.steps);
    }
    if (file.size() == originalSize) return;
    if (cutTrailer) {
        // A decryption got as far as the cut: the trailer goes back on.
        file.setSize(originalSize - kTrailerSize);
        WriteTrailer(file, *cutTrailer);
    } else {
        file.setSize(originalSize);
    }
}

TContentKind TFileTransform::contentKindOf(platform::File& file, std::int64_t size) {
    // The first block, and the one right after the setting's head: where a player that skips the
    // scrambled head starts looking.
    const auto block = blockOf(buffer_);
    const std::int64_t afterHead = std::int64_t{std::max(params_.Blocks, 1)} * kBlockSize;
    for (const std::int64_t at : {std::int64_t{0}, afterHead}) {
        if (at > 0 && at + kBlockSize > size) break;
        file.readAt(at, block);
        if (const TContentKind kind = ContentKindOf(block); kind != TContentKind::HeaderBound) return kind;
    }
    return TContentKind::HeaderBound;
}

std::variant<TProcessResult, TFileTransform::Prepared, TFileTransform::NextGroup> TFileTransform::prepare(
    const std::string& path, const std::string& key) {
    if (!journalUnavailable_.empty())
        throw TransformError(path +
                             ": left unchanged, the recovery journal cannot be used: " + journalUnavailable_);
    Prepared p;
    p.path = path;
    if (keepFileTime_) p.savedTime = SaveFileTime(fileSystem_, path);
    p.file = fileSystem_.open(path, platform::FileAccess::ReadWrite);
    auto& file = *p.file;
    if (journal_) {
        if (journal_->IsUnsettled(file))
            throw TransformError(path +
                                 ": an earlier attempt in this run could not put it back as it was; "
                                 "left for the next start's recovery");
        // Met again under any name: an interrupted run's entry is applied before it is looked at.
        if (journal_->SettlePending(file))
            notices_.push_back(path + ": restored as it was before an interrupted run changed it");
    }
    p.size = file.size();
    const std::int64_t size = p.size;
    if (size < kBlockSize)
        return TProcessResult{
            params_.FileType == ftOnlyEncrypted ? TProcessOutcome::Skipped : TProcessOutcome::TooSmall, size};

    TKZVTrailer& record = p.record;
    ReadTrailer(file, record);
    p.decrypt = IsValidTrailer(record);
    std::int32_t limit = 0;
    if (p.decrypt) {
        if (params_.FileType == ftOnlyUnencrypted) return TProcessResult{TProcessOutcome::Skipped, size};
        const std::string_view stored = FieldText(record.Key, kKeyFieldSize);
        if (!stored.empty()) {
            if (stored != key) return TProcessResult{TProcessOutcome::WrongKey, size};
            p.effectiveKey = key;
        }
        // Cutting by any other size would eat into the video or leave trailer bytes behind; and
        // every file this program encrypts holds at least one whole block before its trailer.
        if (record.Size != kTrailerSize)
            throw TransformError(path + ": the trailer's size field holds " + std::to_string(record.Size) +
                                 " instead of 96; the file was not changed");
        if (size - kTrailerSize < kBlockSize)
            throw TransformError(path + ": the file is too short for its trailer; the file was not changed");
        limit = record.Blocks;
    } else {
        if (params_.FileType == ftOnlyEncrypted) return TProcessResult{TProcessOutcome::Skipped, size};
        checkKeyStorable(path, key);
        record = TKZVTrailer{};
        const TContentKind kind = contentKindOf(file, size);
        std::int64_t blocks = HeadBlocks(kind, params_.Blocks);
        // Whole, as far as one journal entry reaches: a stream of more than 2 TiB keeps its tail.
        if (params_.WholeStreams && IsStream(kind))
            blocks = std::max(blocks, std::min(size / kBlockSize, kMaxJournalBlocks));
        record.Blocks = static_cast<std::int32_t>(blocks);
        copyText(record.Key, kKeyFieldSize, key);
        copyText(record.Version, kVersionFieldSize,
                 params_.Version.empty() ? kDefaultVersion : std::string_view(params_.Version));
        copyText(record.Magic, kMagicFieldSize, kMagic);
        record.Size = kTrailerSize;
        p.effectiveKey = key;
        limit = record.Blocks;
    }
    const std::int64_t contentSize = p.decrypt ? size - kTrailerSize : size;
    p.blocks = std::min<std::int64_t>(std::max(limit, 1), contentSize / kBlockSize);
    p.steps = journal_ ? 2 * p.blocks : p.blocks;
    p.isLong = p.blocks > kFinishBlocks;

    if (journal_) {
        // A long toggle goes in a group of its own, so that the files before it are not held open
        // (nor left unchanged) while its entry is read, and its progress is the batch's.
        if (journal_->HasUncommitted() && p.isLong) return NextGroup{};
        // A video already in the journal is made durable, and its entry settled, before it is
        // recorded again: two live entries for one video could not tell which state is whose.
        if (journal_->Holds(file)) {
            // The group gathered so far goes first; the video is then recorded in the next one.
            if (journal_->HasUncommitted()) return NextGroup{};
            journal_->Checkpoint();
        }
        std::array<std::uint8_t, kTrailerSize> after{};
        if (!p.decrypt) EncodeTrailer(record, after);
        try {
            const auto goOn = [&](std::int64_t read) {
                if (p.isLong) tellProgress(read, p.steps);
                return !stopHere(0, p.blocks);  // nothing has changed yet: a long toggle stops at once
            };
            if (!journal_->Record(
                    file,
                    {p.decrypt ? TJournal::Operation::Decrypt : TJournal::Operation::Encrypt, p.blocks,
                     p.effectiveKey, after, keepFileTime_ && p.savedTime.has_value(), goOn},
                    blockOf(buffer_)))
                return TProcessResult{TProcessOutcome::Stopped, size};
        } catch (const platform::FileError& error) {
            // The video's own failures (unreadable, asked for by another program) are the file's;
            // only the journal's are told as the journal's.
            if (error.path() == journal_->path()) journalFailed(error);
            throw;
        } catch (const std::exception& error) {
            journalFailed(error);
            throw;
        }
    }
    return p;
}

void TFileTransform::journalFailed(const std::exception& error) {
    if (toldJournalFailure_ || !journal_) return;
    toldJournalFailure_ = true;
    const auto folder = std::filesystem::path(journal_->path()).parent_path().string();
    noticesFail_ = true;
    notices_.push_back("The recovery journal in " + folder + " cannot be written (" + error.what() +
                       "). Files that needed it were left unchanged. Free some space on that disk or make "
                       "the folder writable, then run again.");
}

void TFileTransform::JournalUnavailable(std::string folder, const std::string& reason) {
    journalUnavailable_ = reason;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    noticesFail_ = true;
    notices_.push_back("The recovery journal in " + folder + " cannot be created (" + reason +
                       "). No file was changed. Free some space on that disk or make the folder writable, "
                       "then run again.");
}

TProcessResult TFileTransform::toggle(Prepared& p) {
    auto& file = *p.file;
    const auto& pattern = patternFor(p.effectiveKey);
    if (journal_) step(TToggleStep::JournalRecorded);
    // Opened ahead with its group: another program that has asked for it since gets it untouched.
    if (file.contended()) throw platform::FileError(file.path(), platform::kFileInUseText, EBUSY);
    reserveRoom(file, fileSystem_, p.blocks * kBlockSize, p.size, !p.decrypt);
    Progress progress{.stepsBefore = p.steps - p.blocks, .steps = p.steps, .tell = p.isLong};
    // Every rewritten block back, the size and the time too; raises when that fails.
    const auto putBack = [&](const std::string& what) {
        try {
            undo(file, progress, pattern, p.size, p.decrypt ? &p.record : nullptr);
        } catch (const std::exception& undoError) {
            if (journal_) journal_->Unsettled(file);  // the next start finishes the undo
            throw TransformError(what + "; the file could not be put back as it was: " + undoError.what());
        }
        // Put back whole, the last-write time included: the bytes are as they were, so is the time.
        if (p.savedTime) {
            try {
                file.setLastWriteTime(*p.savedTime);
            } catch (const std::exception&) {
                // The bytes are back; a time that cannot be set does not make the failure worse.
            }
        }
    };
    bool complete = false;
    try {
        // The trailer goes on first: appending it claims its room on any file system, so a full
        // disk shows before a single block has changed, and the undo below only has to cut it.
        if (!p.decrypt) {
            WriteTrailer(file, p.record);
            step(TToggleStep::TrailerAppended);
        }
        complete = transformBlocks(file, p.blocks, pattern, progress);
        if (complete && p.decrypt) {
            file.setSize(p.size - kTrailerSize);
            step(TToggleStep::TrailerCut);
        }
    } catch (const std::exception& error) {
        putBack(error.what());
        throw;
    }
    if (!complete) {  // stopped part way
        putBack(p.path + ": stopped part way");
        return {TProcessOutcome::Stopped, p.size};
    }
    const TProcessOutcome outcome = p.decrypt ? TProcessOutcome::Decrypted : TProcessOutcome::Encrypted;
    const std::int64_t sizeAfter = file.size();
    p.file.reset();  // closed here, before its time is restored
    if (p.savedTime) RestoreFileTime(fileSystem_, p.path, *p.savedTime);
    return {outcome, sizeAfter};
}

TProcessResult TFileTransform::ProcessFile(const std::string& path, const std::string& key) {
    auto decided = prepare(path, key);
    if (auto* result = std::get_if<TProcessResult>(&decided)) return *result;
    auto& prepared = std::get<Prepared>(decided);  // nothing uncommitted here: never NextGroup
    if (journal_) {
        try {
            journal_->Commit();
        } catch (const std::exception& error) {
            journalFailed(error);
            throw;
        }
    }
    return toggle(prepared);
}

void TFileTransform::ProcessFiles(const std::vector<std::string>& paths, const std::string& key,
                                  const std::function<bool()>& stop,
                                  const std::function<void(std::size_t, const TFileOutcome&)>& report,
                                  const TFileProgress& progress) {
    // The batch's stop question and listener serve the steps below; they go with the batch.
    stop_ = &stop;
    progress_ = &progress;
    struct Watching {
        TFileTransform& transform;
        ~Watching() {
            transform.stop_ = nullptr;
            transform.progress_ = nullptr;
        }
    } watching{*this};
    const auto failure = [](const std::exception& error) { return TFileOutcome{std::nullopt, error.what()}; };
    std::size_t next = 0;
    while (next < paths.size() && !stop()) {
        // Gather a group: without a journal, one file at a time.
        std::vector<Slot> group;
        std::int64_t bytes = 0;
        const auto started = std::chrono::steady_clock::now();
        const std::size_t most = journal_ ? std::max<std::size_t>(limits_.files, 1) : 1;
        while (next < paths.size() && group.size() < most && bytes < limits_.bytes &&
               std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() <
                   limits_.seconds) {
            // A file this group holds already (listed twice, or under a second name) waits for the
            // next group: opening it again here would break the group's own lease on it.
            const auto identity = fileSystem_.identityOf(paths[next]);
            if (identity && std::any_of(group.begin(), group.end(), [&](const Slot& s) {
                    return s.prepared && s.prepared->file->identity() == *identity;
                }))
                break;
            Slot slot{next, {}, std::nullopt};
            index_ = next;
            try {
                auto decided = prepare(paths[next], key);
                if (std::holds_alternative<NextGroup>(decided)) break;
                if (auto* result = std::get_if<TProcessResult>(&decided)) {
                    slot.outcome.Result = *result;
                    if (result->Outcome == TProcessOutcome::Stopped) {
                        group.push_back(std::move(slot));
                        ++next;
                        break;
                    }
                } else {
                    slot.prepared = std::move(std::get<Prepared>(decided));
                    bytes += slot.prepared->blocks * kBlockSize;
                    if (slot.prepared->isLong) {  // nothing after it either
                        group.push_back(std::move(slot));
                        ++next;
                        break;
                    }
                }
            } catch (const platform::FileError& error) {
                // Held by this group already (listed twice, or a second name of it): in the next one.
                const bool heldHere = std::any_of(group.begin(), group.end(),
                                                  [](const Slot& s) { return s.prepared.has_value(); });
                if (error.errorNumber() == EWOULDBLOCK && heldHere) break;
                slot.outcome = failure(error);
            } catch (const std::exception& error) {
                slot.outcome = failure(error);
            }
            group.push_back(std::move(slot));
            ++next;
        }

        const bool anyPrepared =
            std::any_of(group.begin(), group.end(), [](const Slot& s) { return s.prepared.has_value(); });
        if (journal_ && anyPrepared) {
            try {
                journal_->Commit();
            } catch (const std::exception& error) {
                journalFailed(error);
                for (auto& slot : group) {
                    if (!slot.prepared) continue;
                    slot.prepared.reset();  // never touched
                    slot.outcome = failure(error);
                }
            }
        }
        for (std::size_t i = 0; i < group.size(); ++i) {
            Slot& slot = group[i];
            if (i > 0 && stop()) {
                next = paths.size();  // what was opened ahead is closed unchanged
                break;
            }
            if (slot.prepared) {
                index_ = slot.index;
                try {
                    slot.outcome.Result = toggle(*slot.prepared);
                } catch (const std::exception& error) {
                    slot.outcome = failure(error);
                }
                slot.prepared.reset();
            }
            report(slot.index, slot.outcome);
        }
        if (journal_ && journal_->Size() > limits_.checkpointBytes) checkpoint();
    }
}

void TFileTransform::checkpoint() {
    try {
        journal_->Checkpoint([this] { step(TToggleStep::VideoSynced); });
        step(TToggleStep::JournalDropped);
    } catch (const std::exception& error) {
        notices_.push_back(
            std::string("The changed videos could not be made durable at once (") + error.what() +
            "); they are complete, and the next start checks them against the recovery journal.");
    }
}

void TFileTransform::FinishJournal() {
    if (!journal_) return;
    pendingProblems_ = journal_->PendingProblems();
    try {
        journal_->Finish();
    } catch (const std::exception& error) {
        notices_.push_back(std::string("The recovery journal could not be closed (") + error.what() +
                           "); the changed videos are complete, and the next start checks them against it.");
    }
    for (const auto& problem : journal_->WriteBackDone()) notices_.push_back(problem);
    journal_.reset();
}

}  // namespace engine
