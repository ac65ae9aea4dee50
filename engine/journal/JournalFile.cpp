#include "engine/journal/JournalFile.h"

#include <algorithm>
#include <cerrno>

namespace engine::journal {

OpenJournal OpenJournal::Open(platform::FileSystem& fs, const std::string& path) {
    OpenJournal journal{path, fs.openPrivate(path), {}, {}};
    journal.entries = ReadEntries(*journal.file, journal.file->owner());
    journal.settled.resize(journal.entries.size());
    for (std::size_t i = 0; i < journal.entries.size(); ++i)
        journal.settled[i] = journal.entries[i].state() == EntryState::Void;
    return journal;
}

bool OpenJournal::allSettled() const {
    return std::all_of(settled.begin(), settled.end(), [](bool s) { return s; });
}

void OpenJournal::voidSettled() {
    bool changed = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!settled[i] || entries[i].state() == EntryState::Void) continue;
        SetState(*file, entries[i].offset, EntryState::Void);
        entries[i].header.state = static_cast<std::uint32_t>(EntryState::Void);
        changed = true;
    }
    if (changed) file->sync();
}

void OpenJournal::finish(platform::FileSystem& fs) {
    // Voided first, even when the file goes: a removal is durable only once its folder is synced, and
    // a journal that comes back after a power cut must not bring back entries already settled.
    voidSettled();
    if (allSettled()) fs.removeFile(path);  // while still locked, so no one else picks it up meanwhile
    file.reset();
}

std::string FolderName(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool HeldByLiveProcess(const platform::FileError& error) {
    return error.errorNumber() == EWOULDBLOCK;
}

}  // namespace engine::journal
