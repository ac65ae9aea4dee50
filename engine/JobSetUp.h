#pragma once
// How every job is set up, whoever starts it (the window or velmora-cli): the rules for the key and
// the version text live here once; each caller only says what its user chose.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/FileTransform.h"
#include "engine/Trailer.h"

class QObject;

namespace engine {

class TKZVThread;

// The most key bytes a job uses: what the trailer's key field holds. Longer keys are cut to it.
inline constexpr std::size_t kMaxKeyBytes = kKeyFieldSize;

// True when a job would use only the first kMaxKeyBytes bytes of `key`.
constexpr bool KeyIsCut(std::string_view key) {
    return key.size() > kMaxKeyBytes;
}

// What the user chose for one job.
struct TJobOptions {
    std::string Key;                 // in the local 8-bit encoding, as given; empty: no key
    std::uint8_t FileType = ftBoth;  // the target filter
    std::int32_t Blocks = 8;         // block limit for new encryptions
    bool KeepFileTime = true;        // restore each toggled file's last-write time
    bool RemoveThumbnails = true;    // keep the thumbnail cache from showing what a file held
    bool WholeStreams = false;       // scramble MPEG transport and program streams whole
    std::string JournalFolder;       // where the job keeps its recovery journal; empty: none
    QObject* NotifyWnd = nullptr;    // hears the job's messages
};

// Fills the job's parameters from `options`: the key cut to kMaxKeyBytes bytes, the program version
// cut to the trailer's kVersionFieldSize. The files to process are the caller's to add. Before
// Resume() only.
void SetUpJob(TKZVThread& job, const TJobOptions& options);

}  // namespace engine
