#pragma once
// Shared by the journal's tests: leave behind what a process that died mid-toggle leaves.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "EngineTestUtil.h"
#include "engine/KeyPattern.h"
#include "engine/journal/Journal.h"

namespace enginetest {

// XORs sectors [from, to) of block `block` of the open video with the key's pattern, as a toggle
// that got that far would have.
inline void transformSectors(platform::File& video, const std::string& key, std::int64_t block,
                             std::size_t from, std::size_t to) {
    std::vector<std::uint8_t> bytes(kBlock);
    video.readAt(block * engine::kBlockSize, bytes);
    std::vector<std::uint8_t> transformed = bytes;
    engine::TKeyPattern(key).apply(transformed);
    std::copy(transformed.begin() + from * 512, transformed.begin() + to * 512, bytes.begin() + from * 512);
    video.writeAt(block * engine::kBlockSize, bytes);
}

inline std::array<std::uint8_t, engine::kTrailerSize> trailerFor(const std::string& key,
                                                                 std::int32_t blocks) {
    engine::TKZVTrailer record{};
    std::copy(key.begin(), key.end(), record.Key);
    record.Blocks = blocks;
    std::copy(engine::kDefaultVersion.begin(), engine::kDefaultVersion.end(), record.Version);
    std::copy(engine::kMagic.begin(), engine::kMagic.end(), record.Magic);
    record.Size = engine::kTrailerSize;
    std::array<std::uint8_t, engine::kTrailerSize> bytes{};
    engine::EncodeTrailer(record, bytes);
    return bytes;
}

// Leaves an entry behind as a process that died mid-toggle would: recorded and durable, the video
// then changed by `change`, the entry never settled.
inline void dieMidToggle(const std::string& folder, const std::string& video, engine::TJournal::Operation op,
                         const std::string& key, std::int64_t blocks,
                         const std::function<void(platform::File&)>& change,
                         platform::FileSystem& fs = platform::localFileSystem()) {
    auto journal = engine::TJournal::Create(folder, fs);
    std::vector<std::uint8_t> buffer(kBlock);
    auto file = fs.open(video, platform::FileAccess::ReadWrite);
    const auto after = trailerFor(key, 8);
    journal->Record(*file, {op, blocks, key, after, true}, buffer);
    journal->Commit();
    change(*file);
    journal->Unsettled(*file);  // what a dead process's entry is: nobody settles it
}

}  // namespace enginetest
