#pragma once
// The in-house utility routines that need no window: strings, paths and files, numbers, the tick
// counter, version and system queries, and raising errors. Paths and other 8-bit texts are std::string
// in the local 8-bit encoding (UTF-8 here); window texts are QString.

#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QObject;
struct QMetaObject;

namespace platform {

// 8-bit text in the local encoding, to and from window text.
std::string ToLocal8Bit(const QString& text);
QString FromLocal8Bit(std::string_view text);

// Milliseconds of a monotonic clock, in 32 bits: wraps after about 49.7 days, so durations are taken
// by unsigned subtraction.
std::uint32_t GetTickCount();

// The per-user application-data folder, ending with "/". Follows XDG_DATA_HOME.
std::string GetAppDataPath();

// The per-user folder for lock files and sockets, ending with "/": $XDG_RUNTIME_DIR, or where the
// session sets none, "velmora-<numeric user ID>" in the temporary folder, made with mode 0700. That
// folder is used only while it is a real folder of this user's with mode 0700: one another account
// made, or may write to, could fake a running instance or the log's lock. Then the result is empty and
// `problem` (when given) says why; callers go on without the lock or the socket.
QString RuntimeFolder(QString* problem = nullptr);

// Takes the advisory lock on `path` (made with mode 0600 when missing, never through a link), which
// the system drops when its holder ends. Returns the open descriptor that holds it, or -1: then
// `heldByAnother` says whether a live process holds it, or whether the file could not be locked at all.
int TryLockFile(const QString& path, bool* heldByAnother);

// How file names compare: by letter case on the file systems of Linux, without it on Windows' and
// macOS's.
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
inline constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
inline constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

// The login name, for names that must not clash between users.
QString UserName();

// File name without its folder and its last extension: "/a/Log3.txt" gives "Log3", "x.tar.gz" "x.tar".
std::string PureFileName(const std::string& path);

// The whole content of `path` when it is a regular file (links followed) of at most `limit` bytes;
// nullopt for anything else (missing, a folder, a FIFO or a device, larger, unreadable), with the
// reason in `problem` when given. Never blocks on a FIFO and never reads more than limit + 1 bytes.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit, QString* problem = nullptr);
// Whether a file of the program's own may be written whole at `path`: nothing is there, a regular
// file is, or a symbolic link to one (written through, so the link stays a link). Anything else (a
// FIFO, a device, a folder, a dangling link) is never replaced; `problem` then says why.
bool IsReplaceableFile(const QString& path, QString* problem = nullptr);

// The file's size in bytes, or -1 when it cannot be read.
std::int64_t GetFileSize(const std::string& path);

// Copies `source` to `target`, replacing it. Returns false when the copy failed; a target that could not
// be replaced is left as it was.
bool CopyFileEx(const std::string& source, const std::string& target);

// The text without its last `count` characters (empty when it has fewer).
std::string DeleteEnd(std::string text, std::size_t count = 1);

// The pieces of `text` between the separators, in order; empty pieces only when `keepEmpty`.
std::vector<std::string> DivStrToList(std::string_view text, std::string_view separator,
                                      bool keepEmpty = false);

// The number in `text`, or `defaultValue` when it holds none. Tolerant: surrounding blanks are ignored,
// and both the user's decimal separator and "." are accepted.
double StrToFloatDefEx(const QString& text, double defaultValue = 0);

// True when the object (or class) is of class `base` or one derived from it.
bool IsInheritsFrom(const QObject* object, const QMetaObject& base);
bool IsInheritsFrom(const QMetaObject* cls, const QMetaObject& base);

// What RaiseError raises.
class AppError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
[[noreturn]] void RaiseError(const std::string& message);

// A duration of a minute or more: "1m 05s", "2h 03m 04s".
QString FormatSecond(std::int64_t seconds);

// The program's version text. `compact` gives the bare version ("1.0.0") that settings files and new
// trailers carry; otherwise build details follow it, for the log.
std::string GetProVersion(bool compact = true);

// The operating system's display name, its version number, and whether it is a 64-bit system.
std::string GetWindowsVersion();
std::string GetWindowsVerNum();
bool IsWin64();

}  // namespace platform
