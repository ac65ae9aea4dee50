#pragma once
// Test helpers without Qt: a scratch folder removed on destruction, and files of chosen content.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Bytes that differ from block to block and from position to position, so that a misplaced or
// repeated block shows.
std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed = 1);

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

}  // namespace testsupport
