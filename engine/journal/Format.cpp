#include "engine/journal/Format.h"

#include <algorithm>
#include <cstring>

namespace engine::journal {

namespace {

template <typename T>
std::span<std::uint8_t> writableBytesOf(T& value) {
    return {reinterpret_cast<std::uint8_t*>(&value), sizeof value};
}

int versionOf(const EntryHeader& h) {
    if (std::memcmp(h.magic, kMagicV3.data(), kMagicV3.size()) == 0) return 3;
    if (std::memcmp(h.magic, kMagicV2.data(), kMagicV2.size()) == 0) return 2;
    return 0;
}

// The header as its checksum covers it: the state, which voids an entry in place, counts as live.
void addHeader(Checksum& sum, EntryHeader header, std::int64_t headerSize) {
    header.state = static_cast<std::uint32_t>(EntryState::Live);
    sum.add({reinterpret_cast<const std::uint8_t*>(&header), static_cast<std::size_t>(headerSize)});
}

// What a toggle can write: a header that fails this was never written by one.
bool plausible(const EntryHeader& h, std::int64_t headerSize) {
    if (h.operation != static_cast<std::uint32_t>(Operation::Encrypt) &&
        h.operation != static_cast<std::uint32_t>(Operation::Decrypt))
        return false;
    if (h.blockCount < 1 || h.blockCount > kMaxBlocks) return false;
    if (h.pathLength < 1 || h.pathLength > kMaxPathLength || h.keyLength > kMaxKeyLength) return false;
    const std::int64_t content = h.operation == static_cast<std::uint32_t>(Operation::Decrypt)
                                     ? h.originalSize - kTailSize
                                     : h.originalSize;
    if (h.originalSize < 0 || content < static_cast<std::int64_t>(h.blockCount) * kBlockSize) return false;
    return h.entryLength == static_cast<std::uint64_t>(EntryLength(h.pathLength, h.blockCount, headerSize));
}

}  // namespace

std::string Entry::bootId() const {
    return {header.bootId, strnlen(header.bootId, kBootIdSize)};
}

std::optional<Entry> ReadEntry(platform::File& journal, std::int64_t offset, std::int64_t fileSize,
                               std::uint32_t journalOwner) {
    if (fileSize - offset < kHeaderSizeV2) return std::nullopt;
    Entry entry;
    entry.offset = offset;
    auto& h = entry.header;
    journal.readAt(offset, writableBytesOf(h).first(static_cast<std::size_t>(kHeaderSizeV2)));
    entry.version = versionOf(h);
    if (entry.version == 0) return std::nullopt;
    if (entry.version == 3) {
        if (fileSize - offset < kHeaderSize) return std::nullopt;
        journal.readAt(offset + kHeaderSizeV2,
                       writableBytesOf(h).subspan(static_cast<std::size_t>(kHeaderSizeV2)));
    }
    const std::int64_t headerSize = entry.headerSize();
    if (!plausible(h, headerSize) || offset + static_cast<std::int64_t>(h.entryLength) > fileSize)
        return std::nullopt;
    Checksum sum;
    addHeader(sum, h, headerSize);
    entry.videoPath.resize(h.pathLength);
    journal.readAt(offset + headerSize,
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
    if (entry.version == 2) h.owner = journalOwner;
    return entry;
}

std::vector<Entry> ReadEntries(platform::File& journal, std::uint32_t journalOwner) {
    std::vector<Entry> entries;
    const std::int64_t size = journal.size();
    for (std::int64_t at = 0;;) {
        auto entry = ReadEntry(journal, at, size, journalOwner);
        if (!entry) break;
        at += static_cast<std::int64_t>(entry->header.entryLength);
        entries.push_back(std::move(*entry));
    }
    return entries;
}

void ReadRecord(platform::File& journal, const Entry& entry, std::int64_t block,
                std::span<std::uint8_t> record) {
    journal.readAt(entry.recordsAt() + block * kBlockRecordSize, record.first(kBlockRecordSize));
}

void SetState(platform::File& journal, std::int64_t offset, EntryState state) {
    const auto value = static_cast<std::uint32_t>(state);
    journal.writeAt(offset + static_cast<std::int64_t>(offsetof(EntryHeader, state)),
                    {reinterpret_cast<const std::uint8_t*>(&value), sizeof value});
}

bool IsDevelopmentFormat(platform::File& journal) {
    std::array<char, 8> magic{};
    if (journal.size() < static_cast<std::int64_t>(magic.size())) return false;
    journal.readAt(0, {reinterpret_cast<std::uint8_t*>(magic.data()), magic.size()});
    return magic == kMagicV1;
}

EntryEncoder::EntryEncoder(EntryHeader header, const std::string& videoPath) {
    std::memcpy(header.magic, kMagicV3.data(), kMagicV3.size());
    header.pathLength = static_cast<std::uint32_t>(videoPath.size());
    header.entryLength = static_cast<std::uint64_t>(EntryLength(header.pathLength, header.blockCount));
    header.reserved = 0;
    addHeader(sum_, header, kHeaderSize);
    const auto path = std::span(reinterpret_cast<const std::uint8_t*>(videoPath.data()), videoPath.size());
    sum_.add(path);
    bytes_.reserve(static_cast<std::size_t>(kHeaderSize) + kMaxPathLength + kPieceSize + kBlockRecordSize);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&header);
    bytes_.insert(bytes_.end(), raw, raw + kHeaderSize);
    bytes_.insert(bytes_.end(), path.begin(), path.end());
}

void EntryEncoder::addRecord(std::span<const std::uint8_t> record) {
    sum_.add(record.first(kBlockRecordSize));
    bytes_.insert(bytes_.end(), record.begin(), record.begin() + kBlockRecordSize);
}

void EntryEncoder::finish() {
    const std::uint64_t total = sum_.value();
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&total);
    bytes_.insert(bytes_.end(), raw, raw + sizeof total);
}

}  // namespace engine::journal
