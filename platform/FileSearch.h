#pragma once
// Finding files by name patterns, as the directory mode of the main window and the program's own
// file lookups do. Patterns are Windows-style wildcards ("*", "?"), matched without regard to case.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A set of ";"-separated name patterns, prepared once for matching many names.
class TFileMask {
public:
    explicit TFileMask(std::string_view masks);
    ~TFileMask();
    TFileMask(TFileMask&&) noexcept;
    TFileMask& operator=(TFileMask&&) noexcept;

    bool Matches(std::string_view name) const;
    bool Empty() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A folder the search could not read (or read to its end), and the system's reason.
struct TSearchProblem {
    std::string Path;
    std::string Reason;
    friend bool operator==(const TSearchProblem&, const TSearchProblem&) = default;
};

// Asked between two entries of a folder with how many matching files this search has found so far:
// false stops the search there. A search over a large tree or a slow disk can take minutes; this is
// how its caller shows it going on and lets the user stop it.
using TSearchCheck = std::function<bool(std::size_t found)>;

// Appends the full path of every file in `folder` whose name matches one of the ";"-separated `masks`,
// descending into subfolders when `subfolders` is set. Never clears `list`. Within a folder files come in
// name order, and the files of a folder before those of its subfolders. Symbolic links to files count as
// files; links to folders are not followed. A folder that cannot be read adds nothing to `list` and,
// when `problems` is given, a line there: files that were not found must not pass unnoticed.
// Returns false when `goOn` stopped it: `list` then holds part of what the search would have found.
bool SearchFile3(const std::string& folder, std::string_view masks, std::vector<std::string>& list,
                 bool subfolders, std::vector<TSearchProblem>* problems = nullptr,
                 const TSearchCheck& goOn = {});

// `mask` is a folder and one pattern: "/data/Log*.txt".
void FindDirFile(const std::string& mask, std::vector<std::string>& list, bool subfolders = false);
// Every file of `folder` with the extension `extension` (".xml").
void FindDirFile(const std::string& folder, const std::string& extension, std::vector<std::string>& list,
                 bool subfolders = false);

}  // namespace platform
