#include "engine/Trailer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "platform/FileIo.h"

namespace engine {

namespace {

void invert(std::span<std::uint8_t> bytes) {
    for (auto& b : bytes) b = static_cast<std::uint8_t>(b ^ 0xFF);
}

bool isMagic(const std::uint8_t* field) {
    return FieldText(field, kMagicFieldSize) == kMagic;
}

}  // namespace

std::string_view FieldText(const std::uint8_t* field, std::size_t width) {
    const auto* end = std::find(field, field + width, std::uint8_t{0});
    return {reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field)};
}

bool IsValidTrailer(const TKZVTrailer& record) {
    return isMagic(record.Magic);
}

void ReadTrailer(platform::File& file, TKZVTrailer& record) {
    std::array<std::uint8_t, kTrailerSize> bytes{};
    file.readAt(file.size() - kTrailerSize, bytes);
    invert(bytes);
    std::memcpy(&record, bytes.data(), bytes.size());
    if (!IsValidTrailer(record)) record = TKZVTrailer{};
}

void EncodeTrailer(const TKZVTrailer& record, std::span<std::uint8_t, kTrailerSize> out) {
    std::memcpy(out.data(), &record, out.size());
    invert(out);
}

void WriteTrailer(platform::File& file, const TKZVTrailer& record) {
    std::array<std::uint8_t, kTrailerSize> bytes{};
    EncodeTrailer(record, bytes);
    file.writeAt(file.size(), bytes);
}

bool IsEncryptedFile(const std::string& path) {
    const auto file = platform::localFileSystem().open(path, platform::FileAccess::Read);
    const std::int64_t size = file->size();
    if (size <= kBlockSize) return false;
    std::array<std::uint8_t, kMagicFieldSize> magic{};
    file->readAt(size - (kTrailerSize - static_cast<std::int64_t>(offsetof(TKZVTrailer, Magic))), magic);
    invert(magic);
    return isMagic(magic.data());
}

}  // namespace engine
