#include "support/DeepFolder.h"

#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

const std::string kLevel(200, 'd');
constexpr int kLevels = 25;

}  // namespace

DeepFolder::DeepFolder(const std::string& top) {
    if (::mkdir(top.c_str(), 0700) != 0) throw std::runtime_error("cannot make " + top);
    chain_.push_back(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < kLevels && chain_.back() >= 0; ++i) {
        ::mkdirat(chain_.back(), kLevel.c_str(), 0700);
        chain_.push_back(::openat(chain_.back(), kLevel.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (chain_.back() < 0) throw std::runtime_error("cannot make the folders under " + top);
    ::close(::openat(chain_.back(), "hidden.mp4", O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
}

DeepFolder::~DeepFolder() {
    ::unlinkat(chain_.back(), "hidden.mp4", 0);
    for (std::size_t i = chain_.size() - 1; i > 0; --i) {
        ::close(chain_[i]);
        ::unlinkat(chain_[i - 1], kLevel.c_str(), AT_REMOVEDIR);
    }
    ::close(chain_.front());
}

}  // namespace testsupport
