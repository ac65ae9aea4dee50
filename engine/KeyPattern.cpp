#include "engine/KeyPattern.h"

#include <algorithm>
#include <cstring>

namespace engine {

namespace {
constexpr std::size_t kPatternTarget = 4096;  // well inside the first-level cache
}

#if defined(__x86_64__) && defined(__GNUC__)
// Wider vectors where the processor has them; the loop stays plain C++ for the compiler to vectorise.
__attribute__((target_clones("avx2", "default")))
#endif
void XorBlock(std::uint8_t* __restrict data, const std::uint8_t* __restrict pattern, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i) data[i] ^= pattern[i];
}

TKeyPattern::TKeyPattern(const std::string& key) : key_(key) {
    if (key.empty()) {
        pattern_.assign(kPatternTarget, std::uint8_t{0xFF});
        return;
    }
    const std::size_t periods = (kPatternTarget + key.size() - 1) / key.size();
    pattern_.resize(periods * key.size());
    for (std::size_t p = 0; p < periods; ++p)
        std::memcpy(pattern_.data() + p * key.size(), key.data(), key.size());
}

void TKeyPattern::apply(std::span<std::uint8_t> block) const noexcept {
    // Each chunk is a whole number of key periods long, so every chunk starts at key byte 0.
    for (std::size_t at = 0; at < block.size(); at += pattern_.size()) {
        XorBlock(block.data() + at, pattern_.data(), std::min(pattern_.size(), block.size() - at));
    }
}

}  // namespace engine
