#pragma once
// How every job is set up, whoever starts it (the window or velmora-cli): the rules for the key and
// the version text live here once; each caller only hands over what its user chose.

#include <cstddef>
#include <string_view>

#include "engine/JobOptions.h"
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

// Gives the job `options` with the key cut to kMaxKeyBytes bytes, the program version cut to the
// trailer's kVersionFieldSize, and `notifyWnd` to hear its messages. The files to process are the
// caller's to add. Before Resume() only.
void SetUpJob(TKZVThread& job, const TJobOptions& options, QObject* notifyWnd);

}  // namespace engine
