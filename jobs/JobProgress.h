#pragma once
// A running job's progress as one state, reduced from its messages. The window paints it and
// velmora-cli prints it: both read the same numbers, so they cannot disagree. No Qt beyond the
// messages' own types.

#include <cstddef>
#include <cstdint>

#include "engine/JobMessages.h"

namespace jobs {

struct TJobProgressState {
    std::size_t Count = 0;  // files in the job, once the first file is told
    std::size_t Index = 0;  // the file handled last
    bool FileHandled = false;
    std::size_t Encrypted = 0;
    std::size_t Decrypted = 0;
    bool HasCounts = false;
    std::size_t Failed = 0;
    std::uint32_t Mib = 0;  // the toggled files' size so far, whole MiB
    bool HasFailedSize = false;
    std::size_t Found = 0;  // files the folder search found so far
    bool Searching = false;
    // The file in hand, while a long toggle tells how far it is.
    bool InFile = false;
    std::size_t FileIndex = 0;
    std::int64_t FileDone = 0;
    std::int64_t FileTotal = 0;
    bool Ended = false;
    bool Canceled = false;

    friend bool operator==(const TJobProgressState&, const TJobProgressState&) = default;
};

// The state after `message`. Errors leave it as it is: they are told, not counted.
TJobProgressState Reduce(TJobProgressState state, const engine::TJobMessage& message);

// Until the first file is done, the search is all there is to show.
bool SearchOnly(const TJobProgressState& state);

// The file being worked on: the one in hand during a long toggle, else the next after the last one
// handled (the last one at the end).
std::size_t FileInHand(const TJobProgressState& state);

// How far into the file in hand a long toggle is, 0 to 100.
int FilePercent(const TJobProgressState& state);

// The whole job as a bar: each file one stretch of it, so that a long toggle moves the bar within its
// stretch. `Maximum` fits an int.
struct TBarPosition {
    std::int64_t Value = 0;
    std::int64_t Maximum = 1;
};
TBarPosition BarPosition(const TJobProgressState& state);

}  // namespace jobs
