#include "support/FaultyFileSystem.h"

#include <cstring>

namespace testsupport {

namespace {

class FaultyFile final : public platform::File {
public:
    FaultyFile(FaultyFileSystem& owner, std::unique_ptr<platform::File> inner)
        : owner_(owner), inner_(std::move(inner)) {}

    const std::string& path() const noexcept override { return inner_->path(); }
    std::int64_t size() const override { return inner_->size(); }

    void readAt(std::int64_t offset, std::span<std::uint8_t> buffer) override {
        owner_.countAndCheck(FileOp::Read, path());
        inner_->readAt(offset, buffer);
    }

    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override {
        bool partially = false;
        if (owner_.countAndCheck(FileOp::Write, path(), &partially)) {
            if (partially) inner_->writeAt(offset, data.first(data.size() / 2));
            owner_.raise(path());
        }
        inner_->writeAt(offset, data);
    }

    void setSize(std::int64_t size) override {
        owner_.countAndCheck(FileOp::SetSize, path());
        inner_->setSize(size);
    }

    bool reserve(std::int64_t offset, std::int64_t length) override {
        try {
            owner_.countAndCheck(FileOp::Reserve, path());
        } catch (const platform::FileError& error) {
            if (error.errorNumber() == EOPNOTSUPP) return false;  // as the machine's file says it
            throw;
        }
        return inner_->reserve(offset, length);
    }

    platform::FileTime lastWriteTime() const override { return inner_->lastWriteTime(); }

    void setLastWriteTime(platform::FileTime time) override {
        owner_.countAndCheck(FileOp::SetTime, path());
        inner_->setLastWriteTime(time);
    }

    void sync() override {
        owner_.countAndCheck(FileOp::Sync, path());
        inner_->sync();
    }

    platform::FileIdentity identity() const override {
        auto id = inner_->identity();
        id.device += owner_.deviceShift();
        return id;
    }
    std::uint32_t owner() const override { return inner_->owner(); }
    std::int64_t holeBytes(std::int64_t offset, std::int64_t length) const override {
        return inner_->holeBytes(offset, length);
    }

private:
    FaultyFileSystem& owner_;
    std::unique_ptr<platform::File> inner_;
};

}  // namespace

std::unique_ptr<platform::File> FaultyFileSystem::open(const std::string& path, platform::FileAccess access) {
    countAndCheck(FileOp::Open, path);
    return std::make_unique<FaultyFile>(*this, platform::localFileSystem().open(path, access));
}

std::unique_ptr<platform::File> FaultyFileSystem::openPrivate(const std::string& path) {
    countAndCheck(FileOp::Open, path);
    return std::make_unique<FaultyFile>(*this, platform::localFileSystem().openPrivate(path));
}

std::unique_ptr<platform::File> FaultyFileSystem::create(const std::string& path) {
    countAndCheck(FileOp::Create, path);
    return std::make_unique<FaultyFile>(*this, platform::localFileSystem().create(path));
}

bool FaultyFileSystem::countAndCheck(FileOp op, const std::string& path, bool* writePartially) {
    ++calls_[op];
    if (!fault_ || fault_->op != op) return false;
    if (!onlyPaths_.empty() && path.find(onlyPaths_) == std::string::npos) return false;
    const int n = ++matching_;
    if (n == fault_->nth || (fault_->repeat && n > fault_->nth)) {
        if (writePartially) {
            *writePartially = fault_->partialWrite;
            return true;  // the caller writes its part, then raises
        }
        raise(path);
    }
    return false;
}

void FaultyFileSystem::raise(const std::string& path) const {
    throw platform::FileError(path, std::strerror(fault_->errorNumber), fault_->errorNumber);
}

}  // namespace testsupport
