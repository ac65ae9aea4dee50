#include "engine/journal/Recover.h"

#include <algorithm>
#include <cerrno>
#include <set>

#include "engine/journal/JournalFile.h"
#include "engine/journal/Settle.h"

namespace engine {

using namespace journal;

namespace {

// The most a journal file holds: a checkpoint's worth and one entry.
constexpr std::int64_t kMaxJournalFile = kCheckpointBytes + kMaxEntryLength;

std::string keptText(const Entry& entry, const std::string& journalPath, const std::string& why) {
    return "cannot restore " + entry.videoPath + " now: " + why +
           "; it is left as it is and the entry is kept in " + journalPath;
}

class Recovery {
public:
    Recovery(std::string folder, platform::FileSystem& fs, TDoneEntries done)
        : folder_(FolderName(std::move(folder))), fs_(fs), keepDone_(done == TDoneEntries::Keep) {}

    TRecoveryReport run() {
        try {
            try {
                fs_.checkPrivateFolder(folder_);
            } catch (const platform::FileError& error) {
                // Ours but open to others (an earlier version's lenient umask): closed now; each
                // journal in it is checked as it is opened.
                if (error.errorNumber() != EPERM) throw;
                fs_.makePrivateFolder(folder_);
            }
        } catch (const platform::FileError& error) {
            if (error.errorNumber() != ENOENT)
                report_.Problems.push_back(std::string("the recovery journal folder cannot be trusted (") +
                                           error.what() + "); nothing in it was applied");
            return std::move(report_);
        }
        std::vector<std::string> names;
        try {
            removeUnnamed();
            names = fs_.listFiles(folder_, kJournalSuffix);
        } catch (const std::exception& error) {
            report_.Problems.push_back(std::string("cannot read the recovery journal folder: ") +
                                       error.what());
            return std::move(report_);
        }
        for (const auto& path : names) openJournal(path);
        applyNewestFirst();
        writeBackDone();
        for (auto& journal : journals_) {
            try {
                removedAny_ |= journal.allSettled();
                journal.finish(fs_);
            } catch (const std::exception& error) {
                report_.Problems.push_back("recovery from " + journal.path + " failed: " + error.what());
            }
        }
        try {
            if (removedAny_) fs_.syncFolder(folder_);
        } catch (const std::exception&) {
            // The names come back after a power cut; their entries are then found settled or void.
        }
        return std::move(report_);
    }

private:
    struct Ref {
        std::size_t journal, entry;
    };

    const Entry& entryOf(const Ref& ref) const { return journals_[ref.journal].entries[ref.entry]; }

    // Journals whose creator died before it could rename them never held an entry.
    void removeUnnamed() {
        for (const auto& leftover : fs_.listFiles(folder_, kNewJournalSuffix)) {
            try {
                const auto held = fs_.openPrivate(leftover);
                fs_.removeFile(leftover);
            } catch (const std::exception&) {
                // Held by a live process, or not ours: not to be touched.
            }
        }
    }

    void setAside(const std::string& path, const char* suffix, const std::string& why) {
        try {
            fs_.renameFile(path, path + suffix);
            removedAny_ = true;
            report_.Problems.push_back(path + " " + why + "; it was not applied and is set aside as " + path +
                                       suffix);
        } catch (const std::exception& error) {
            report_.Problems.push_back(path + " " + why + "; it was not applied (" + error.what() + ")");
        }
    }

    void openJournal(const std::string& path) {
        try {
            OpenJournal journal = OpenJournal::Open(fs_, path);
            if (journal.file->size() > kMaxJournalFile) {
                // No toggle writes this much: reading it would only hold up every start.
                return setAside(path, kDamagedSuffix, "is too large to be a recovery journal");
            }
            if (IsDevelopmentFormat(*journal.file))
                return setAside(path, kDamagedSuffix, "is in a format only development versions wrote");
            journals_.push_back(std::move(journal));
        } catch (const platform::FileError& error) {
            if (HeldByLiveProcess(error)) return;       // its owner is alive and may be mid-toggle
            if (error.errorNumber() == ENOENT) return;  // another start's recovery finished it
            if (error.errorNumber() == EPERM || error.errorNumber() == ELOOP)
                return setAside(path, kUntrustedSuffix,
                                "cannot be trusted (" + std::string(error.what()) + ")");
            report_.Problems.push_back("recovery from " + path + " failed: " + error.what());
        } catch (const std::exception& error) {
            report_.Problems.push_back("recovery from " + path + " failed: " + error.what());
        }
    }

    // Newest first: an older entry for the same video then finds it as its own toggle left it.
    void applyNewestFirst() {
        std::vector<Ref> order;
        for (std::size_t j = 0; j < journals_.size(); ++j)
            for (std::size_t e = 0; e < journals_[j].entries.size(); ++e)
                if (!journals_[j].settled[e]) order.push_back({j, e});
        std::sort(order.begin(), order.end(), [&](const Ref& a, const Ref& b) {
            return entryOf(a).header.sequence > entryOf(b).header.sequence;
        });
        const std::string boot = fs_.bootId();
        std::set<std::uint64_t> waiting;  // inodes with a newer entry that could not be applied
        for (const auto& ref : order) {
            const Entry& entry = entryOf(ref);
            const std::string& journalPath = journals_[ref.journal].path;
            bool settled = false;
            std::string why;
            if (waiting.contains(entry.header.inode)) {
                why = "a newer change of it is not restored yet";
            } else if (entry.state() == EntryState::Done && !boot.empty() && entry.bootId() == boot) {
                // No power was lost since: the page cache holds the complete toggle.
                if (keepDone_) {
                    report_.Pending[entry.header.inode].push_back({journalPath,
                                                                   entry.offset,
                                                                   entry.videoPath,
                                                                   entry.header.device,
                                                                   entry.header.originalSize,
                                                                   {},
                                                                   true});
                    continue;
                }
                done_.push_back(ref);
                settled = true;
            } else {
                try {
                    settled = apply(journals_[ref.journal], entry, why);
                } catch (const std::exception& error) {
                    why = error.what();
                }
            }
            if (settled) {
                journals_[ref.journal].settled[ref.entry] = true;
                continue;
            }
            waiting.insert(entry.header.inode);
            const std::string problem = keptText(entry, journalPath, why);
            report_.Problems.push_back(problem);
            report_.Pending[entry.header.inode].push_back({journalPath, entry.offset, entry.videoPath,
                                                           entry.header.device, entry.header.originalSize,
                                                           problem});
        }
    }

    // Applies `entry` to the file at its path; false, with the reason, when it must stay.
    bool apply(OpenJournal& journal, const Entry& entry, std::string& why) {
        std::unique_ptr<platform::File> video;
        try {
            video = fs_.open(entry.videoPath, platform::FileAccess::ReadWrite);
        } catch (const platform::FileError& error) {
            why = error.what();
            return false;
        }
        if (video->identity().inode != entry.header.inode) {
            why = "it is no longer the file that was being changed";
            return false;
        }
        if (video->owner() != entry.header.owner) {
            why = "it is owned by another user than when it was being changed";
            return false;
        }
        const Settled settled = settler_.settle(*journal.file, entry, *video);
        if (settled.verdict == Verdict::LeaveAlone) {
            why = settled.why;
            return false;
        }
        if (settled.verdict == Verdict::Undo) report_.Restored.push_back(video->path());
        return true;
    }

    // Entries done in this boot: their videos' data written back, and nothing of other programs'.
    void writeBackDone() {
        for (const auto& ref : done_) {
            const Entry& entry = entryOf(ref);
            try {
                WriteBackVideo(fs_, entry.videoPath, entry.header.inode);
            } catch (const std::exception& error) {
                report_.Problems.push_back(NotWrittenBackText(entry.videoPath, error));
                journals_[ref.journal].settled[ref.entry] = false;
            }
        }
    }

    std::string folder_;
    platform::FileSystem& fs_;
    TRecoveryReport report_;
    std::vector<OpenJournal> journals_;
    bool keepDone_;
    std::vector<Ref> done_;
    Settler settler_;
    bool removedAny_ = false;
};

}  // namespace

TRecoveryReport RecoverJournals(const std::string& folder, platform::FileSystem& fileSystem,
                                TDoneEntries done) {
    return Recovery(folder, fileSystem, done).run();
}

}  // namespace engine
