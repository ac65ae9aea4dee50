#include "engine/Journal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>

#include <unistd.h>

#include "engine/KeyPattern.h"
#include "engine/Trailer.h"

namespace engine {

namespace {

constexpr std::int64_t kSectorSize = 512;
constexpr std::int64_t kSectorsPerBlock = kBlockSize / kSectorSize;
// Per block: a 32-bit fingerprint of every sector, then a 64-bit digest of the whole block.
constexpr std::int64_t kBlockRecordSize = kSectorsPerBlock * 4 + 8;
constexpr std::uint32_t kMaxPathLength = 4096;
constexpr std::int64_t kTailSize = kTrailerSize;
// A journal holds at most this much before a checkpoint empties it, plus one entry.
constexpr std::int64_t kCheckpointBytes = std::int64_t{64} << 20;
// The name a journal has until it is locked: recovery never reads it.
constexpr const char* kNewJournalSuffix = ".vjournal-new";
constexpr const char* kDamagedSuffix = ".damaged";

// ---- Checksums and fingerprints -------------------------------------------------------------------

// Eight independent lanes of multiply-accumulate over 64-byte stripes, written so that the compiler
// vectorises them. Guards against torn writes and tells sectors apart, not against an adversary.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void accumulateStripes(std::uint64_t* __restrict lanes, const std::uint8_t* __restrict data, std::size_t stripes) {
    std::uint64_t acc[8];
    for (int j = 0; j < 8; ++j) acc[j] = lanes[j];
    for (std::size_t s = 0; s < stripes; ++s) {
        for (std::size_t j = 0; j < 8; ++j) {
            std::uint64_t v;
            std::memcpy(&v, data + (s * 8 + j) * 8, 8);
            const std::uint64_t k = v ^ (0x9E3779B97F4A7C15ull * (j + 1));
            acc[j] += v + static_cast<std::uint64_t>(static_cast<std::uint32_t>(k)) * (k >> 32);
        }
    }
    for (int j = 0; j < 8; ++j) lanes[j] = acc[j];
}

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t rotl(std::uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

std::uint64_t foldLanes(const std::uint64_t (&lanes)[8], std::uint64_t seed) {
    for (const auto lane : lanes) seed = rotl(seed ^ lane, 27) * kPrime1 + kPrime2;
    seed ^= seed >> 29;
    seed *= kPrime2;
    return seed ^ (seed >> 32);
}

class Checksum {
public:
    void add(std::span<const std::uint8_t> bytes) {
        std::uint64_t lanes[8] = {};
        const std::size_t whole = bytes.size() / 64;
        accumulateStripes(lanes, bytes.data(), whole);
        std::uint8_t last[64] = {};
        if (bytes.size() > whole * 64)
            std::memcpy(last, bytes.data() + whole * 64, bytes.size() - whole * 64);
        accumulateStripes(lanes, last, 1);
        value_ = rotl(value_ ^ foldLanes(lanes, bytes.size()), 29) * kPrime2 + bytes.size();
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0x51ED270B27D4EB2Full;
};

// The lanes of every sector of a block at once, in one vectorised pass; `lanes` holds 8 per sector.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void sectorLanes(const std::uint8_t* __restrict block, std::uint64_t salt, std::uint64_t* __restrict lanes) {
    constexpr std::size_t kStripes = kSectorSize / 64;
    for (std::size_t s = 0; s < static_cast<std::size_t>(kSectorsPerBlock); ++s) {
        std::uint64_t acc[8];
        for (std::size_t j = 0; j < 8; ++j) acc[j] = salt * (2 * j + 1);
        const std::uint8_t* sector = block + s * static_cast<std::size_t>(kSectorSize);
        for (std::size_t t = 0; t < kStripes; ++t) {
            for (std::size_t j = 0; j < 8; ++j) {
                std::uint64_t v;
                std::memcpy(&v, sector + (t * 8 + j) * 8, 8);
                const std::uint64_t k = v ^ (0x9E3779B97F4A7C15ull * (j + 1));
                acc[j] += v + static_cast<std::uint64_t>(static_cast<std::uint32_t>(k)) * (k >> 32);
            }
        }
        for (std::size_t j = 0; j < 8; ++j) lanes[s * 8 + j] = acc[j];
    }
}

// The digest of each 512-byte sector of a block, salted per entry so that no video's content can be
// chosen to collide. `lanes` is scratch space of 8 values per sector.
void sectorDigests(std::span<const std::uint8_t> block, std::uint64_t salt, std::span<std::uint64_t> lanes,
                   std::span<std::uint64_t> out) {
    sectorLanes(block.data(), salt, lanes.data());
    for (std::size_t s = 0; s < out.size(); ++s) {
        std::uint64_t sector[8];
        std::copy_n(lanes.begin() + static_cast<std::ptrdiff_t>(s * 8), 8, sector);
        out[s] = foldLanes(sector, salt ^ static_cast<std::uint64_t>(s));
    }
}

std::uint64_t blockDigest(std::span<const std::uint64_t> digests) {
    Checksum sum;
    sum.add({reinterpret_cast<const std::uint8_t*>(digests.data()), digests.size_bytes()});
    return sum.value();
}

template <typename T>
std::span<const std::uint8_t> bytesOf(const T& value) {
    return {reinterpret_cast<const std::uint8_t*>(&value), sizeof value};
}
template <typename T>
std::span<std::uint8_t> writableBytesOf(T& value) {
    return {reinterpret_cast<std::uint8_t*>(&value), sizeof value};
}

// ---- The entry ----------------------------------------------------------------------------------

// Layout, little-endian: this header, the video's canonical path, one block record per rewritten
// block, and a checksum over all of it but `state`, which is how a settled entry is voided in place.
constexpr std::array<char, 8> kEntryMagic = {'V', 'M', 'J', 'R', 'N', 'L', '0', '2'};
constexpr std::uint32_t kLive = 0;
constexpr std::uint32_t kVoid = 0x44494F56;  // "VOID": settled, nothing more to do
// "DONE": the toggle completed in its process, the video not yet known durable. Within the same boot
// the page cache still holds the complete toggle, so one sync of the file system settles it.
constexpr std::uint32_t kDone = 0x454E4F44;
constexpr std::size_t kBootIdSize = 40;

#pragma pack(push, 1)
struct EntryHeader {
    char magic[8];
    std::uint32_t state;
    std::uint32_t operation;
    std::uint64_t entryLength;
    std::uint64_t sequence;  // recording order, newest highest, across processes
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t originalSize;
    std::int64_t timeSeconds;
    std::int64_t timeNanoseconds;
    std::uint32_t blockCount;
    std::uint32_t pathLength;
    std::uint32_t keyLength;
    std::uint32_t keepFileTime;
    std::uint64_t salt;
    char bootId[kBootIdSize];  // the boot the entry was written in
    std::uint8_t key[64];
    std::uint8_t tailBefore[96];  // the last 96 bytes before the toggle
    std::uint8_t tailAfter[96];   // an encryption's trailer; zero for a decryption
};
#pragma pack(pop)
static_assert(sizeof(EntryHeader) == 392);
constexpr std::int64_t kHeaderSize = sizeof(EntryHeader);
constexpr std::size_t kStateOffset = offsetof(EntryHeader, state);

constexpr std::int64_t entryLength(std::int64_t pathLength, std::int64_t blocks) {
    return kHeaderSize + pathLength + blocks * kBlockRecordSize + 8;
}
constexpr std::int64_t kMaxEntryLength = entryLength(kMaxPathLength, kMaxJournalBlocks);
constexpr std::int64_t kMaxJournalFile = kCheckpointBytes + kMaxEntryLength;

std::uint64_t headerChecksumPart(EntryHeader header, Checksum& sum) {
    header.state = kLive;
    sum.add(bytesOf(header));
    return sum.value();
}

// A complete entry found in a journal file.
struct Entry {
    std::int64_t offset = 0;
    EntryHeader header{};
    std::string videoPath;

    TIdentityKey identity() const { return {header.device, header.inode}; }
    std::int64_t recordsAt() const { return offset + kHeaderSize + header.pathLength; }
    bool encrypt() const {
        return header.operation == static_cast<std::uint32_t>(TJournal::Operation::Encrypt);
    }
};

// Checks what a toggle can produce: a header that fails these was never written by one.
bool plausible(const EntryHeader& h) {
    if (std::memcmp(h.magic, kEntryMagic.data(), kEntryMagic.size()) != 0) return false;
    if (h.operation != 1 && h.operation != 2) return false;
    if (h.blockCount < 1 || h.blockCount > kMaxJournalBlocks) return false;
    if (h.pathLength < 1 || h.pathLength > kMaxPathLength || h.keyLength > 64) return false;
    const std::int64_t content = h.operation == 2 ? h.originalSize - kTailSize : h.originalSize;
    if (h.originalSize < 0 || content < static_cast<std::int64_t>(h.blockCount) * kBlockSize) return false;
    return h.entryLength == static_cast<std::uint64_t>(entryLength(h.pathLength, h.blockCount));
}

// Reads the entry at `offset`; nothing when it is torn, cut short or not an entry at all.
std::optional<Entry> readEntry(platform::File& journal, std::int64_t offset, std::int64_t fileSize) {
    if (fileSize - offset < kHeaderSize) return std::nullopt;
    Entry entry;
    entry.offset = offset;
    journal.readAt(offset, writableBytesOf(entry.header));
    const auto& h = entry.header;
    if (!plausible(h) || offset + static_cast<std::int64_t>(h.entryLength) > fileSize) return std::nullopt;
    Checksum sum;
    headerChecksumPart(h, sum);
    entry.videoPath.resize(h.pathLength);
    journal.readAt(offset + kHeaderSize,
                   {reinterpret_cast<std::uint8_t*>(entry.videoPath.data()), h.pathLength});
    sum.add({reinterpret_cast<const std::uint8_t*>(entry.videoPath.data()), h.pathLength});
    // Read in chunks, summed record by record as they were written.
    constexpr std::int64_t kPerChunk = 16;
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(kBlockRecordSize * kPerChunk));
    for (std::int64_t block = 0; block < h.blockCount; block += kPerChunk) {
        const auto records = std::min<std::int64_t>(kPerChunk, h.blockCount - block);
        const auto part = std::span(chunk).first(static_cast<std::size_t>(records * kBlockRecordSize));
        journal.readAt(entry.recordsAt() + block * kBlockRecordSize, part);
        for (std::int64_t r = 0; r < records; ++r)
            sum.add(part.subspan(static_cast<std::size_t>(r * kBlockRecordSize), kBlockRecordSize));
    }
    std::uint64_t stored = 0;
    journal.readAt(offset + static_cast<std::int64_t>(h.entryLength) - 8, writableBytesOf(stored));
    if (stored != sum.value()) return std::nullopt;
    return entry;
}

// Every complete entry, live or void, up to the first one that is not (the rest of that group was
// never made durable, so none of its videos was touched).
std::vector<Entry> readEntries(platform::File& journal) {
    std::vector<Entry> entries;
    const std::int64_t size = journal.size();
    for (std::int64_t at = 0;;) {
        auto entry = readEntry(journal, at, size);
        if (!entry) break;
        at += static_cast<std::int64_t>(entry->header.entryLength);
        entries.push_back(std::move(*entry));
    }
    return entries;
}

void setState(platform::File& journal, std::int64_t offset, std::uint32_t state) {
    journal.writeAt(offset + static_cast<std::int64_t>(kStateOffset), bytesOf(state));
}

void voidEntry(platform::File& journal, std::int64_t offset) {
    setState(journal, offset, kVoid);
}

bool sameBoot(const EntryHeader& h, const std::string& bootId) {
    return !bootId.empty() && std::string_view(h.bootId, strnlen(h.bootId, kBootIdSize)) == bootId;
}

// ---- Applying an entry to its video ---------------------------------------------------------------

enum class VideoState { Untouched, Complete, Restored, Damaged };

struct Applied {
    VideoState state;
    std::string why;  // for Damaged
};

bool bytesEqual(platform::File& video, std::int64_t at, std::span<const std::uint8_t> expected) {
    std::vector<std::uint8_t> actual(expected.size());
    video.readAt(at, actual);
    return std::equal(actual.begin(), actual.end(), expected.begin());
}

// Rebuilds the original of one block from what the video holds now. Each sector must be original or
// transformed; the rebuilt block must match its digest. Returns false when it is neither.
class BlockJudge {
public:
    // Buffers are laid out once and serve every entry of a recovery.
    BlockJudge()
        : now_(static_cast<std::size_t>(kBlockSize)),
          transformed_(static_cast<std::size_t>(kBlockSize)),
          lanes_(static_cast<std::size_t>(kSectorsPerBlock) * 8),
          nowDigests_(static_cast<std::size_t>(kSectorsPerBlock)),
          transformedDigests_(static_cast<std::size_t>(kSectorsPerBlock)),
          chosen_(static_cast<std::size_t>(kSectorsPerBlock)),
          record_(static_cast<std::size_t>(kBlockRecordSize)) {}

    void use(const Entry& entry) {
        salt_ = entry.header.salt;
        const std::string key(reinterpret_cast<const char*>(entry.header.key), entry.header.keyLength);
        if (pattern_.key() != key || !patternSet_) pattern_ = TKeyPattern(key);
        patternSet_ = true;
    }

    // Judges block `index`; afterwards original() holds its rebuilt original bytes.
    bool judge(platform::File& journal, const Entry& entry, platform::File& video, std::int64_t index) {
        journal.readAt(entry.recordsAt() + index * kBlockRecordSize, record_);
        video.readAt(index * kBlockSize, now_);
        std::copy(now_.begin(), now_.end(), transformed_.begin());
        pattern_.apply(transformed_);
        sectorDigests(now_, salt_, lanes_, nowDigests_);
        sectorDigests(transformed_, salt_, lanes_, transformedDigests_);
        anyOriginal_ = anyTransformed_ = false;
        std::vector<std::size_t> both;
        for (std::size_t s = 0; s < chosen_.size(); ++s) {
            std::uint32_t expected;
            std::memcpy(&expected, record_.data() + s * 4, 4);
            const bool original = static_cast<std::uint32_t>(nowDigests_[s]) == expected;
            const bool transformed = static_cast<std::uint32_t>(transformedDigests_[s]) == expected;
            if (!original && !transformed) return false;
            if (original && transformed) both.push_back(s);
            chosen_[s] = original ? 0 : 1;
        }
        std::uint64_t expectedBlock;
        std::memcpy(&expectedBlock, record_.data() + kSectorsPerBlock * 4, 8);
        // A sector whose two readings share a 32-bit fingerprint (about one in four billion) is
        // settled by the block's digest; too many such sectors and the block is left alone.
        if (both.size() > 10) return false;
        std::vector<std::uint64_t> digests(chosen_.size());
        for (std::uint32_t combo = 0; combo < (1u << both.size()); ++combo) {
            for (std::size_t b = 0; b < both.size(); ++b) chosen_[both[b]] = (combo >> b) & 1u;
            for (std::size_t s = 0; s < chosen_.size(); ++s)
                digests[s] = chosen_[s] ? transformedDigests_[s] : nowDigests_[s];
            if (blockDigest(digests) == expectedBlock) {
                for (std::size_t s = 0; s < chosen_.size(); ++s) {
                    (chosen_[s] ? anyTransformed_ : anyOriginal_) = true;
                    if (chosen_[s])
                        std::copy_n(transformed_.begin() + static_cast<std::ptrdiff_t>(s * kSectorSize),
                                    kSectorSize, now_.begin() + static_cast<std::ptrdiff_t>(s * kSectorSize));
                }
                return true;
            }
        }
        return false;
    }

    std::span<const std::uint8_t> original() const { return now_; }
    bool anyOriginal() const { return anyOriginal_; }
    bool anyTransformed() const { return anyTransformed_; }

private:
    std::uint64_t salt_ = 0;
    TKeyPattern pattern_;
    bool patternSet_ = false;
    std::vector<std::uint8_t> now_, transformed_;
    std::vector<std::uint64_t> lanes_;
    std::vector<std::uint64_t> nowDigests_, transformedDigests_;
    std::vector<std::uint8_t> chosen_;  // per sector: 1 when it reads transformed
    std::vector<std::uint8_t> record_;
    bool anyOriginal_ = false, anyTransformed_ = false;
};

// Tells the video's state from the entry and, when the toggle is half done, undoes it. Writes nothing
// unless every rewritten sector, the size and the end are each in a state the toggle can produce.
Applied applyEntry(platform::File& journal, const Entry& entry, platform::File& video, BlockJudge& judge) {
    const auto& h = entry.header;
    const std::int64_t original = h.originalSize;
    const std::int64_t rewrittenEnd = static_cast<std::int64_t>(h.blockCount) * kBlockSize;
    const std::int64_t size = video.size();
    const std::span<const std::uint8_t> tailBefore(h.tailBefore, kTailSize);

    // The end of the file: before, after, or (for an encryption) a trailer on its way.
    enum class End { Before, After, Between };
    End end;
    // The original last 96 bytes that no block covers never change in a toggle.
    const std::int64_t tailFrom = std::max(original - kTailSize, rewrittenEnd);
    const auto untouchedTail = tailBefore.last(static_cast<std::size_t>(original - tailFrom));
    if (entry.encrypt()) {
        if (size != original && size != original + kTailSize)
            return {VideoState::Damaged, "its size is neither as before nor as after"};
        if (!bytesEqual(video, tailFrom, untouchedTail))
            return {VideoState::Damaged, "its end is neither as before nor as after"};
        end = size == original ? End::Before
              : bytesEqual(video, original, std::span<const std::uint8_t>(h.tailAfter, kTailSize))
                  ? End::After
                  : End::Between;
    } else {
        if (size == original) {
            // A recovery cut short may have grown the file back (zeros) before it wrote the trailer.
            std::vector<std::uint8_t> trailer(kTailSize);
            video.readAt(original - kTailSize, trailer);
            for (std::size_t i = 0; i < trailer.size(); ++i)
                if (trailer[i] != tailBefore[i] && trailer[i] != 0)
                    return {VideoState::Damaged, "its trailer is neither as before nor cut off"};
            end = std::equal(trailer.begin(), trailer.end(), tailBefore.begin()) ? End::Before : End::Between;
        } else if (size == original - kTailSize) {
            end = End::After;
        } else {
            return {VideoState::Damaged, "its size is neither as before nor as after"};
        }
    }

    judge.use(entry);
    bool anyOriginal = false, anyTransformed = false;
    for (std::int64_t i = 0; i < h.blockCount; ++i) {
        if (!judge.judge(journal, entry, video, i))
            return {VideoState::Damaged, "block " + std::to_string(i) + " is neither as before nor as after"};
        anyOriginal |= judge.anyOriginal();
        anyTransformed |= judge.anyTransformed();
    }
    const platform::FileTime time{h.timeSeconds, h.timeNanoseconds};
    if (!anyTransformed && end == End::Before) {
        if (video.lastWriteTime() != time) video.setLastWriteTime(time);
        return {VideoState::Untouched, {}};
    }
    if (!anyOriginal && end == End::After) {
        if (h.keepFileTime && video.lastWriteTime() != time) {
            video.setLastWriteTime(time);
            video.sync();
        }
        return {VideoState::Complete, {}};
    }
    // Half done: every transformed sector goes back, then the original size and end.
    for (std::int64_t i = 0; i < h.blockCount; ++i) {
        if (!judge.judge(journal, entry, video, i))
            return {VideoState::Damaged, "block " + std::to_string(i) + " changed while it was restored"};
        if (judge.anyTransformed()) video.writeAt(i * kBlockSize, judge.original());
    }
    if (size != original) video.setSize(original);
    video.writeAt(original - kTailSize, tailBefore);
    video.setLastWriteTime(time);
    video.sync();
    return {VideoState::Restored, {}};
}

// ---- The format before fingerprints: one entry holding the original blocks ------------------------

constexpr std::array<char, 8> kLegacyMagic = {'V', 'M', 'J', 'R', 'N', 'L', '0', '1'};

#pragma pack(push, 1)
struct LegacyHeader {
    char magic[8];
    std::uint32_t operation;
    std::uint32_t blockCount;
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t originalSize;
    std::int64_t timeSeconds;
    std::int64_t timeNanoseconds;
    std::uint32_t pathLength;
    std::uint32_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(LegacyHeader) == 64);

enum class LegacyResult { NotLegacy, Discarded, Restored, Kept };

// A journal an earlier version left: applied as that version did, after the checks it lacked (a
// plausible entry only, the same file, a size the toggle can leave).
LegacyResult recoverLegacy(platform::File& journal, platform::FileSystem& fs, TRecoveryReport& report) {
    const std::int64_t size = journal.size();
    LegacyHeader h{};
    if (size < static_cast<std::int64_t>(sizeof h)) return LegacyResult::NotLegacy;
    journal.readAt(0, writableBytesOf(h));
    if (std::memcmp(h.magic, kLegacyMagic.data(), kLegacyMagic.size()) != 0) return LegacyResult::NotLegacy;
    const std::int64_t blocks = h.blockCount;
    const std::int64_t expected =
        static_cast<std::int64_t>(sizeof h) + h.pathLength + kTailSize + blocks * kBlockSize + 8;
    const std::int64_t content = h.operation == 2 ? h.originalSize - kTailSize : h.originalSize;
    if (h.pathLength == 0 || h.pathLength > kMaxPathLength || blocks < 1 || blocks > kMaxJournalBlocks ||
        (h.operation != 1 && h.operation != 2) || content < blocks * kBlockSize || size != expected)
        return LegacyResult::Discarded;
    Checksum sum;
    sum.add(bytesOf(h));
    std::string path(h.pathLength, '\0');
    journal.readAt(sizeof h, {reinterpret_cast<std::uint8_t*>(path.data()), path.size()});
    sum.add({reinterpret_cast<const std::uint8_t*>(path.data()), path.size()});
    std::vector<std::uint8_t> tail(kTailSize);
    const std::int64_t tailAt = static_cast<std::int64_t>(sizeof h) + h.pathLength;
    journal.readAt(tailAt, tail);
    sum.add(tail);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(kBlockSize));
    for (std::int64_t i = 0; i < blocks; ++i) {
        journal.readAt(tailAt + kTailSize + i * kBlockSize, block);
        sum.add(block);
    }
    std::uint64_t stored = 0;
    journal.readAt(size - 8, writableBytesOf(stored));
    if (stored != sum.value()) return LegacyResult::Discarded;

    std::unique_ptr<platform::File> video;
    try {
        video = fs.open(path, platform::FileAccess::ReadWrite);
    } catch (const platform::FileError& error) {
        report.Problems.push_back("cannot restore " + path + " now (" + error.what() + ")");
        return LegacyResult::Kept;
    }
    const std::int64_t now = video->size();
    if (video->identity() != platform::FileIdentity{h.device, h.inode} || now < h.originalSize - kTailSize ||
        now > h.originalSize + kTailSize) {
        report.Problems.push_back(path + " is no longer the file that was being changed; left as it is");
        return LegacyResult::Kept;
    }
    for (std::int64_t i = 0; i < blocks; ++i) {
        journal.readAt(tailAt + kTailSize + i * kBlockSize, block);
        video->writeAt(i * kBlockSize, block);
    }
    video->setSize(h.originalSize);
    video->writeAt(h.originalSize - kTailSize, tail);
    video->setLastWriteTime({h.timeSeconds, h.timeNanoseconds});
    video->sync();
    report.Restored.push_back(path);
    return LegacyResult::Restored;
}

bool isLockedByOther(const platform::FileError& error) {
    return error.errorNumber() == EWOULDBLOCK;
}

std::uint64_t randomNumber() {
    std::random_device random;
    return (static_cast<std::uint64_t>(random()) << 32) ^ random();
}

std::string keptText(const Entry& entry, const std::string& journalPath, const std::string& why) {
    return "cannot restore " + entry.videoPath + " now: " + why +
           "; it is left as it is and the entry is kept in " + journalPath;
}

// One journal file being recovered: held locked from start to end.
struct OpenJournal {
    std::string path;
    std::unique_ptr<platform::File> file;
    std::vector<Entry> entries;
    std::vector<bool> settled;
};

// Applies `entry` to the video it names (or to `video` when given); records the outcome.
VideoState recoverEntry(OpenJournal& journal, const Entry& entry, platform::FileSystem& fs, BlockJudge& judge,
                        TRecoveryReport& report, platform::File* given = nullptr) {
    std::unique_ptr<platform::File> opened;
    platform::File* video = given;
    if (!video) {
        try {
            opened = fs.open(entry.videoPath, platform::FileAccess::ReadWrite);
        } catch (const platform::FileError& error) {
            report.Problems.push_back(keptText(entry, journal.path, error.what()));
            return VideoState::Damaged;
        }
        video = opened.get();
        if (video->identity() != platform::FileIdentity{entry.header.device, entry.header.inode}) {
            report.Problems.push_back(
                keptText(entry, journal.path, "it is no longer the file that was being changed"));
            return VideoState::Damaged;
        }
    }
    const Applied applied = applyEntry(*journal.file, entry, *video, judge);
    if (applied.state == VideoState::Damaged)
        report.Problems.push_back(keptText(entry, journal.path, applied.why));
    if (applied.state == VideoState::Restored) report.Restored.push_back(video->path());
    return applied.state;
}

// Removes a journal whose entries are all settled, or voids the settled ones and keeps it.
void finishJournal(OpenJournal& journal, platform::FileSystem& fs) {
    if (std::all_of(journal.settled.begin(), journal.settled.end(), [](bool s) { return s; })) {
        fs.removeFile(journal.path);  // while still locked, so no one else picks it up meanwhile
        journal.file.reset();
        return;
    }
    for (std::size_t i = 0; i < journal.entries.size(); ++i)
        if (journal.settled[i] && journal.entries[i].header.state != kVoid)
            voidEntry(*journal.file, journal.entries[i].offset);
    journal.file->sync();
    journal.file.reset();
}

}  // namespace

// ---- The job's journal ----------------------------------------------------------------------------

TJournal::TJournal(std::string folder, platform::FileSystem& fileSystem)
    : folder_(std::move(folder)), fileSystem_(fileSystem) {}

std::unique_ptr<TJournal> TJournal::Create(const std::string& folder, platform::FileSystem& fileSystem) {
    fileSystem.makeFolder(folder);
    std::unique_ptr<TJournal> journal(new TJournal(folder, fileSystem));
    journal->open();
    return journal;
}

void TJournal::open() {
    for (int attempt = 0;; ++attempt) {
        const std::string name =
            folder_ + "/" + std::to_string(::getpid()) + "-" + std::to_string(randomNumber());
        try {
            // Created and locked under a name recovery ignores, then renamed: no other process ever
            // sees it unlocked. Should someone remove it in between, the rename fails and we start over.
            auto file = fileSystem_.create(name + kNewJournalSuffix);
            fileSystem_.renameFile(name + kNewJournalSuffix, name + kJournalSuffix);
            file_ = std::move(file);
            path_ = name + kJournalSuffix;
            break;
        } catch (const platform::FileError& error) {
            if ((error.errorNumber() != EEXIST && error.errorNumber() != ENOENT) || attempt > 100) throw;
        }
    }
    // The entries must still be found after a power loss: the name has to be durable too.
    fileSystem_.syncFolder(folder_);
}

TJournal::~TJournal() {
    if (!file_ || finished_) return;
    try {
        Finish();
    } catch (const std::exception&) {
        // Left to the next start's recovery, which finds the toggles complete.
    }
}

bool TJournal::Holds(const platform::File& video) const {
    const auto id = video.identity();
    return recorded_.contains({id.device, id.inode});
}

bool TJournal::IsUnsettled(const platform::File& video) const {
    const auto id = video.identity();
    const auto it = recorded_.find({id.device, id.inode});
    return it != recorded_.end() && it->second.unsettled;
}

bool TJournal::Record(platform::File& video, const Toggle& toggle, std::span<std::uint8_t> buffer) {
    if (!file_) throw platform::FileError(folder_, "the recovery journal is not available", EBADF);
    if (toggle.blocks < 1 || toggle.blocks > kMaxJournalBlocks)
        throw platform::FileError(video.path(), "too many blocks to rewrite safely", EFBIG);
    const std::string videoPath = fileSystem_.canonicalPath(video.path());
    if (videoPath.size() > kMaxPathLength)
        throw platform::FileError(video.path(), "path too long", ENAMETOOLONG);

    EntryHeader header{};
    std::memcpy(header.magic, kEntryMagic.data(), kEntryMagic.size());
    header.state = kLive;
    header.operation = static_cast<std::uint32_t>(toggle.operation);
    header.blockCount = static_cast<std::uint32_t>(toggle.blocks);
    header.pathLength = static_cast<std::uint32_t>(videoPath.size());
    header.entryLength = static_cast<std::uint64_t>(entryLength(header.pathLength, toggle.blocks));
    const auto now = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                    std::chrono::system_clock::now().time_since_epoch())
                                                    .count());
    lastSequence_ = header.sequence = std::max(now, lastSequence_ + 1);
    const auto identity = video.identity();
    header.device = identity.device;
    header.inode = identity.inode;
    header.originalSize = video.size();
    const auto time = video.lastWriteTime();
    header.timeSeconds = time.seconds;
    header.timeNanoseconds = time.nanoseconds;
    header.keyLength = static_cast<std::uint32_t>(std::min<std::size_t>(toggle.key.size(), 64));
    std::memcpy(header.key, toggle.key.data(), header.keyLength);
    header.keepFileTime = toggle.keepFileTime ? 1 : 0;
    header.salt = randomNumber() | 1;
    const std::string boot = fileSystem_.bootId();
    std::memcpy(header.bootId, boot.data(), std::min(boot.size(), kBootIdSize));
    video.readAt(header.originalSize - kTailSize, std::span(header.tailBefore));
    if (toggle.operation == Operation::Encrypt && toggle.after.size() == static_cast<std::size_t>(kTailSize))
        std::memcpy(header.tailAfter, toggle.after.data(), kTailSize);

    Checksum sum;
    headerChecksumPart(header, sum);
    const auto pathBytes =
        std::span(reinterpret_cast<const std::uint8_t*>(videoPath.data()), videoPath.size());
    sum.add(pathBytes);

    // Written in chunks so that memory stays flat whatever the block count.
    std::vector<std::uint8_t> chunk;
    chunk.reserve(static_cast<std::size_t>(kHeaderSize + kMaxPathLength + 16 * kBlockRecordSize));
    chunk.insert(chunk.end(), reinterpret_cast<const std::uint8_t*>(&header),
                 reinterpret_cast<const std::uint8_t*>(&header) + kHeaderSize);
    chunk.insert(chunk.end(), pathBytes.begin(), pathBytes.end());
    std::int64_t at = end_;
    const auto flush = [&] {
        file_->writeAt(at, chunk);
        at += static_cast<std::int64_t>(chunk.size());
        bytesWritten_ += static_cast<std::int64_t>(chunk.size());
        chunk.clear();
    };
    // Whatever part of the entry lands before a failure is torn and ends the journal for recovery;
    // the next entry goes over it.
    std::vector<std::uint64_t> digests(static_cast<std::size_t>(kSectorsPerBlock));
    std::vector<std::uint64_t> lanes(digests.size() * 8);
    {
        for (std::int64_t i = 0; i < toggle.blocks; ++i) {
            video.readAt(i * kBlockSize, buffer);
            sectorDigests(buffer, header.salt, lanes, digests);
            const std::size_t from = chunk.size();
            for (const auto d : digests) {
                const auto fingerprint = static_cast<std::uint32_t>(d);
                const auto b = bytesOf(fingerprint);
                chunk.insert(chunk.end(), b.begin(), b.end());
            }
            const std::uint64_t whole = blockDigest(digests);
            const auto b = bytesOf(whole);
            chunk.insert(chunk.end(), b.begin(), b.end());
            sum.add(std::span(chunk).subspan(from));
            if (chunk.size() + kBlockRecordSize > chunk.capacity()) flush();
            // What was written of the entry has no checksum yet: recovery takes it as torn, and the
            // next entry goes over it.
            if (toggle.goOn && !toggle.goOn(i + 1)) return false;
        }
        const std::uint64_t total = sum.value();
        const auto b = bytesOf(total);
        chunk.insert(chunk.end(), b.begin(), b.end());
        flush();
    }
    recorded_[{identity.device, identity.inode}] = {end_, false};
    uncommitted_.push_back({identity.device, identity.inode});
    devices_.emplace(identity.device, videoPath);
    end_ = at;
    return true;
}

void TJournal::Commit() {
    if (!file_) throw platform::FileError(folder_, "the recovery journal is not available", EBADF);
    try {
        file_->sync();
    } catch (...) {
        // None of these videos will be touched: their entries are forgotten and written over.
        for (const auto& identity : uncommitted_) recorded_.erase(identity);
        uncommitted_.clear();
        end_ = committedEnd_;
        throw;
    }
    uncommitted_.clear();
    committedEnd_ = end_;
}

void TJournal::Unsettled(const platform::File& video) {
    const auto id = video.identity();
    if (auto it = recorded_.find({id.device, id.inode}); it != recorded_.end()) it->second.unsettled = true;
}

void TJournal::Checkpoint() {
    if (!file_ || recorded_.empty()) return;
    // Emptying the journal would take the entries of videos not yet toggled with it.
    if (!uncommitted_.empty()) throw std::logic_error("a checkpoint amid a group of entries");
    for (const auto& [device, path] : devices_) fileSystem_.syncFileSystemOf(path);
    const bool anyUnsettled =
        std::any_of(recorded_.begin(), recorded_.end(), [](const auto& r) { return r.second.unsettled; });
    if (!anyUnsettled) {
        file_->setSize(0);
        file_->sync();
        end_ = committedEnd_ = 0;
        recorded_.clear();
    } else {
        // The unsettled entries stay where they are; every other one is voided.
        for (auto it = recorded_.begin(); it != recorded_.end();) {
            if (it->second.unsettled) {
                ++it;
                continue;
            }
            voidEntry(*file_, it->second.offset);
            it = recorded_.erase(it);
        }
        file_->sync();
    }
    devices_.clear();
}

void TJournal::Finish() {
    if (!file_ || finished_) return;
    finished_ = true;
    if (recorded_.empty()) {            // nothing to settle: the file goes
        fileSystem_.removeFile(path_);  // while still locked
        file_.reset();
        return;
    }
    // The videos are not waited for: each settled entry is marked done and the file left to the next
    // recovery, which in this boot only has to sync the file system once, and after a power cut finds
    // each video complete or undoes it.
    for (const auto& [identity, recorded] : recorded_)
        if (!recorded.unsettled) setState(*file_, recorded.offset, kDone);
    file_.reset();
}

bool TJournal::SettlePending(platform::File& video) {
    const auto id = video.identity();
    const auto it = pendingElsewhere_.find({id.device, id.inode});
    if (it == pendingElsewhere_.end()) return false;
    bool restored = false;
    TRecoveryReport report;
    for (const auto& pending : it->second) {  // newest first
        OpenJournal journal{pending.JournalPath, nullptr, {}, {}};
        try {
            journal.file = fileSystem_.open(pending.JournalPath, platform::FileAccess::ReadWrite);
        } catch (const platform::FileError& error) {
            if (error.errorNumber() == ENOENT) continue;  // another start's recovery settled it
            throw;
        }
        journal.entries = readEntries(*journal.file);
        const auto entry = std::find_if(journal.entries.begin(), journal.entries.end(),
                                        [&](const Entry& e) { return e.offset == pending.Offset; });
        if (entry == journal.entries.end() || entry->header.state == kVoid) continue;  // settled meanwhile
        BlockJudge judge;
        const VideoState state = recoverEntry(journal, *entry, fileSystem_, judge, report, &video);
        // What was found whole must be on the disk before its entry goes.
        if (state == VideoState::Untouched || state == VideoState::Complete) video.sync();
        if (state == VideoState::Damaged)
            throw platform::FileError(video.path(),
                                      "holds an unfinished change from an interrupted run that cannot "
                                      "be undone (" +
                                          report.Problems.back() + "); left unchanged",
                                      EIO);
        restored |= state == VideoState::Restored;
        journal.settled.resize(journal.entries.size());
        for (std::size_t i = 0; i < journal.entries.size(); ++i)
            journal.settled[i] =
                journal.entries[i].header.state == kVoid || journal.entries[i].offset == pending.Offset;
        finishJournal(journal, fileSystem_);
    }
    pendingElsewhere_.erase(it);
    return restored;
}

// ---- Recovery at start --------------------------------------------------------------------------

TRecoveryReport RecoverJournals(const std::string& folder, platform::FileSystem& fileSystem) {
    TRecoveryReport report;
    std::vector<std::string> names;
    try {
        names = fileSystem.listFiles(folder, kJournalSuffix);
        // Journals whose creator died before it could rename them never held an entry.
        for (const auto& leftover : fileSystem.listFiles(folder, kNewJournalSuffix)) {
            try {
                const auto held = fileSystem.open(leftover, platform::FileAccess::ReadWrite);
                fileSystem.removeFile(leftover);
            } catch (const std::exception&) {
            }
        }
    } catch (const std::exception& error) {
        report.Problems.push_back(std::string("cannot read the recovery journal folder: ") + error.what());
        return report;
    }

    std::vector<OpenJournal> journals;
    bool removedAny = false;
    for (const auto& path : names) {
        try {
            std::unique_ptr<platform::File> file;
            try {
                file = fileSystem.open(path, platform::FileAccess::ReadWrite);
            } catch (const platform::FileError& error) {
                if (isLockedByOther(error)) continue;  // its owner is alive and may be mid-toggle
                throw;
            }
            if (file->size() > kMaxJournalFile) {
                // No toggle writes this much: reading it would only hold up every start.
                fileSystem.renameFile(path, path + kDamagedSuffix);
                report.Problems.push_back(path + " is too large to be a recovery journal; set aside as " +
                                          path + kDamagedSuffix);
                continue;
            }
            switch (recoverLegacy(*file, fileSystem, report)) {
                case LegacyResult::NotLegacy:
                    break;
                case LegacyResult::Kept:
                    continue;
                case LegacyResult::Discarded:
                case LegacyResult::Restored:
                    fileSystem.removeFile(path);
                    removedAny = true;
                    continue;
            }
            OpenJournal journal{path, std::move(file), {}, {}};
            journal.entries = readEntries(*journal.file);
            journal.settled.assign(journal.entries.size(), false);
            for (std::size_t i = 0; i < journal.entries.size(); ++i)
                journal.settled[i] = journal.entries[i].header.state == kVoid;
            journals.push_back(std::move(journal));
        } catch (const std::exception& error) {
            report.Problems.push_back("recovery from " + path + " failed: " + error.what());
        }
    }

    // Newest first: an older entry for the same video then finds it as its own toggle left it.
    struct Ref {
        std::size_t journal, entry;
    };
    std::vector<Ref> order;
    for (std::size_t j = 0; j < journals.size(); ++j)
        for (std::size_t e = 0; e < journals[j].entries.size(); ++e)
            if (!journals[j].settled[e]) order.push_back({j, e});
    std::sort(order.begin(), order.end(), [&](const Ref& a, const Ref& b) {
        return journals[a.journal].entries[a.entry].header.sequence >
               journals[b.journal].entries[b.entry].header.sequence;
    });
    std::set<TIdentityKey> waiting;  // a newer entry of the video could not be applied
    // Entries settled without writing to their video, by the file system that must be synced first.
    std::map<std::uint64_t, std::pair<std::string, std::vector<Ref>>> toSync;
    const std::string boot = fileSystem.bootId();
    BlockJudge judge;
    for (const auto& ref : order) {
        auto& journal = journals[ref.journal];
        const Entry& entry = journal.entries[ref.entry];
        VideoState state = VideoState::Damaged;
        if (waiting.contains(entry.identity())) {
        } else if (entry.header.state == kDone && sameBoot(entry.header, boot)) {
            state = VideoState::Complete;  // no power was lost since: the page cache holds it whole
        } else {
            try {
                state = recoverEntry(journal, entry, fileSystem, judge, report);
            } catch (const std::exception& error) {
                report.Problems.push_back(keptText(entry, journal.path, error.what()));
            }
        }
        if (state == VideoState::Damaged) {
            waiting.insert(entry.identity());
            report.Pending[entry.identity()].push_back({journal.path, entry.offset, entry.videoPath});
        } else {
            journal.settled[ref.entry] = true;
            if (state != VideoState::Restored) {  // a restored video was synced already
                auto& sync = toSync[entry.header.device];
                sync.first = entry.videoPath;
                sync.second.push_back(ref);
            }
        }
    }
    for (const auto& [device, sync] : toSync) {
        try {
            fileSystem.syncFileSystemOf(sync.first);
        } catch (const std::exception& error) {
            // Not yet known durable: the entries stay for the next start.
            report.Problems.push_back("cannot make " + sync.first +
                                      " and the videos beside it durable now (" + error.what() +
                                      "); their recovery entries are kept");
            for (const auto& ref : sync.second) journals[ref.journal].settled[ref.entry] = false;
        }
    }
    for (auto& journal : journals) {
        try {
            const bool removing =
                std::all_of(journal.settled.begin(), journal.settled.end(), [](bool s) { return s; });
            finishJournal(journal, fileSystem);
            removedAny |= removing;
        } catch (const std::exception& error) {
            report.Problems.push_back("recovery from " + journal.path + " failed: " + error.what());
        }
    }
    try {
        if (removedAny) fileSystem.syncFolder(folder);
    } catch (const std::exception&) {
    }
    return report;
}

}  // namespace engine
