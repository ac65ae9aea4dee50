#pragma once
// An in-memory file system that can lose power. It keeps, for every file, the state made durable by
// its last sync and every write and resize since; at a simulated power cut it keeps an arbitrary
// subset of those unsynced writes, whole 512-byte sectors at a time and in any order, and drops the
// rest. Names (create, rename, remove) are journaled in order: a cut keeps a prefix of those not yet
// made durable by a folder or file-system sync. What was synced always survives.
//
// FailAt(n) makes the nth changing call from then on the moment power goes: that call and every
// later one raise, as if the process had died there. AfterPowerLoss() then gives the disk as the next
// start finds it.

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/FileIo.h"

namespace testsupport {

class PowerLossFileSystem final : public platform::FileSystem {
public:
    PowerLossFileSystem() = default;

    std::unique_ptr<platform::File> open(const std::string& path, platform::FileAccess access) override;
    std::unique_ptr<platform::File> create(const std::string& path) override;
    // Refuses a file SetOwner gave to another user.
    std::unique_ptr<platform::File> openPrivate(const std::string& path) override;
    void makeFolder(const std::string& path) override;
    void makePrivateFolder(const std::string& path) override { makeFolder(path); }
    void checkPrivateFolder(const std::string& path) override { Check(path); }
    std::int64_t freeBytes(const std::string& path) override {
        Check(path);
        return std::int64_t{1} << 50;
    }
    void syncFolder(const std::string& path) override;
    void removeFile(const std::string& path) override;
    void renameFile(const std::string& from, const std::string& to) override;
    std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix) override;
    void syncFileSystemOf(const std::string& path) override;
    std::string canonicalPath(const std::string& path) override { return path; }
    // Every power cut starts a new boot.
    std::string bootId() override { return "simulated boot " + std::to_string(boot_); }

    using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;
    // A durable file, as a test sets the scene. The bytes are shared until the file is written.
    void Put(const std::string& path, Bytes bytes);
    void Put(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        Put(path, std::make_shared<const std::vector<std::uint8_t>>(bytes));
    }
    // What a read sees now; empty when missing.
    const std::vector<std::uint8_t>& Contents(const std::string& path) const;
    bool Exists(const std::string& path) const { return names_.contains(path); }
    // Gives the file to another user, as if it had been made by them.
    void SetOwner(const std::string& path, std::uint32_t uid) { inode(lookup(path)).owner = uid; }

    // Power goes at the nth changing call from now (counted from 1); 0: never.
    void FailAt(std::int64_t n) { failAt_ = n > 0 ? changes_ + n : 0; }
    bool PowerLost() const noexcept { return lost_; }
    std::int64_t Changes() const noexcept { return changes_; }
    std::int64_t Syncs() const noexcept { return syncs_; }
    std::int64_t DiskSyncs() const noexcept { return diskSyncs_; }  // syncFileSystemOf only

    // The disk as the next start finds it: everything synced, and a random choice of the rest.
    std::unique_ptr<PowerLossFileSystem> AfterPowerLoss(std::mt19937_64& random) const;

    // Called by the files: counts a changing call and raises once power is gone.
    void Change(const std::string& path);
    void Check(const std::string& path) const;

    struct Op {
        bool resize = false;
        std::int64_t offset = 0;  // a write's offset, or the new size
        std::int64_t length = 0;
        // The sectors the write touched, from `firstSector` on, as they read right after it (the page
        // cache's view); the last one may be short at the end of the file.
        std::int64_t firstSector = 0;
        std::vector<std::uint8_t> sectors;
        std::int64_t sizeAfter = 0;
    };
    // File contents are shared between the durable and the current state (and between disks) until
    // they differ, so that hundreds of simulated cuts stay cheap.
    struct Inode {
        Bytes durable = std::make_shared<const std::vector<std::uint8_t>>();
        Bytes current = durable;
        std::shared_ptr<std::vector<std::uint8_t>> owned;  // `current` once this file alone holds it
        std::vector<std::uint8_t>& writable() {
            if (!owned || owned != current || current == durable) {
                owned = std::make_shared<std::vector<std::uint8_t>>(*current);
                current = owned;
            }
            return *owned;
        }
        std::vector<Op> pending;
        platform::FileTime time{1'600'000'000, 0};
        std::uint32_t owner = ::geteuid();
        bool held = false;
    };
    Inode& inode(std::uint64_t id) { return *inodes_.at(id); }

private:
    struct NameOp {
        enum Kind { Link, Unlink } kind;
        std::string name;
        std::uint64_t id = 0;
    };
    std::uint64_t lookup(const std::string& path) const;
    void link(const std::string& name, std::uint64_t id);
    void unlink(const std::string& name);
    void syncNames();

    std::map<std::uint64_t, std::shared_ptr<Inode>> inodes_;
    std::map<std::string, std::uint64_t> names_;
    std::map<std::string, std::uint64_t> durableNames_;
    std::vector<NameOp> pendingNames_;
    std::uint64_t nextId_ = 1;
    std::int64_t changes_ = 0;
    std::int64_t failAt_ = 0;
    std::int64_t syncs_ = 0;
    std::int64_t diskSyncs_ = 0;
    bool lost_ = false;
    int boot_ = 1;
};

}  // namespace testsupport
