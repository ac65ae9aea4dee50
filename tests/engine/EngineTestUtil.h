#pragma once
// Shared by the engine's tests: run the transform on a file and check what it did to the bytes.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/FileTransform.h"
#include "support/TempDir.h"

namespace enginetest {

inline constexpr std::size_t kBlock = static_cast<std::size_t>(engine::kBlockSize);

inline engine::TKZVFlag flag(std::string key = {}, std::uint8_t fileType = engine::ftBoth,
                             std::int32_t blocks = 8, std::string version = "1.0.0") {
    engine::TKZVFlag f;
    f.Key = std::move(key);
    f.FileType = fileType;
    f.Blocks = blocks;
    f.Version = std::move(version);
    return f;
}

inline engine::TProcessResult process(const std::string& path, const engine::TKZVFlag& params,
                                      bool keepFileTime = false) {
    engine::TFileTransform transform(params, keepFileTime);
    return transform.ProcessFile(path, params.Key);
}

// What encryption must make of `plain`: the first `blocks` whole blocks XORed with the key, restarted
// at every block (inverted without a key); the rest untouched. The trailer is not included.
inline std::vector<std::uint8_t> expectedScramble(std::vector<std::uint8_t> plain, const std::string& key,
                                                  std::size_t blocks) {
    for (std::size_t b = 0; b < blocks; ++b) {
        for (std::size_t k = 0; k < kBlock; ++k) {
            const auto pad =
                key.empty() ? std::uint8_t{0xFF} : static_cast<std::uint8_t>(key[k % key.size()]);
            plain[b * kBlock + k] ^= pad;
        }
    }
    return plain;
}

inline std::vector<std::uint8_t> content(const std::vector<std::uint8_t>& file, std::size_t trailer = 96) {
    return {file.begin(), file.end() - static_cast<std::ptrdiff_t>(trailer)};
}

// The trailer at the end of an encrypted file's bytes, its inversion undone.
inline engine::TKZVTrailer trailerOf(const std::vector<std::uint8_t>& file) {
    engine::TKZVTrailer r;
    std::memcpy(&r, file.data() + file.size() - 96, 96);
    auto* bytes = reinterpret_cast<std::uint8_t*>(&r);
    for (int i = 0; i < 96; ++i) bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
    return r;
}

}  // namespace enginetest
