#include "support/PowerLossFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace testsupport {

namespace {

constexpr std::int64_t kSector = 512;

class PowerLossFile final : public platform::File {
public:
    PowerLossFile(PowerLossFileSystem& fs, std::string path, std::uint64_t id)
        : fs_(fs), path_(std::move(path)), id_(id) {
        fs_.inode(id_).held = true;
    }
    ~PowerLossFile() override { fs_.inode(id_).held = false; }

    const std::string& path() const noexcept override { return path_; }
    std::int64_t size() const override {
        fs_.Check(path_);
        return static_cast<std::int64_t>(node().current->size());
    }
    void readAt(std::int64_t offset, std::span<std::uint8_t> buffer) override {
        fs_.Check(path_);
        const auto& bytes = *node().current;
        if (offset < 0 ||
            offset + static_cast<std::int64_t>(buffer.size()) > static_cast<std::int64_t>(bytes.size()))
            throw platform::FileError(path_, "unexpected end of file while reading");
        std::memcpy(buffer.data(), bytes.data() + offset, buffer.size());
    }
    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override {
        fs_.Change(path_);
        auto& n = node();
        auto& current = n.writable();
        const auto end = offset + static_cast<std::int64_t>(data.size());
        if (end > static_cast<std::int64_t>(current.size())) current.resize(static_cast<std::size_t>(end));
        std::memcpy(current.data() + offset, data.data(), data.size());
        PowerLossFileSystem::Op op;
        op.offset = offset;
        op.length = static_cast<std::int64_t>(data.size());
        op.sizeAfter = static_cast<std::int64_t>(current.size());
        op.firstSector = offset / kSector;
        const auto from = op.firstSector * kSector;
        const auto to = std::min<std::int64_t>((end + kSector - 1) / kSector * kSector,
                                               static_cast<std::int64_t>(current.size()));
        op.sectors.assign(current.begin() + from, current.begin() + to);
        n.pending.push_back(std::move(op));
    }
    void setSize(std::int64_t size) override {
        fs_.Change(path_);
        auto& n = node();
        n.writable().resize(static_cast<std::size_t>(size));
        PowerLossFileSystem::Op op;
        op.resize = true;
        op.offset = size;
        op.sizeAfter = size;
        n.pending.push_back(std::move(op));
    }
    bool reserve(std::int64_t, std::int64_t) override {
        fs_.Check(path_);
        return false;
    }
    platform::FileTime lastWriteTime() const override {
        fs_.Check(path_);
        return node().time;
    }
    void setLastWriteTime(platform::FileTime time) override {
        fs_.Change(path_);
        node().time = time;
    }
    void sync() override {
        fs_.Change(path_);
        auto& n = node();
        n.durable = n.current;
        n.pending.clear();
    }
    platform::FileIdentity identity() const override { return {1, id_}; }
    std::uint32_t owner() const override {
        fs_.Check(path_);
        return node().owner;
    }
    std::int64_t holeBytes(std::int64_t, std::int64_t) const override {
        fs_.Check(path_);
        return 0;
    }

private:
    PowerLossFileSystem::Inode& node() const { return fs_.inode(id_); }

    PowerLossFileSystem& fs_;
    std::string path_;
    std::uint64_t id_;
};

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

void PowerLossFileSystem::Check(const std::string& path) const {
    if (lost_) throw platform::FileError(path, "the power is off", EIO);
}

void PowerLossFileSystem::Change(const std::string& path) {
    Check(path);
    ++changes_;
    if (failAt_ != 0 && changes_ >= failAt_) {
        lost_ = true;
        Check(path);
    }
}

std::uint64_t PowerLossFileSystem::lookup(const std::string& path) const {
    const auto it = names_.find(path);
    if (it == names_.end()) throw platform::FileError(path, std::strerror(ENOENT), ENOENT);
    return it->second;
}

void PowerLossFileSystem::link(const std::string& name, std::uint64_t id) {
    names_[name] = id;
    pendingNames_.push_back({NameOp::Link, name, id});
}

void PowerLossFileSystem::unlink(const std::string& name) {
    names_.erase(name);
    pendingNames_.push_back({NameOp::Unlink, name, 0});
}

void PowerLossFileSystem::syncNames() {
    durableNames_ = names_;
    pendingNames_.clear();
}

std::unique_ptr<platform::File> PowerLossFileSystem::open(const std::string& path, platform::FileAccess) {
    Check(path);
    const auto id = lookup(path);
    if (inode(id).held) throw platform::FileError(path, "in use", EWOULDBLOCK);
    return std::make_unique<PowerLossFile>(*this, path, id);
}

std::unique_ptr<platform::File> PowerLossFileSystem::openPrivate(const std::string& path) {
    Check(path);
    if (inode(lookup(path)).owner != ::geteuid())
        throw platform::FileError(path, "is owned by another user", EPERM);
    return open(path, platform::FileAccess::ReadWrite);
}

std::unique_ptr<platform::File> PowerLossFileSystem::create(const std::string& path) {
    Change(path);
    if (names_.contains(path)) throw platform::FileError(path, std::strerror(EEXIST), EEXIST);
    const auto id = nextId_++;
    inodes_[id] = std::make_shared<Inode>();
    link(path, id);
    return std::make_unique<PowerLossFile>(*this, path, id);
}

void PowerLossFileSystem::makeFolder(const std::string& path) {
    Check(path);  // folders are implied by the names in them
}

void PowerLossFileSystem::syncFolder(const std::string& path) {
    Change(path);
    ++syncs_;
    syncNames();
}

void PowerLossFileSystem::removeFile(const std::string& path) {
    Change(path);
    if (names_.contains(path)) unlink(path);
}

void PowerLossFileSystem::renameFile(const std::string& from, const std::string& to) {
    Change(from);
    const auto id = lookup(from);
    unlink(from);
    link(to, id);
}

std::vector<std::string> PowerLossFileSystem::listFiles(const std::string& folder,
                                                        const std::string& suffix) {
    Check(folder);
    std::vector<std::string> found;
    for (const auto& [name, id] : names_) {
        if (parentOf(name) == folder && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(name);
    }
    return found;
}

void PowerLossFileSystem::syncFileSystemOf(const std::string& path) {
    Change(path);
    ++syncs_;
    ++diskSyncs_;
    for (auto& [id, node] : inodes_) {
        if (node->pending.empty()) continue;
        node->durable = node->current;
        node->pending.clear();
    }
    syncNames();
}

void PowerLossFileSystem::Put(const std::string& path, Bytes bytes) {
    const auto id = nextId_++;
    auto node = std::make_shared<Inode>();
    node->durable = node->current = std::move(bytes);
    inodes_[id] = node;
    names_[path] = durableNames_[path] = id;
}

const std::vector<std::uint8_t>& PowerLossFileSystem::Contents(const std::string& path) const {
    static const std::vector<std::uint8_t> none;
    const auto it = names_.find(path);
    return it == names_.end() ? none : *inodes_.at(it->second)->current;
}

std::unique_ptr<PowerLossFileSystem> PowerLossFileSystem::AfterPowerLoss(std::mt19937_64& random) const {
    auto after = std::make_unique<PowerLossFileSystem>();
    after->nextId_ = nextId_;
    after->boot_ = boot_ + 1;
    // Names: the durable ones, then the journal of name changes up to a random point.
    auto names = durableNames_;
    const auto kept = std::uniform_int_distribution<std::size_t>(0, pendingNames_.size())(random);
    for (std::size_t i = 0; i < kept; ++i) {
        const auto& op = pendingNames_[i];
        if (op.kind == NameOp::Link)
            names[op.name] = op.id;
        else
            names.erase(op.name);
    }
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const auto& [name, id] : names) {
        const Inode& node = *inodes_.at(id);
        if (!after->inodes_.contains(id)) {
            auto survivor = std::make_shared<Inode>();
            survivor->time = node.time;
            survivor->owner = node.owner;
            // The size moves through its changes in order; the cut keeps a prefix of them.
            const auto sizes = std::uniform_int_distribution<std::size_t>(0, node.pending.size())(random);
            const std::int64_t size = sizes == 0 ? static_cast<std::int64_t>(node.durable->size())
                                                 : node.pending[sizes - 1].sizeAfter;
            if (node.pending.empty()) {
                survivor->durable = survivor->current = node.durable;
                after->inodes_[id] = survivor;
                after->names_[name] = after->durableNames_[name] = id;
                continue;
            }
            // Each unsynced sector write lands or not; where several landed, any one of them wins.
            auto bytes = *node.durable;
            const double landing = unit(random);
            // Per sector, the versions that landed: (op, count so far); any one of them wins.
            struct Landed {
                const Op* op = nullptr;
                int count = 0;
            };
            std::map<std::int64_t, Landed> landed;
            for (const auto& op : node.pending) {
                const auto sectors = (static_cast<std::int64_t>(op.sectors.size()) + kSector - 1) / kSector;
                for (std::int64_t i = 0; i < sectors; ++i) {
                    if (unit(random) >= landing) continue;
                    auto& l = landed[op.firstSector + i];
                    // Reservoir choice: each landed version is equally likely to be the one found.
                    if (std::uniform_int_distribution<int>(0, l.count++)(random) == 0) l.op = &op;
                }
            }
            for (const auto& [sector, l] : landed) {
                const auto at = static_cast<std::size_t>((sector - l.op->firstSector) * kSector);
                const auto length = std::min<std::size_t>(kSector, l.op->sectors.size() - at);
                const auto from = static_cast<std::size_t>(sector * kSector);
                if (bytes.size() < from + length) bytes.resize(from + length);
                std::copy_n(l.op->sectors.begin() + static_cast<std::ptrdiff_t>(at), length,
                            bytes.begin() + static_cast<std::ptrdiff_t>(from));
            }
            bytes.resize(static_cast<std::size_t>(size));
            survivor->durable = survivor->current =
                std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
            after->inodes_[id] = survivor;
        }
        after->names_[name] = after->durableNames_[name] = id;
    }
    return after;
}

}  // namespace testsupport
