#pragma once
// The bytes of a journal entry, and nothing else: how an entry is laid out, versioned, read back and
// voided. FORMAT.md beside this file has the byte table, the version history and why an entry is
// bounded; tests/engine/data holds an entry written by this code, so a moved field fails a test.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/journal/Fingerprint.h"
#include "platform/FileIo.h"

namespace engine::journal {

// What a toggle does to its video.
enum class Operation : std::uint32_t { Encrypt = 1, Decrypt = 2 };

// Where an entry stands. Only the state field changes once an entry is durable; it is outside the
// checksum for that reason.
enum class EntryState : std::uint32_t {
    Live = 0,           // the toggle may be anywhere between not started and complete
    Void = 0x44494F56,  // "VOID": settled, nothing more to do
    // "DONE": the toggle completed in its process, the video not yet known durable. Within the same
    // boot the page cache still holds the complete toggle, so one write-back of the video settles it.
    Done = 0x454E4F44,
};

inline constexpr std::array<char, 8> kMagicV2 = {'V', 'M', 'J', 'R', 'N', 'L', '0', '2'};
inline constexpr std::array<char, 8> kMagicV3 = {'V', 'M', 'J', 'R', 'N', 'L', '0', '3'};
// Written only by development builds before any release; never applied.
inline constexpr std::array<char, 8> kMagicV1 = {'V', 'M', 'J', 'R', 'N', 'L', '0', '1'};

inline constexpr std::uint32_t kMaxPathLength = 4096;
inline constexpr std::uint32_t kMaxKeyLength = 64;
static_assert(kMaxKeyLength == kKeyFieldSize, "an entry holds any key a trailer can");
// The most blocks one entry describes (2 TiB rewritten): entries claiming more are damaged.
inline constexpr std::int64_t kMaxBlocks = std::int64_t{1} << 22;
inline constexpr std::size_t kBootIdSize = 40;
inline constexpr std::int64_t kTailSize = kTrailerSize;

// Little-endian, as the machine that wrote it (and the only one that reads it) stores integers. Every
// field sits at a multiple of its own size, so the struct has no padding and needs no packing.
struct EntryHeader {
    char magic[8];
    std::uint32_t state;      // EntryState
    std::uint32_t operation;  // Operation
    std::uint64_t entryLength;
    std::uint64_t sequence;  // recording order, newest highest, across processes
    std::uint64_t device;    // a hint only: a disk can come back under another device number
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
    std::uint8_t key[kMaxKeyLength];
    std::uint8_t tailBefore[kTailSize];  // the last 96 bytes before the toggle
    std::uint8_t tailAfter[kTailSize];   // an encryption's trailer; zero for a decryption
    // From version 3 on.
    std::uint32_t owner;  // the video's owner (user id) when it was recorded
    std::uint32_t reserved;
};
inline constexpr std::int64_t kHeaderSizeV2 = 392;
inline constexpr std::int64_t kHeaderSize = sizeof(EntryHeader);
static_assert(kHeaderSize == 400 && offsetof(EntryHeader, salt) == 88 &&
              offsetof(EntryHeader, owner) == kHeaderSizeV2);

// The length of an entry of the current version.
constexpr std::int64_t EntryLength(std::int64_t pathLength, std::int64_t blocks,
                                   std::int64_t headerSize = kHeaderSize) {
    return headerSize + pathLength + blocks * kBlockRecordSize + 8;
}
inline constexpr std::int64_t kMaxEntryLength = EntryLength(kMaxPathLength, kMaxBlocks);

// A complete entry found in a journal file.
struct Entry {
    std::int64_t offset = 0;
    int version = 3;
    EntryHeader header{};
    std::string videoPath;

    std::int64_t headerSize() const noexcept { return version == 2 ? kHeaderSizeV2 : kHeaderSize; }
    std::int64_t recordsAt() const noexcept { return offset + headerSize() + header.pathLength; }
    std::int64_t blocks() const noexcept { return header.blockCount; }
    Operation operation() const noexcept { return static_cast<Operation>(header.operation); }
    EntryState state() const noexcept { return static_cast<EntryState>(header.state); }
    std::string key() const { return {reinterpret_cast<const char*>(header.key), header.keyLength}; }
    std::span<const std::uint8_t> tailBefore() const noexcept { return header.tailBefore; }
    std::span<const std::uint8_t> tailAfter() const noexcept { return header.tailAfter; }
    platform::FileTime time() const noexcept { return {header.timeSeconds, header.timeNanoseconds}; }
    std::string bootId() const;
};

// Reads the entry at `offset`; nothing when it is torn, cut short, fails its checksum or claims what
// no toggle writes. A version 2 entry, which names no owner, is taken to describe a video of the
// journal's owner (`journalOwner`).
std::optional<Entry> ReadEntry(platform::File& journal, std::int64_t offset, std::int64_t fileSize,
                               std::uint32_t journalOwner);
// Every complete entry, up to the first one that is not: the rest of that group was never made
// durable, so none of its videos was touched.
std::vector<Entry> ReadEntries(platform::File& journal, std::uint32_t journalOwner);
// Reads one block's record of `entry` into `record` (kBlockRecordSize bytes).
void ReadRecord(platform::File& journal, const Entry& entry, std::int64_t block,
                std::span<std::uint8_t> record);
// Changes the state of a durable entry in place.
void SetState(platform::File& journal, std::int64_t offset, EntryState state);
// Whether the journal was written by a development build's format, which is never applied.
bool IsDevelopmentFormat(platform::File& journal);

// Builds the bytes of a new entry in order: the header and path, then a record per block, then the
// checksum. Handed out in pieces, so that memory stays flat whatever the block count.
class EntryEncoder {
public:
    EntryEncoder(EntryHeader header, const std::string& videoPath);
    // The record of the next block.
    void addRecord(std::span<const std::uint8_t> record);
    // Closes the entry with its checksum; afterwards pending() holds its last bytes.
    void finish();
    // Bytes built and not yet written out; clear() once they are.
    std::span<const std::uint8_t> pending() const noexcept { return bytes_; }
    void clear() noexcept { bytes_.clear(); }
    // Whether a piece is large enough to write out.
    bool full() const noexcept { return bytes_.size() >= kPieceSize; }

private:
    static constexpr std::size_t kPieceSize = 16 * kBlockRecordSize;
    Checksum sum_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace engine::journal
