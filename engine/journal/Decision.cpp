#include "engine/journal/Decision.h"

#include <array>

namespace engine::journal {

namespace {

using enum Verdict;

// Rows: EndState; columns: SectorState. A half-done toggle is always undone, never finished: undoing
// needs only what the entry holds, and leaves the video as the user last saw it.
constexpr std::array<std::array<Verdict, 4>, 4> kTable = {{
    //            Original    Transformed  Mixed       Neither
    /* Before  */ {Untouched, Undo, Undo, LeaveAlone},
    /* After   */ {Undo, Complete, Undo, LeaveAlone},
    /* Partial */ {Undo, Undo, Undo, LeaveAlone},
    /* Neither */ {LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
}};

}  // namespace

Verdict Decide(EndState end, SectorState sectors) noexcept {
    return kTable[static_cast<std::size_t>(end)][static_cast<std::size_t>(sectors)];
}

std::string_view ToString(EndState state) noexcept {
    constexpr std::array<std::string_view, 4> names = {"before", "after", "partial", "neither"};
    return names[static_cast<std::size_t>(state)];
}

std::string_view ToString(SectorState state) noexcept {
    constexpr std::array<std::string_view, 4> names = {"original", "transformed", "mixed", "neither"};
    return names[static_cast<std::size_t>(state)];
}

std::string_view ToString(Verdict verdict) noexcept {
    constexpr std::array<std::string_view, 4> names = {"untouched", "complete", "undo", "leave alone"};
    return names[static_cast<std::size_t>(verdict)];
}

}  // namespace engine::journal
