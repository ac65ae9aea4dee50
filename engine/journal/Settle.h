#pragma once
// Settles one entry against the video it describes: finds the video's end and every rewritten
// sector's state, lets the decision table say what to do, and does it. Shared by the start-up
// recovery and by a job that meets a video with a pending entry.
//
// Which video an entry describes is the caller's to establish (its inode and owner); this unit
// confirms it by content: a video that matches neither the entry's before nor its after is never
// written.

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "engine/KeyPattern.h"
#include "engine/journal/Decision.h"
#include "engine/journal/Fingerprint.h"
#include "engine/journal/Format.h"
#include "platform/FileIo.h"

namespace engine::journal {

struct Settled {
    Verdict verdict;
    std::string why;  // for LeaveAlone, in words for the user
};

// Holds the buffers for judging blocks, laid out once for every entry of a recovery.
class Settler {
public:
    Settler();

    // Judges `video` against `entry` and acts on the verdict. Whatever it returns but LeaveAlone, the
    // video is durable in the state it reports (synced here), so the entry may go. Raises FileError
    // when the video cannot be read or written; the entry must then stay.
    Settled settle(platform::File& journal, const Entry& entry, platform::File& video);

private:
    EndState endOf(const Entry& entry, platform::File& video);
    // Judges block `index`; true when every sector is original or transformed and the rebuilt
    // block matches its digest. original() then holds the block's bytes before the toggle.
    bool judgeBlock(platform::File& journal, const Entry& entry, platform::File& video, std::int64_t index);
    SectorState sectorsOf(platform::File& journal, const Entry& entry, platform::File& video,
                          std::string& why);
    void undo(platform::File& journal, const Entry& entry, platform::File& video);

    BlockFingerprints fingerprints_;
    TKeyPattern pattern_;
    std::vector<std::uint8_t> now_, transformed_, record_;
    std::vector<std::uint64_t> nowDigests_;
    std::vector<std::uint8_t> chosen_;  // per sector: 1 when it reads transformed
    bool anyOriginal_ = false, anyTransformed_ = false;
};

// Makes a video whose toggle completed in this boot durable, so that its done entry may go: the data
// of the file at `path` when it still has `inode`, and nothing of other programs'. A video moved,
// replaced or removed since is reached only by writing back its whole disk. Raises FileError when
// neither can be done.
void WriteBackVideo(platform::FileSystem& fs, const std::string& path, std::uint64_t inode);
// What the user is told when WriteBackVideo failed and the entry stays.
std::string NotWrittenBackText(const std::string& path, const std::exception& error);

}  // namespace engine::journal
