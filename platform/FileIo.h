#pragma once
// Positioned, exclusive file access for the engine. Standard library and POSIX only: no Qt, so the
// engine that builds on it can be reused and tested alone.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// Any failure of a file service. what() reads "<path>: <the system's error text>".
class FileError : public std::runtime_error {
public:
    FileError(std::string path, const std::string& reason, int errorNumber = 0);

    const std::string& path() const noexcept { return path_; }
    // What went wrong, without the path.
    const std::string& reason() const noexcept { return reason_; }
    int errorNumber() const noexcept { return errorNumber_; }

private:
    std::string path_;
    std::string reason_;
    int errorNumber_;
};

// What a refused open says when another program (or another open of ours) holds the file.
inline constexpr const char* kFileInUseText =
    "The process cannot access the file because it is being used by another process.";

// A last-write time with its nanoseconds.
struct FileTime {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

enum class FileAccess { Read, Write, ReadWrite };

// Which file an open handle refers to, whatever name it is reached by.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// One open file, held without sharing: it opens only while no other process has the file open, and
// while it is open no other exclusive open of the same file succeeds, in this process or another one.
// Reads and writes are positioned and all-or-nothing: a short count is an error.
class File {
public:
    virtual ~File() = default;
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    virtual const std::string& path() const noexcept = 0;
    virtual std::int64_t size() const = 0;
    virtual void readAt(std::int64_t offset, std::span<std::uint8_t> buffer) = 0;
    virtual void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) = 0;
    virtual void setSize(std::int64_t size) = 0;
    // Allocates room for [offset, offset + length) without changing the size. Returns false where the
    // file system cannot reserve space; raises on any other failure (a full disk among them).
    virtual bool reserve(std::int64_t offset, std::int64_t length) = 0;
    virtual FileTime lastWriteTime() const = 0;
    virtual void setLastWriteTime(FileTime time) = 0;
    // Makes the data written so far durable.
    virtual void sync() = 0;
    virtual FileIdentity identity() const = 0;
    // The user id that owns the file.
    virtual std::uint32_t owner() const = 0;
    // How many bytes of [offset, offset + length), within the file, are holes that take no room on
    // the disk yet; 0 where the file system cannot tell.
    virtual std::int64_t holeBytes(std::int64_t offset, std::int64_t length) const = 0;
    // True once another process has asked to open the file since this one opened it. The holder then
    // finishes or undoes its change quickly and closes: the other process waits until then (up to the
    // kernel's lease-break time). False where the file system cannot tell.
    virtual bool contended() const { return false; }
};

// Folder services for the engine's journal. All raise FileError.
void makeFolder(const std::string& path);  // with its parents; an existing folder is fine
void syncFolder(const std::string& path);  // makes the folder's entries durable
void removeFile(const std::string& path);  // a missing file is fine
void renameFile(const std::string& from, const std::string& to);  // replaces `to`, atomically
std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix);
// makeFolder's error names the part of the path that stands in the way (a file, a symbolic link to
// nothing), and says what it is.

// Raises unless `path` itself (a last symbolic link not followed) is a folder the effective user owns
// and nobody else can write to: what the recovery journal applies must be the user's own.
void checkPrivateFolder(const std::string& path);
// makeFolder, the last folder made with mode 0700 (or, when it is ours already, closed to others); then
// checkPrivateFolder.
void makePrivateFolder(const std::string& path);
// The bytes the user may still write on the file system that holds `path`.
std::int64_t freeBytes(const std::string& path);
// Makes everything written to the file system that holds `path` durable, in one call.
void syncFileSystemOf(const std::string& path);
// The absolute path without symbolic links, "." or ".."; the path itself when it cannot be resolved.
std::string canonicalPath(const std::string& path);
// Which file `path` names (links followed), found without opening it; nullopt when it cannot be told.
std::optional<FileIdentity> identityOf(const std::string& path);
// What tells this boot of the machine from any other (empty when unknown): whatever a process wrote
// in the same boot is still in the page cache, power having never been lost since.
std::string bootId();

// Opens files. The engine takes one by reference so that tests can put failures between it and the
// disk, or simulate a power cut. The folder services default to the machine's own.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Raises FileError when the file is missing, not accessible or held open by someone else. On the
    // machine's own file system "held open" means: any other process has it open (a write lease is
    // granted only then), or, where the file system grants no lease (network and FUSE file systems,
    // a file another account owns), another exclusive open holds its advisory lock.
    virtual std::unique_ptr<File> open(const std::string& path, FileAccess access) = 0;
    // Creates a new, empty file for reading and writing, held like open() holds one; raises when the
    // file exists already or cannot be made.
    virtual std::unique_ptr<File> create(const std::string& path) = 0;
    // Opens a file of the user's own for reading and writing, held like open() holds one: raises when
    // it is a symbolic link, not a regular file, owned by another user or writable by anyone else.
    // File systems that have no owners (in-memory ones for tests) just open it.
    virtual std::unique_ptr<File> openPrivate(const std::string& path) {
        return open(path, FileAccess::ReadWrite);
    }

    virtual void makeFolder(const std::string& path) { platform::makeFolder(path); }
    virtual void makePrivateFolder(const std::string& path) { platform::makePrivateFolder(path); }
    virtual void checkPrivateFolder(const std::string& path) { platform::checkPrivateFolder(path); }
    virtual std::int64_t freeBytes(const std::string& path) { return platform::freeBytes(path); }
    virtual void syncFolder(const std::string& path) { platform::syncFolder(path); }
    virtual void removeFile(const std::string& path) { platform::removeFile(path); }
    virtual void renameFile(const std::string& from, const std::string& to) {
        platform::renameFile(from, to);
    }
    virtual std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix) {
        return platform::listFiles(folder, suffix);
    }
    virtual void syncFileSystemOf(const std::string& path) { platform::syncFileSystemOf(path); }
    virtual std::string canonicalPath(const std::string& path) { return platform::canonicalPath(path); }
    virtual std::optional<FileIdentity> identityOf(const std::string& path) {
        return platform::identityOf(path);
    }
    virtual std::string bootId() { return platform::bootId(); }
};

// The machine's own file system.
FileSystem& localFileSystem();

}  // namespace platform
