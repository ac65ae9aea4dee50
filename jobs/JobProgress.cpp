#include "jobs/JobProgress.h"

#include <algorithm>
#include <limits>

#include "platform/Messages.h"

namespace jobs {

TJobProgressState Reduce(TJobProgressState state, const engine::TJobMessage& message) {
    std::visit(platform::TOverloaded{
                   [&](const engine::TJobSearching& searching) {
                       state.Found = searching.Found;
                       state.Searching = true;
                   },
                   [&](const engine::TJobProgress& progress) {
                       state.Index = progress.Index;
                       state.Count = progress.Count;
                       state.FileHandled = true;
                       state.InFile = false;
                   },
                   [&](const engine::TJobFileProgress& progress) {
                       state.FileIndex = progress.Index;
                       state.Count = progress.Count;
                       state.FileDone = progress.Done;
                       state.FileTotal = progress.Total;
                       state.InFile = progress.Total > 0;
                   },
                   [&](const engine::TJobCounts& counts) {
                       state.Encrypted = counts.Encrypted;
                       state.Decrypted = counts.Decrypted;
                       state.HasCounts = true;
                   },
                   [&](const engine::TJobFailedSize& failedSize) {
                       state.Failed = failedSize.Failed;
                       state.Mib = failedSize.Mib;
                       state.HasFailedSize = true;
                   },
                   [&](const engine::TJobFinished& finished) {
                       state.Ended = true;
                       state.Canceled = finished.Canceled;
                       state.InFile = false;
                   },
                   [](const engine::TJobError&) {},
               },
               message);
    return state;
}

bool SearchOnly(const TJobProgressState& state) {
    return state.Searching && !state.HasCounts;
}

std::size_t FileInHand(const TJobProgressState& state) {
    if (state.InFile) return state.FileIndex;
    if (!state.FileHandled || state.Count == 0) return 0;
    return std::min(state.Index + 1, state.Count - 1);
}

int FilePercent(const TJobProgressState& state) {
    if (!state.InFile) return 0;
    const std::int64_t done = std::clamp<std::int64_t>(state.FileDone, 0, state.FileTotal);
    return static_cast<int>(100 * done / state.FileTotal);
}

TBarPosition BarPosition(const TJobProgressState& state) {
    const std::int64_t count = std::max<std::int64_t>(static_cast<std::int64_t>(state.Count), 1);
    const std::int64_t stretch = std::clamp<std::int64_t>(std::numeric_limits<int>::max() / count, 1, 1000);
    std::int64_t value = (static_cast<std::int64_t>(state.Index) + 1) * stretch;  // the files done
    if (state.InFile) {
        const std::int64_t done = std::clamp<std::int64_t>(state.FileDone, 0, state.FileTotal);
        value = static_cast<std::int64_t>(state.FileIndex) * stretch + stretch * done / state.FileTotal;
    }
    // Beyond an int's range (billions of files) the bar is scaled down to it.
    constexpr std::int64_t kMost = std::numeric_limits<int>::max();
    const std::int64_t maximum = count * stretch;
    if (maximum <= kMost) return {value, maximum};
    return {static_cast<std::int64_t>(static_cast<double>(value) * kMost / static_cast<double>(maximum)),
            kMost};
}

}  // namespace jobs
