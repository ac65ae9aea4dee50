#include "engine/Journal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <random>

#include <unistd.h>

#include "engine/Trailer.h"

namespace engine {

namespace {

// Entry layout, little-endian: a fixed header, the video's path, its original last 96 bytes, the
// original bytes of each block, and a checksum over all of it that tells a complete entry from one
// torn by a crash while it was written.
constexpr std::array<char, 8> kEntryMagic = {'V', 'M', 'J', 'R', 'N', 'L', '0', '1'};

#pragma pack(push, 1)
struct EntryHeader {
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
static_assert(sizeof(EntryHeader) == 64);

constexpr std::int64_t kHeaderSize = sizeof(EntryHeader);
constexpr std::int64_t kTailSize = kTrailerSize;

// A fast, non-cryptographic checksum that tells a complete entry from one torn by a crash. Eight
// independent lanes of multiply-accumulate over 64-byte stripes, written so that the compiler
// vectorises them; it guards against torn writes, not against an adversary.
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

class Checksum {
public:
    void add(std::span<const std::uint8_t> bytes) {
        std::uint64_t lanes[8] = {};
        const std::size_t whole = bytes.size() / 64;
        accumulateStripes(lanes, bytes.data(), whole);
        std::uint8_t last[64] = {};
        std::memcpy(last, bytes.data() + whole * 64, bytes.size() - whole * 64);
        accumulateStripes(lanes, last, 1);
        std::uint64_t section = bytes.size();
        for (const auto lane : lanes) section = rotl(section ^ lane, 27) * kPrime1 + kPrime2;
        value_ = rotl(value_ ^ section, 29) * kPrime2 + bytes.size();
    }
    std::uint64_t value() const { return value_; }

private:
    static constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
    static constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
    static std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
    std::uint64_t value_ = 0x51ED270B27D4EB2Full;
};

template <typename T>
std::span<const std::uint8_t> bytesOf(const T& value) {
    return {reinterpret_cast<const std::uint8_t*>(&value), sizeof value};
}

std::string newJournalName(const std::string& folder) {
    std::random_device random;
    return folder + "/" + std::to_string(::getpid()) + "-" + std::to_string(random()) + kJournalSuffix;
}

// A complete entry, read back for recovery.
struct Entry {
    EntryHeader header{};
    std::string videoPath;
    std::vector<std::uint8_t> tail;
    std::int64_t blocksOffset = 0;
};

// Reads and checks an entry; nothing when it is empty or torn.
std::optional<Entry> readEntry(platform::File& journal) {
    const std::int64_t size = journal.size();
    if (size < kHeaderSize + kTailSize + 8) return std::nullopt;
    Entry entry;
    journal.readAt(0, {reinterpret_cast<std::uint8_t*>(&entry.header), sizeof entry.header});
    const auto& h = entry.header;
    if (std::memcmp(h.magic, kEntryMagic.data(), kEntryMagic.size()) != 0) return std::nullopt;
    const std::int64_t expected =
        kHeaderSize + h.pathLength + kTailSize + static_cast<std::int64_t>(h.blockCount) * kBlockSize + 8;
    if (h.pathLength == 0 || h.pathLength > 65536 || size != expected) return std::nullopt;

    Checksum checksum;
    checksum.add(bytesOf(h));
    entry.videoPath.resize(h.pathLength);
    journal.readAt(kHeaderSize, {reinterpret_cast<std::uint8_t*>(entry.videoPath.data()), h.pathLength});
    checksum.add({reinterpret_cast<const std::uint8_t*>(entry.videoPath.data()), h.pathLength});
    entry.tail.resize(kTailSize);
    journal.readAt(kHeaderSize + h.pathLength, entry.tail);
    checksum.add(entry.tail);
    entry.blocksOffset = kHeaderSize + h.pathLength + kTailSize;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(kBlockSize));
    for (std::uint32_t i = 0; i < h.blockCount; ++i) {
        journal.readAt(entry.blocksOffset + i * kBlockSize, block);
        checksum.add(block);
    }
    std::uint64_t stored = 0;
    journal.readAt(size - 8, {reinterpret_cast<std::uint8_t*>(&stored), 8});
    if (stored != checksum.value()) return std::nullopt;
    return entry;
}

bool isLockedByOther(const platform::FileError& error) {
    return error.errorNumber() == EWOULDBLOCK;
}

}  // namespace

TJournal::TJournal(std::string folder, platform::FileSystem& fileSystem)
    : folder_(std::move(folder)), fileSystem_(fileSystem) {}

std::unique_ptr<TJournal> TJournal::Create(const std::string& folder, platform::FileSystem& fileSystem) {
    platform::makeFolder(folder);
    std::unique_ptr<TJournal> journal(new TJournal(folder, fileSystem));
    journal->open();
    return journal;
}

void TJournal::open() {
    for (int attempt = 0;; ++attempt) {
        const std::string path = newJournalName(folder_);
        try {
            file_ = fileSystem_.create(path);
            path_ = path;
            break;
        } catch (const platform::FileError& error) {
            if (error.errorNumber() != EEXIST || attempt > 100) throw;
        }
    }
    // The entry must still be found after a power loss: its name has to be durable too.
    platform::syncFolder(folder_);
}

TJournal::~TJournal() {
    if (!file_ || holdsEntry_) return;  // an entry left for recovery is kept
    try {
        file_.reset();
        platform::removeFile(path_);
        platform::syncFolder(folder_);
    } catch (const std::exception&) {
        // An empty journal file left behind is removed by the next recovery.
    }
}

void TJournal::Record(platform::File& video, Operation operation, std::int64_t blocks,
                      std::span<std::uint8_t> buffer) {
    if (!file_) throw platform::FileError(folder_, "the recovery journal is not available");
    const std::string& videoPath = video.path();

    EntryHeader header{};
    std::memcpy(header.magic, kEntryMagic.data(), kEntryMagic.size());
    header.operation = static_cast<std::uint32_t>(operation);
    header.blockCount = static_cast<std::uint32_t>(blocks);
    const auto identity = video.identity();
    header.device = identity.device;
    header.inode = identity.inode;
    header.originalSize = video.size();
    const auto time = video.lastWriteTime();
    header.timeSeconds = time.seconds;
    header.timeNanoseconds = time.nanoseconds;
    header.pathLength = static_cast<std::uint32_t>(videoPath.size());

    std::vector<std::uint8_t> head(static_cast<std::size_t>(kHeaderSize) + videoPath.size() + kTailSize);
    std::memcpy(head.data(), &header, sizeof header);
    std::memcpy(head.data() + kHeaderSize, videoPath.data(), videoPath.size());
    video.readAt(header.originalSize - kTailSize, std::span(head).last(kTailSize));

    Checksum checksum;
    checksum.add(std::span(head).first(kHeaderSize));
    checksum.add(std::span(head).subspan(kHeaderSize, videoPath.size()));
    checksum.add(std::span(head).last(kTailSize));

    holdsEntry_ = true;
    try {
        // Written over the last entry in place: the journal's blocks stay allocated from file to file.
        file_->writeAt(0, head);
        std::int64_t at = static_cast<std::int64_t>(head.size());
        for (std::int64_t i = 0; i < blocks; ++i, at += kBlockSize) {
            video.readAt(i * kBlockSize, buffer);
            file_->writeAt(at, buffer);
            checksum.add(buffer);
        }
        const std::uint64_t sum = checksum.value();
        file_->writeAt(at, bytesOf(sum));
        at += static_cast<std::int64_t>(sizeof sum);
        if (file_->size() != at) file_->setSize(at);
        file_->sync();
    } catch (...) {
        // The video has not been touched: whatever part of the entry landed is worthless.
        try {
            invalidate();
            holdsEntry_ = false;
        } catch (const std::exception&) {
        }
        throw;
    }
}

void TJournal::invalidate() {
    // Clearing the magic is enough to make the entry void; its bytes stay for the next entry to reuse.
    const std::array<std::uint8_t, kEntryMagic.size()> cleared{};
    file_->writeAt(0, cleared);
}

void TJournal::Drop() {
    if (!file_) return;
    // Not synced here: the next entry's sync, or the removal of the file, makes it durable. An entry
    // that outlives a crash only because its drop was not yet durable undoes a complete toggle, which
    // leaves the video whole as it was before.
    invalidate();
    holdsEntry_ = false;
}

void TJournal::Abandon() {
    file_.reset();  // unlocks it: the entry is now recovery's
    holdsEntry_ = false;
    try {
        open();
    } catch (const std::exception&) {
        file_.reset();  // later toggles fail cleanly in Record
    }
}

TRecoveryReport RecoverJournals(const std::string& folder, platform::FileSystem& fileSystem) {
    TRecoveryReport report;
    std::vector<std::string> journals;
    try {
        journals = platform::listFiles(folder, kJournalSuffix);
    } catch (const std::exception& error) {
        report.Problems.push_back(std::string("cannot read the recovery journal folder: ") + error.what());
        return report;
    }
    std::vector<std::uint8_t> block(static_cast<std::size_t>(kBlockSize));
    for (const auto& journalPath : journals) {
        try {
            std::unique_ptr<platform::File> journal;
            try {
                journal = fileSystem.open(journalPath, platform::FileAccess::ReadWrite);
            } catch (const platform::FileError& error) {
                if (isLockedByOther(error)) continue;  // its owner is alive and may be mid-toggle
                throw;
            }
            const auto entry = readEntry(*journal);
            if (!entry) {
                // Empty, or torn while being written: the video was not touched yet.
                journal.reset();
                platform::removeFile(journalPath);
                continue;
            }
            const auto& h = entry->header;
            std::unique_ptr<platform::File> video;
            try {
                video = fileSystem.open(entry->videoPath, platform::FileAccess::ReadWrite);
            } catch (const platform::FileError& error) {
                report.Problems.push_back("cannot restore " + entry->videoPath + " now (" + error.what() +
                                          "); its original bytes are kept in " + journalPath);
                continue;
            }
            const std::int64_t size = video->size();
            if (video->identity() != platform::FileIdentity{h.device, h.inode} ||
                size < h.originalSize - kTrailerSize || size > h.originalSize + kTrailerSize) {
                report.Problems.push_back(entry->videoPath +
                                          " is no longer the file that was being changed; "
                                          "its original bytes are kept in " +
                                          journalPath);
                continue;
            }
            for (std::uint32_t i = 0; i < h.blockCount; ++i) {
                journal->readAt(entry->blocksOffset + i * kBlockSize, block);
                video->writeAt(i * kBlockSize, block);
            }
            video->setSize(h.originalSize);
            video->writeAt(h.originalSize - kTailSize, entry->tail);
            video->setLastWriteTime({h.timeSeconds, h.timeNanoseconds});
            video->sync();
            video.reset();
            journal.reset();
            platform::removeFile(journalPath);
            report.Restored.push_back(entry->videoPath);
        } catch (const std::exception& error) {
            report.Problems.push_back("recovery from " + journalPath + " failed: " + error.what());
        }
    }
    try {
        if (!journals.empty()) platform::syncFolder(folder);
    } catch (const std::exception&) {
    }
    return report;
}

}  // namespace engine
