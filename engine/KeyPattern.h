#pragma once
// The XOR pattern of a key: the key repeated from the start of every block, or all 0xFF without a
// key. Laid out once, a few KiB long (whole key periods), so that it stays in the first-level cache
// while a block streams past it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace engine {

// XORs n bytes of data with the pattern. Kept free of aliasing so that the compiler vectorises it.
void XorBlock(std::uint8_t* __restrict data, const std::uint8_t* __restrict pattern, std::size_t n) noexcept;

class TKeyPattern {
public:
    explicit TKeyPattern(const std::string& key = {});

    const std::string& key() const noexcept { return key_; }

    // Transforms one block in place, the key cycle starting at the block's first byte. Its own
    // inverse: applying it twice gives the original bytes.
    void apply(std::span<std::uint8_t> block) const noexcept;

private:
    std::string key_;
    std::vector<std::uint8_t> pattern_;  // a whole number of key periods
};

}  // namespace engine
