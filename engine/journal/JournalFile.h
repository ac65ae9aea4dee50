#pragma once
// One journal file as recovery holds it: opened without following links and only when it is the
// user's alone, its entries read, each marked settled or not, and finished when recovery is done
// with it. Used by the start-up recovery and by a job settling a pending entry.

#include <memory>
#include <string>
#include <vector>

#include "engine/journal/Format.h"
#include "platform/FileIo.h"

namespace engine::journal {

// A journal whose creator died before it was renamed never held an entry.
inline constexpr const char* kNewJournalSuffix = ".vjournal-new";
// Journals set aside, kept for a person to look at and never read again.
inline constexpr const char* kDamagedSuffix = ".damaged";
inline constexpr const char* kUntrustedSuffix = ".untrusted";

struct OpenJournal {
    std::string path;
    std::unique_ptr<platform::File> file;  // held locked from opening to finish()
    std::vector<Entry> entries;
    std::vector<bool> settled;

    // Opens and reads `path`. Raises FileError when it cannot be opened: held by a live process
    // (EWOULDBLOCK), not the user's alone, or any other reason.
    static OpenJournal Open(platform::FileSystem& fs, const std::string& path);
    bool allSettled() const;
    // Voids the settled entries in the file, made durable; a journal left as it was is not synced: a
    // sync may wait on the disk for other programs' data.
    void voidSettled();
    // Voids the settled entries, then removes the journal when every entry is settled.
    void finish(platform::FileSystem& fs);
};

// The journal folder as its messages name it: settings give it with a trailing slash.
std::string FolderName(std::string folder);

// Whether an open failed only because a live process holds the journal.
bool HeldByLiveProcess(const platform::FileError& error);

}  // namespace engine::journal
