#pragma once
// What recovery does with a video that an entry describes, decided from what it finds: one table,
// shared by the start-up recovery and by a job that meets a video with a pending entry.

#include <string_view>

namespace engine::journal {

// The video's size and end, against the entry.
enum class EndState {
    Before,   // the size and last bytes the toggle started from
    After,    // the size and last bytes a complete toggle leaves
    Partial,  // a size of either, with an end on its way (a trailer partly written, or zeros where
              // a cut-short restore grew the file back before writing the trailer)
    Neither,  // a size or an end no toggle produces
};

// Every rewritten sector of the video, against its fingerprints.
enum class SectorState {
    Original,     // each sector as it was before the toggle
    Transformed,  // each sector as the toggle leaves it
    Mixed,        // each one or the other, not all the same
    Neither,      // at least one sector is neither, or a rebuilt block fails its digest
};

enum class Verdict {
    Untouched,   // nothing of the toggle landed: leave the video, drop the entry
    Complete,    // the whole toggle landed: leave the video, drop the entry
    Undo,        // part of it landed: put every transformed sector, the size and the end back
    LeaveAlone,  // not a state this toggle produces: write nothing, keep the entry, say why
};

Verdict Decide(EndState end, SectorState sectors) noexcept;

std::string_view ToString(EndState state) noexcept;
std::string_view ToString(SectorState state) noexcept;
std::string_view ToString(Verdict verdict) noexcept;

}  // namespace engine::journal
