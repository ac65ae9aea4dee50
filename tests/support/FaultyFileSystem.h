#pragma once
// A file system that passes every call to the real one, except the one chosen to fail. A failing
// write may first write part of its bytes, as a disk that fills up mid-write does. A reservation
// failing with EOPNOTSUPP returns false, as on a file system that cannot reserve.

#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileIo.h"

namespace testsupport {

enum class FileOp { Open, Create, Read, Write, SetSize, Reserve, SetTime, Sync };

class FaultyFileSystem final : public platform::FileSystem {
public:
    struct Fault {
        FileOp op;
        int nth = 1;  // fail the nth call of op (counted from 1, over all files)
        int errorNumber = ENOSPC;
        bool partialWrite = false;  // a failing write first writes half its bytes
        bool repeat = false;        // every call from the nth on fails
    };

    FaultyFileSystem() = default;
    // With `onlyPaths`, only calls on paths that contain it count towards the nth and can fail.
    explicit FaultyFileSystem(Fault fault, std::string onlyPaths = {})
        : fault_(fault), onlyPaths_(std::move(onlyPaths)) {}

    std::unique_ptr<platform::File> open(const std::string& path, platform::FileAccess access) override;
    std::unique_ptr<platform::File> create(const std::string& path) override;
    // The machine's own checks, counted as an Open.
    std::unique_ptr<platform::File> openPrivate(const std::string& path) override;

    // Every file's device number reads `by` higher, as when a disk comes back under another device.
    void ShiftDevices(std::uint64_t by) { deviceShift_ = by; }
    std::uint64_t deviceShift() const noexcept { return deviceShift_; }
    std::optional<platform::FileIdentity> identityOf(const std::string& path) override {
        auto id = platform::identityOf(path);
        if (id) id->device += deviceShift_;
        return id;
    }

    int calls(FileOp op) const {
        const auto it = calls_.find(op);
        return it == calls_.end() ? 0 : it->second;
    }

    // Counts the call and raises when it is the one chosen to fail. Returns true when a failing
    // write should land in part first.
    bool countAndCheck(FileOp op, const std::string& path, bool* writePartially = nullptr);
    void raise(const std::string& path) const;

private:
    std::optional<Fault> fault_;
    std::map<FileOp, int> calls_;
    std::string onlyPaths_;
    int matching_ = 0;
    std::uint64_t deviceShift_ = 0;
};

}  // namespace testsupport
