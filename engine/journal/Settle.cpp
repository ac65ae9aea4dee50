#include "engine/journal/Settle.h"

#include <algorithm>

namespace engine::journal {

namespace {

bool bytesEqual(platform::File& video, std::int64_t at, std::span<const std::uint8_t> expected) {
    std::vector<std::uint8_t> actual(expected.size());
    video.readAt(at, actual);
    return std::equal(actual.begin(), actual.end(), expected.begin());
}

// A sector whose two readings share a 32-bit fingerprint (about one in four billion) is settled by
// the block's digest; with more such sectors than this the block is left alone.
constexpr std::size_t kMostAmbiguousSectors = 10;

}  // namespace

Settler::Settler()
    : now_(static_cast<std::size_t>(kBlockSize)),
      transformed_(static_cast<std::size_t>(kBlockSize)),
      record_(static_cast<std::size_t>(kBlockRecordSize)),
      nowDigests_(static_cast<std::size_t>(kSectorsPerBlock)),
      chosen_(static_cast<std::size_t>(kSectorsPerBlock)) {}

EndState Settler::endOf(const Entry& entry, platform::File& video) {
    const std::int64_t original = entry.header.originalSize;
    const std::int64_t size = video.size();
    const auto tailBefore = entry.tailBefore();
    if (entry.operation() == Operation::Encrypt) {
        if (size != original && size != original + kTailSize) return EndState::Neither;
        // The original last bytes that no block covers never change in an encryption.
        const std::int64_t tailFrom = std::max(original - kTailSize, entry.blocks() * kBlockSize);
        if (!bytesEqual(video, tailFrom, tailBefore.last(static_cast<std::size_t>(original - tailFrom))))
            return EndState::Neither;
        if (size == original) return EndState::Before;
        return bytesEqual(video, original, entry.tailAfter()) ? EndState::After : EndState::Partial;
    }
    if (size == original - kTailSize) return EndState::After;
    if (size != original) return EndState::Neither;
    // A restore cut short may have grown the file back (zeros) before it wrote the trailer.
    std::vector<std::uint8_t> trailer(static_cast<std::size_t>(kTailSize));
    video.readAt(original - kTailSize, trailer);
    for (std::size_t i = 0; i < trailer.size(); ++i)
        if (trailer[i] != tailBefore[i] && trailer[i] != 0) return EndState::Neither;
    return std::equal(trailer.begin(), trailer.end(), tailBefore.begin()) ? EndState::Before
                                                                          : EndState::Partial;
}

bool Settler::judgeBlock(platform::File& journal, const Entry& entry, platform::File& video,
                         std::int64_t index) {
    ReadRecord(journal, entry, index, record_);
    video.readAt(index * kBlockSize, now_);
    std::copy(now_.begin(), now_.end(), transformed_.begin());
    pattern_.apply(transformed_);
    const auto nowSectors = fingerprints_.sectors(now_);
    std::copy(nowSectors.begin(), nowSectors.end(), nowDigests_.begin());
    const auto transformedDigests = fingerprints_.sectors(transformed_);
    anyOriginal_ = anyTransformed_ = false;
    std::vector<std::size_t> both;
    for (std::size_t s = 0; s < chosen_.size(); ++s) {
        const std::uint32_t expected = RecordedSector(record_, s);
        const bool original = static_cast<std::uint32_t>(nowDigests_[s]) == expected;
        const bool transformed = static_cast<std::uint32_t>(transformedDigests[s]) == expected;
        if (!original && !transformed) return false;
        if (original && transformed) both.push_back(s);
        chosen_[s] = original ? 0 : 1;
    }
    if (both.size() > kMostAmbiguousSectors) return false;
    std::vector<std::uint64_t> digests(chosen_.size());
    for (std::uint32_t combo = 0; combo < (1u << both.size()); ++combo) {
        for (std::size_t b = 0; b < both.size(); ++b) chosen_[both[b]] = (combo >> b) & 1u;
        for (std::size_t s = 0; s < chosen_.size(); ++s)
            digests[s] = chosen_[s] ? transformedDigests[s] : nowDigests_[s];
        if (BlockFingerprints::blockDigest(digests) != RecordedBlock(record_)) continue;
        for (std::size_t s = 0; s < chosen_.size(); ++s) {
            (chosen_[s] ? anyTransformed_ : anyOriginal_) = true;
            if (chosen_[s])
                std::copy_n(transformed_.begin() + static_cast<std::ptrdiff_t>(s * kSectorSize), kSectorSize,
                            now_.begin() + static_cast<std::ptrdiff_t>(s * kSectorSize));
        }
        return true;
    }
    return false;
}

SectorState Settler::sectorsOf(platform::File& journal, const Entry& entry, platform::File& video,
                               std::string& why) {
    bool anyOriginal = false, anyTransformed = false;
    for (std::int64_t i = 0; i < entry.blocks(); ++i) {
        if (!judgeBlock(journal, entry, video, i)) {
            why = "block " + std::to_string(i) + " is neither as before nor as after";
            return SectorState::Neither;
        }
        anyOriginal |= anyOriginal_;
        anyTransformed |= anyTransformed_;
    }
    if (anyOriginal && anyTransformed) return SectorState::Mixed;
    return anyTransformed ? SectorState::Transformed : SectorState::Original;
}

void Settler::undo(platform::File& journal, const Entry& entry, platform::File& video) {
    for (std::int64_t i = 0; i < entry.blocks(); ++i) {
        if (!judgeBlock(journal, entry, video, i))
            throw platform::FileError(video.path(),
                                      "block " + std::to_string(i) + " changed while it was being restored");
        if (anyTransformed_) video.writeAt(i * kBlockSize, now_);
    }
    const std::int64_t original = entry.header.originalSize;
    if (video.size() != original) video.setSize(original);
    video.writeAt(original - kTailSize, entry.tailBefore());
    video.setLastWriteTime(entry.time());
}

Settled Settler::settle(platform::File& journal, const Entry& entry, platform::File& video) {
    fingerprints_.useSalt(entry.header.salt);
    if (pattern_.key() != entry.key()) pattern_ = TKeyPattern(entry.key());

    const EndState end = endOf(entry, video);
    std::string why;
    const SectorState sectors =
        end == EndState::Neither ? SectorState::Neither : sectorsOf(journal, entry, video, why);
    if (end == EndState::Neither) why = "its size or its end is neither as before nor as after";
    const Verdict verdict = Decide(end, sectors);
    switch (verdict) {
        case Verdict::LeaveAlone:
            return {verdict, why};
        case Verdict::Untouched:
            if (video.lastWriteTime() != entry.time()) video.setLastWriteTime(entry.time());
            break;
        case Verdict::Complete:
            if (entry.header.keepFileTime && video.lastWriteTime() != entry.time())
                video.setLastWriteTime(entry.time());
            break;
        case Verdict::Undo:
            undo(journal, entry, video);
            break;
    }
    // What the entry's going rests on must be on the disk first.
    video.sync();
    return {verdict, {}};
}

void WriteBackVideo(platform::FileSystem& fs, const std::string& path, std::uint64_t inode) {
    std::unique_ptr<platform::File> video;
    try {
        video = fs.open(path, platform::FileAccess::Read);
    } catch (const platform::FileError&) {
        // Gone from its path, or not to be opened now: its disk is written back below instead.
    }
    // A failing sync raises: the data it could not write is not on the disk, whatever a later sync says.
    if (video && video->identity().inode == inode) return video->sync();
    fs.syncFileSystemOf(path);
}

std::string NotWrittenBackText(const std::string& path, const std::exception& error) {
    return "cannot make " + path + " durable now (" + error.what() + "); its recovery entry is kept";
}

}  // namespace engine::journal
