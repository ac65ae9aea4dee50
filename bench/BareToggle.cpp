// The floor a batch toggle is measured against, as a program of its own so that it pays a process
// start too: for each file the same opens, trailer read, block reads and writes, trailer append or
// cut and time restore as a toggle of 8 blocks, with the bytes written back unchanged, no transform
// and no journal.
//   bare_toggle encrypt|decrypt FILE...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/Trailer.h"
#include "platform/FileIo.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const bool encrypt = std::strcmp(argv[1], "encrypt") == 0;
    constexpr std::int64_t kBlocks = 8;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(engine::kBlockSize));
    std::vector<std::uint8_t> trailer(engine::kTrailerSize);
    auto& fs = platform::localFileSystem();
    for (int i = 2; i < argc; ++i) {
        const std::string path = argv[i];
        const auto file = fs.open(path, platform::FileAccess::ReadWrite);
        const auto time = file->lastWriteTime();
        const auto size = file->size();
        file->readAt(size - engine::kTrailerSize, trailer);
        if (encrypt) file->writeAt(size, trailer);
        for (std::int64_t b = 0; b < kBlocks; ++b) {
            file->readAt(b * engine::kBlockSize, block);
            file->writeAt(b * engine::kBlockSize, block);
        }
        if (!encrypt) file->setSize(size - engine::kTrailerSize);
        file->setLastWriteTime(time);
    }
    std::printf("%d files\n", argc - 2);
    return 0;
}
