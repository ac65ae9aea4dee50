#pragma once
// Toggles one file in place: a file without a valid trailer is encrypted (its leading blocks XORed
// with the key, or inverted without one, and the trailer appended); a file with one is decrypted (key
// checked, the same blocks restored, the trailer cut off). Standard library and platform/ only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Journal.h"
#include "engine/KeyPattern.h"
#include "engine/Trailer.h"
#include "platform/FileIo.h"

class QObject;  // the window that hears from the job; the transform never touches it

namespace engine {

// Target filter: the index of the window's target drop-down.
enum TFileType : std::uint8_t { ftBoth = 0, ftOnlyEncrypted = 1, ftOnlyUnencrypted = 2 };

// The job's parameters, complete before the job starts and never changed by it.
struct TKZVFlag {
    std::string Key;  // empty: no key; never more than 64 bytes
    std::uint8_t FileType = ftBoth;
    std::string Version;      // version text for new trailers, at most 13 characters used
    std::int32_t Blocks = 8;  // block limit for new encryptions
    QObject* NotifyWnd = nullptr;
};

// Error codes of a failed file, as the failed list stores them.
inline constexpr int kErrorIo = 1;        // could not be opened, read, written or resized
inline constexpr int kErrorWrongKey = 2;  // encrypted with another key
inline constexpr int kErrorTooSmall = 3;  // smaller than one block

enum class TProcessOutcome { Encrypted, Decrypted, Skipped, WrongKey, TooSmall };

struct TProcessResult {
    TProcessOutcome Outcome;
    std::int64_t SizeAfter;  // the file's size as it now is
};

// Raised for a file that must not be touched (code 1 in the job). The file is unchanged.
class TransformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The last-write time of a file, or nothing when it cannot be read. Never raises.
std::optional<platform::FileTime> SaveFileTime(platform::FileSystem& fs, const std::string& path);
// Sets the last-write time and leaves the other times alone. Failure is silent.
void RestoreFileTime(platform::FileSystem& fs, const std::string& path, platform::FileTime time);

// The points between the steps of a toggle that change the video, in their order.
enum class TToggleStep {
    JournalRecorded,
    TrailerAppended,
    BlockWritten,
    TrailerCut,
    VideoSynced,
    JournalDropped
};

// One job's transform. Holds the block buffer and the key streams, laid out once and reused for every
// file, so that nothing is allocated per block.
class TFileTransform {
public:
    TFileTransform(TKZVFlag params, bool keepFileTime,
                   platform::FileSystem& fileSystem = platform::localFileSystem());

    // Toggles one file. Decided refusals come back as outcomes; any failure raises, and a file that
    // was already partly rewritten is first put back exactly as it was (which raises too if that
    // fails). The file is held open without sharing throughout.
    TProcessResult ProcessFile(const std::string& path, const std::string& key);

    // From now on every toggle is recorded in the journal before the video changes, and the video is
    // made durable before the record is dropped, so that a crash at any moment can be undone.
    void UseJournal(std::unique_ptr<TJournal> journal) { journal_ = std::move(journal); }

    // Called after each step that changes the video. For crash tests only.
    void SetStepHookForTesting(std::function<void(TToggleStep)> hook) { stepHook_ = std::move(hook); }

    const TKZVFlag& Params() const noexcept { return params_; }

private:
    // The pattern for the effective key; the keyed one is rebuilt only when the key changes.
    const TKeyPattern& patternFor(const std::string& effectiveKey);

    // Rewrites the first `count` blocks; `progress` tells an undo how far it got.
    struct Progress {
        std::int64_t blocksDone = 0;
        bool writing = false;  // a block's write had begun and may be partial
    };
    void transformBlocks(platform::File& file, std::int64_t count, const TKeyPattern& pattern,
                         Progress& progress);
    void step(TToggleStep s) const {
        if (stepHook_) stepHook_(s);
    }
    // Puts every rewritten block back and restores the original size, and with it the trailer that a
    // decryption had cut off.
    void undo(platform::File& file, const Progress& progress, const TKeyPattern& pattern,
              std::int64_t originalSize, const TKZVTrailer* cutTrailer);

    TKZVFlag params_;
    bool keepFileTime_;
    platform::FileSystem& fileSystem_;
    std::vector<std::uint8_t> buffer_;
    TKeyPattern inversion_;
    TKeyPattern keyed_;
    std::unique_ptr<TJournal> journal_;
    std::function<void(TToggleStep)> stepHook_;
};

}  // namespace engine
