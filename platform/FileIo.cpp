#include "platform/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <utility>

#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

std::string systemErrorText(int errorNumber) {
    return std::strerror(errorNumber);
}

constexpr const char* kInUseText = kFileInUseText;

class LocalFile final : public File {
public:
    LocalFile(std::string path, int fd, bool leased) : path_(std::move(path)), fd_(fd), leased_(leased) {}
    ~LocalFile() override { ::close(fd_); }  // also releases the lease and the lock

    const std::string& path() const noexcept override { return path_; }

    std::int64_t size() const override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail(errno);
        return st.st_size;
    }

    void readAt(std::int64_t offset, std::span<std::uint8_t> buffer) override {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = ::pread(fd_, buffer.data() + done, buffer.size() - done,
                                      static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (n < 0) {
                if (errno == EINTR) continue;
                fail(errno);
            }
            if (n == 0) throw FileError(path_, "unexpected end of file while reading");
            done += static_cast<std::size_t>(n);
        }
    }

    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                       static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (n < 0) {
                if (errno == EINTR) continue;
                fail(errno);
            }
            if (n == 0) throw FileError(path_, "the file system accepted no bytes", ENOSPC);
            done += static_cast<std::size_t>(n);
        }
    }

    void setSize(std::int64_t size) override {
        while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
            if (errno != EINTR) fail(errno);
        }
    }

    bool reserve(std::int64_t offset, std::int64_t length) override {
#ifdef FALLOC_FL_KEEP_SIZE
        while (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                           static_cast<off_t>(length)) != 0) {
            if (errno == EINTR) continue;
            if (errno == EOPNOTSUPP || errno == ENOSYS) return false;
            fail(errno);
        }
        return true;
#else
        (void)offset;
        (void)length;
        return false;
#endif
    }

    FileTime lastWriteTime() const override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail(errno);
        return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    }

    void setLastWriteTime(FileTime time) override {
        // Access time stays as it is; only the last-write time is set.
        const struct timespec times[2] = {
            {0, UTIME_OMIT}, {static_cast<time_t>(time.seconds), static_cast<long>(time.nanoseconds)}};
        if (::futimens(fd_, times) != 0) fail(errno);
    }

    void sync() override {
        if (::fsync(fd_) != 0) fail(errno);
    }

    FileIdentity identity() const override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail(errno);
        return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }

    std::uint32_t owner() const override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail(errno);
        return st.st_uid;
    }

    std::int64_t holeBytes(std::int64_t offset, std::int64_t length) const override {
        const std::int64_t end = std::min(offset + length, size());
        std::int64_t holes = 0;
        for (std::int64_t at = offset; at < end;) {
            off_t data = ::lseek(fd_, static_cast<off_t>(at), SEEK_DATA);
            if (data < 0) {
                if (errno == EINVAL || errno == EOPNOTSUPP) return 0;  // the file system cannot tell
                if (errno != ENXIO) fail(errno);
                data = static_cast<off_t>(end);  // a hole up to the end of the file
            }
            const std::int64_t dataAt = std::min<std::int64_t>(data, end);
            holes += dataAt - at;
            if (dataAt >= end) break;
            const off_t hole = ::lseek(fd_, static_cast<off_t>(dataAt), SEEK_HOLE);
            if (hole < 0) {
                if (errno == EINVAL || errno == EOPNOTSUPP) return 0;
                fail(errno);
            }
            at = std::max<std::int64_t>(hole, dataAt + 1);
        }
        return holes;
    }

    bool contended() const override {
        // A lease being broken reports the type it is being broken to; a lease the kernel took back
        // after its break time reports none.
        return leased_ && ::fcntl(fd_, F_GETLEASE) != F_WRLCK;
    }

private:
    [[noreturn]] void fail(int errorNumber) const {
        throw FileError(path_, systemErrorText(errorNumber), errorNumber);
    }

    std::string path_;
    int fd_;
    bool leased_;
};

[[noreturn]] void closeAndFail(const std::string& path, int fd, int err, const char* text) {
    ::close(fd);
    throw FileError(path, text, err);
}

// A broken lease is heard by polling (File::contended), not by its signal, which would end the
// process by default. Set once, and only where nobody chose a handler of their own.
void ignoreLeaseBreakSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            ::sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGIO, &ignore, nullptr);
        }
    });
}

// No sharing. A write lease is granted only while no other open file description refers to the file,
// whoever holds it, and breaks when another process opens it. Where no lease can be had (the file
// system has none, or another account owns the file and we lack the right to lease it) the advisory
// lock alone remains, which only other lockers respect. Returns whether the file is leased.
bool holdExclusive(const std::string& path, int fd) {
    ignoreLeaseBreakSignal();
    bool leased = false;
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        leased = true;
    } else if (errno == EAGAIN || errno == EBUSY) {
        closeAndFail(path, fd, EBUSY, kInUseText);
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EINTR) continue;
        closeAndFail(path, fd, err, err == EWOULDBLOCK ? kInUseText : systemErrorText(err).c_str());
    }
    return leased;
}

// Why a file or folder is not the user's own alone; nullptr when it is.
const char* notPrivate(const struct stat& st) {
    if (st.st_uid != ::geteuid()) return "is owned by another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "can be written by other users";
    return nullptr;
}

bool isSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A folder's path without its trailing slashes, which would make lstat follow a last link.
std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Whether an open file somewhere holds a lease on `path` (read from /proc/locks). Opening it, even
// only to look, would start breaking that lease, and its holder (a toggle: this program's, another
// instance's, or velmora-cli's) would give up its change. False where it cannot be told.
bool leasedElsewhere(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    char id[64];
    std::snprintf(id, sizeof id, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream in(line);
        std::string number, kind, state, type, pid, where;
        in >> number >> kind >> state >> type >> pid >> where;
        if (kind == "LEASE" && where == id) return true;  // a waiter's line starts with "->" instead
    }
    return false;
}

// Opens a regular file and holds it without sharing. A private one is never reached through a
// symbolic link, and must be the user's own alone.
std::unique_ptr<File> openHeld(const std::string& path, int flags, bool privateFile) {
    // Refused as the kernel would refuse it, but without disturbing the holder.
    if (leasedElsewhere(path)) throw FileError(path, kInUseText, EWOULDBLOCK);
    if (privateFile) flags |= O_NOFOLLOW;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        if (err == ELOOP && privateFile && isSymbolicLink(path))
            throw FileError(path, "is a symbolic link", ELOOP);
        throw FileError(path, err == EWOULDBLOCK ? kInUseText : systemErrorText(err), err);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        closeAndFail(path, fd, err, systemErrorText(err).c_str());
    }
    if (!S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) closeAndFail(path, fd, EISDIR, systemErrorText(EISDIR).c_str());
        closeAndFail(path, fd, EINVAL, "not a regular file");
    }
    if (privateFile) {
        if (const char* why = notPrivate(st)) closeAndFail(path, fd, EPERM, why);
    }
    const bool leased = holdExclusive(path, fd);
    return std::make_unique<LocalFile>(path, fd, leased);
}

class LocalFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> create(const std::string& path) override {
        int fd = -1;
        do {
            fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            const int err = errno;
            throw FileError(path, systemErrorText(err), err);
        }
        const bool leased = holdExclusive(path, fd);
        return std::make_unique<LocalFile>(path, fd, leased);
    }

    std::unique_ptr<File> open(const std::string& path, FileAccess access) override {
        // O_NONBLOCK keeps a FIFO or device from blocking the open, and makes an open that would have to
        // wait for another holder's lease to break fail at once instead.
        int flags = O_CLOEXEC | O_NONBLOCK;
        switch (access) {
            case FileAccess::Read:
                flags |= O_RDONLY;
                break;
            case FileAccess::Write:
                flags |= O_WRONLY;
                break;
            case FileAccess::ReadWrite:
                flags |= O_RDWR;
                break;
        }
        return openHeld(path, flags, false);
    }

    std::unique_ptr<File> openPrivate(const std::string& path) override {
        return openHeld(path, O_CLOEXEC | O_NONBLOCK | O_RDWR, true);
    }
};

// Raises for the first part of `path` that stands where a folder should be, saying what it is. A
// part that is missing ends the search: whatever kept it from being made is the system's to tell.
void explainNoFolder(const std::string& path) {
    std::filesystem::path sofar;
    for (const auto& part : std::filesystem::path(path)) {
        if (part.empty()) continue;  // what a trailing slash leaves
        sofar /= part;
        struct stat st {};
        if (::lstat(sofar.c_str(), &st) != 0) return;
        if (S_ISDIR(st.st_mode)) continue;
        if (!S_ISLNK(st.st_mode)) throw FileError(sofar.string(), "is not a folder", ENOTDIR);
        struct stat target {};
        if (::stat(sofar.c_str(), &target) != 0) {
            const int err = errno;
            if (err == ENOENT)
                throw FileError(sofar.string(), "is a symbolic link to something that does not exist", err);
            if (err == ELOOP)
                throw FileError(sofar.string(), "is a symbolic link that leads in a circle", err);
            throw FileError(sofar.string(), systemErrorText(err), err);
        }
        if (!S_ISDIR(target.st_mode))
            throw FileError(sofar.string(), "is a symbolic link to something that is not a folder", ENOTDIR);
    }
}

}  // namespace

FileError::FileError(std::string path, const std::string& reason, int errorNumber)
    : std::runtime_error(path + ": " + reason),
      path_(std::move(path)),
      reason_(reason),
      errorNumber_(errorNumber) {}

void makeFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (!error && std::filesystem::is_directory(path, error)) return;
    // The standard library says only "File exists" for whatever is in the way.
    explainNoFolder(path);
    if (error) throw FileError(path, error.message(), error.value());
    throw FileError(path, systemErrorText(ENOTDIR), ENOTDIR);
}

void checkPrivateFolder(const std::string& path) {
    const std::string folder = withoutTrailingSlashes(path);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        const int err = errno;
        throw FileError(folder, systemErrorText(err), err);
    }
    if (S_ISLNK(st.st_mode)) throw FileError(folder, "is a symbolic link, not a folder", ELOOP);
    if (!S_ISDIR(st.st_mode)) throw FileError(folder, "is not a folder", ENOTDIR);
    if (const char* why = notPrivate(st)) throw FileError(folder, why, EPERM);
}

void makePrivateFolder(const std::string& path) {
    const std::string folder = withoutTrailingSlashes(path);
    const auto parent = std::filesystem::path(folder).parent_path();
    if (!parent.empty()) makeFolder(parent.string());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        const int err = errno;
        throw FileError(folder, systemErrorText(err), err);
    }
    // A folder of ours that an earlier version made under a lenient umask (0775) is closed to others
    // now; its files are each checked as they are opened. Opened without following a link, so that
    // only the folder itself can be changed.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            ::fchmod(fd, st.st_mode & 0700);
        ::close(fd);
    }
    checkPrivateFolder(folder);
}

std::int64_t freeBytes(const std::string& path) {
    struct statvfs st {};
    int result = 0;
    do {
        result = ::statvfs(path.c_str(), &st);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int err = errno;
        throw FileError(path, systemErrorText(err), err);
    }
    constexpr auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const std::uint64_t blocks = st.f_bavail;
    const std::uint64_t unit = st.f_frsize;
    if (unit != 0 && blocks > most / unit) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(blocks * unit);
}

void syncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw FileError(path, systemErrorText(err), err);
    }
    const int result = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (result != 0) throw FileError(path, systemErrorText(err), err);
}

void removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        const int err = errno;
        throw FileError(path, systemErrorText(err), err);
    }
}

void renameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int err = errno;
        throw FileError(from, systemErrorText(err), err);
    }
}

void syncFileSystemOf(const std::string& path) {
    // A folder rather than the file: opening it takes no lock and works whatever became of the file;
    // a folder gone since is replaced by the nearest one above it, on the same file system if any is.
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    int fd = -1;
    for (;;) {
        fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT || folder == folder.parent_path() || folder.empty()) break;
        folder = folder.parent_path();
    }
    if (fd < 0) {
        const int err = errno;
        throw FileError(folder.string(), systemErrorText(err), err);
    }
    const int result = ::syncfs(fd);
    const int err = errno;
    ::close(fd);
    if (result != 0) throw FileError(folder.string(), systemErrorText(err), err);
}

std::string canonicalPath(const std::string& path) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved.string();
}

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string bootId() {
    std::string id(64, '\0');
    const int fd = ::open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    const ssize_t n = ::read(fd, id.data(), id.size());
    ::close(fd);
    id.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!id.empty() && (id.back() == '\n' || id.back() == '\0')) id.pop_back();
    return id;
}

std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file() && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            files.push_back(it->path().string());
    }
    if (error && error != std::errc::no_such_file_or_directory)
        throw FileError(folder, error.message(), error.value());
    std::sort(files.begin(), files.end());
    return files;
}

FileSystem& localFileSystem() {
    static LocalFileSystem instance;  // stateless
    return instance;
}

}  // namespace platform
