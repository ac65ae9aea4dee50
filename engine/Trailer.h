#pragma once
// The 96-byte record at the very end of every encrypted file. Stored with every byte inverted; its
// layout is a persisted format and binds byte for byte.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {
class File;
}

namespace engine {

inline constexpr std::int64_t kBlockSize = 524'288;  // 512 KiB: unit of the transform, minimum file size
inline constexpr std::int32_t kTrailerSize = 96;
inline constexpr std::size_t kKeyFieldSize = 64;
inline constexpr std::size_t kVersionFieldSize = 13;
inline constexpr std::size_t kMagicFieldSize = 11;
inline constexpr std::string_view kMagic = "KZVaultmark";
inline constexpr std::string_view kDefaultVersion = "1.0.0";

#pragma pack(push, 1)
struct TKZVTrailer {
    std::uint8_t Key[kKeyFieldSize];          // key bytes, zero-filled; all zero without a key
    std::int32_t Blocks;                      // block limit of the encryption (little-endian)
    std::uint8_t Version[kVersionFieldSize];  // writer's version text, zero-filled
    std::uint8_t Magic[kMagicFieldSize];      // "KZVaultmark", no terminator
    std::int32_t Size;                        // 96 (little-endian)
};
#pragma pack(pop)

static_assert(sizeof(TKZVTrailer) == kTrailerSize);
static_assert(offsetof(TKZVTrailer, Key) == 0);
static_assert(offsetof(TKZVTrailer, Blocks) == 64);
static_assert(offsetof(TKZVTrailer, Version) == 68);
static_assert(offsetof(TKZVTrailer, Magic) == 81);
static_assert(offsetof(TKZVTrailer, Size) == 92);
static_assert(kMagic.size() == kMagicFieldSize);
// The record is copied to and from disk as it lies in memory; its integers are little-endian on disk.
static_assert(std::endian::native == std::endian::little, "the trailer's integers are stored little-endian");

// A text field up to its first zero byte (all of it when it holds none).
std::string_view FieldText(const std::uint8_t* field, std::size_t width);

// True exactly when Magic, up to its first zero byte, is "KZVaultmark". No other field is examined.
bool IsValidTrailer(const TKZVTrailer& record);

// Reads and decodes the last 96 bytes of the file. A record that fails the magic test comes back
// all zero. The file must hold at least 96 bytes; a failed or short read raises.
void ReadTrailer(platform::File& file, TKZVTrailer& record);

// The record as it is stored: every byte inverted.
void EncodeTrailer(const TKZVTrailer& record, std::span<std::uint8_t, kTrailerSize> out);

// Encodes the record and appends it at the end of the file, which grows by 96 bytes. A failed or
// short write raises. The record passed in is not changed.
void WriteTrailer(platform::File& file, const TKZVTrailer& record);

// The quick test of the file list: opens the file for reading without sharing and looks only at the
// magic where a trailer ending the file would hold it. Files of 524,288 bytes or less are never
// encrypted. Open and read failures reach the caller.
bool IsEncryptedFile(const std::string& path);

}  // namespace engine
