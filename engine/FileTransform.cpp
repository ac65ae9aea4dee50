#include "engine/FileTransform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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

void TFileTransform::transformBlocks(platform::File& file, std::int64_t count, const TKeyPattern& pattern,
                                     Progress& progress) {
    const auto block = blockOf(buffer_);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t offset = i * kBlockSize;
        file.readAt(offset, block);
        pattern.apply(block);
        progress.writing = true;
        file.writeAt(offset, block);
        progress.writing = false;
        ++progress.blocksDone;
        step(TToggleStep::BlockWritten);
        // Another program is opening the file and waits until it is closed: the change is undone
        // now, not finished at the other program's expense (a large block count takes long).
        if (file.contended()) throw platform::FileError(file.path(), platform::kFileInUseText, EBUSY);
    }
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

TProcessResult TFileTransform::ProcessFile(const std::string& path, const std::string& key) {
    std::optional<platform::FileTime> savedTime;
    if (keepFileTime_) savedTime = SaveFileTime(fileSystem_, path);

    TProcessOutcome outcome{};
    std::int64_t sizeAfter = 0;
    {
        const auto file = fileSystem_.open(path, platform::FileAccess::ReadWrite);
        const std::int64_t size = file->size();
        if (size < kBlockSize) {
            return {
                params_.FileType == ftOnlyEncrypted ? TProcessOutcome::Skipped : TProcessOutcome::TooSmall,
                size};
        }

        TKZVTrailer record;
        ReadTrailer(*file, record);
        const bool decrypt = IsValidTrailer(record);
        std::string effectiveKey;
        std::int32_t limit = 0;
        if (decrypt) {
            if (params_.FileType == ftOnlyUnencrypted) return {TProcessOutcome::Skipped, size};
            const std::string_view stored = FieldText(record.Key, kKeyFieldSize);
            if (!stored.empty()) {
                if (stored != key) return {TProcessOutcome::WrongKey, size};
                effectiveKey = key;
            }
            // Cutting by any other size would eat into the video or leave trailer bytes behind; and
            // every file this program encrypts holds at least one whole block before its trailer.
            if (record.Size != kTrailerSize)
                throw TransformError(path + ": the trailer's size field holds " +
                                     std::to_string(record.Size) +
                                     " instead of 96; the file was not changed");
            if (size - kTrailerSize < kBlockSize)
                throw TransformError(path +
                                     ": the file is too short for its trailer; the file was not changed");
            limit = record.Blocks;
        } else {
            if (params_.FileType == ftOnlyEncrypted) return {TProcessOutcome::Skipped, size};
            checkKeyStorable(path, key);
            record = TKZVTrailer{};
            record.Blocks = params_.Blocks;
            copyText(record.Key, kKeyFieldSize, key);
            copyText(record.Version, kVersionFieldSize,
                     params_.Version.empty() ? kDefaultVersion : std::string_view(params_.Version));
            copyText(record.Magic, kMagicFieldSize, kMagic);
            record.Size = kTrailerSize;
            effectiveKey = key;
            limit = params_.Blocks;
        }

        const std::int64_t contentSize = decrypt ? size - kTrailerSize : size;
        const std::int64_t blocks = std::min<std::int64_t>(std::max(limit, 1), contentSize / kBlockSize);
        const auto& pattern = patternFor(effectiveKey);
        if (journal_) {
            journal_->Record(*file, decrypt ? TJournal::Operation::Decrypt : TJournal::Operation::Encrypt,
                             blocks, blockOf(buffer_));
            step(TToggleStep::JournalRecorded);
        }
        Progress progress;
        try {
            // The trailer goes on first: appending it claims its room on any file system, so a full
            // disk shows before a single block has changed, and the undo below only has to cut it.
            if (!decrypt) {
                WriteTrailer(*file, record);
                step(TToggleStep::TrailerAppended);
            }
            transformBlocks(*file, blocks, pattern, progress);
            if (decrypt) {
                file->setSize(contentSize);
                step(TToggleStep::TrailerCut);
            }
            if (journal_) {
                file->sync();
                step(TToggleStep::VideoSynced);
            }
        } catch (const std::exception& error) {
            try {
                undo(*file, progress, pattern, size, decrypt ? &record : nullptr);
                if (journal_) file->sync();
            } catch (const std::exception& undoError) {
                if (journal_) journal_->Abandon();  // the next start finishes the undo
                throw TransformError(std::string(error.what()) +
                                     "; the file could not be put back as it was: " + undoError.what());
            }
            if (journal_) journal_->Drop();
            throw;
        }
        if (journal_) {
            journal_->Drop();
            step(TToggleStep::JournalDropped);
        }
        outcome = decrypt ? TProcessOutcome::Decrypted : TProcessOutcome::Encrypted;
        sizeAfter = file->size();
    }  // closed here, before its time is restored

    if (savedTime) RestoreFileTime(fileSystem_, path, *savedTime);
    return {outcome, sizeAfter};
}

}  // namespace engine
