// The floor a batch toggle is measured against, as a program of its own so that it pays a process
// start too: for each file the same opens, trailer read, block reads and writes, trailer append or
// cut and time restore as a toggle of 8 blocks, with the bytes written back unchanged, no transform
// and no journal.
//   bare_toggle encrypt|decrypt FILE...
#include <cstdio>
#include <cstring>

#include "BareToggle.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const bool encrypt = std::strcmp(argv[1], "encrypt") == 0;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(engine::kBlockSize));
    for (int i = 2; i < argc; ++i) benchfloor::BareToggle(argv[i], encrypt, 8, true, block);
    std::printf("%d files\n", argc - 2);
    return 0;
}
