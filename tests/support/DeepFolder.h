#pragma once
// A chain of folders under `top` whose full path is longer than the system allows (about 5,000
// characters), with a video at its bottom: a folder no search can read, for root too. Taken down
// through open handles on destruction, since the path is too long to name.

#include <string>
#include <vector>

namespace testsupport {

class DeepFolder {
public:
    explicit DeepFolder(const std::string& top);
    ~DeepFolder();
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

private:
    std::vector<int> chain_;  // handles of `top` and every folder below it
};

}  // namespace testsupport
