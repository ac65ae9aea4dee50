#include "platform/FileSearch.h"

#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "platform/Utility.h"

namespace platform {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return lowerAscii(c); });
    return lower;
}

bool isPlainAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != '*' && c != '?' && c != '[';
    });
}

}  // namespace

struct TFileMask::Impl {
    bool all = false;
    // "*.ext" patterns, by their lower-case suffix ".ext": the video masks are all of this form, and one
    // hash lookup per dot of a name beats matching dozens of patterns in turn.
    std::unordered_set<std::string> suffixes;
    std::vector<QRegularExpression> others;
};

TFileMask::TFileMask(std::string_view masks) : impl_(std::make_unique<Impl>()) {
    for (const std::string& pattern : DivStrToList(masks, ";")) {
        const std::string_view trimmed = [&] {
            std::string_view p = pattern;
            while (!p.empty() && p.front() == ' ') p.remove_prefix(1);
            while (!p.empty() && p.back() == ' ') p.remove_suffix(1);
            return p;
        }();
        if (trimmed.empty()) continue;
        if (trimmed == "*" || trimmed == "*.*") {
            impl_->all = true;  // Windows' "*.*" takes names without a dot too
        } else if (trimmed.size() > 2 && trimmed.starts_with("*.") && isPlainAscii(trimmed.substr(1))) {
            impl_->suffixes.insert(lowerAscii(trimmed.substr(1)));
        } else {
            impl_->others.push_back(
                QRegularExpression::fromWildcard(FromLocal8Bit(trimmed), Qt::CaseInsensitive));
        }
    }
}

TFileMask::~TFileMask() = default;
TFileMask::TFileMask(TFileMask&&) noexcept = default;
TFileMask& TFileMask::operator=(TFileMask&&) noexcept = default;

bool TFileMask::Empty() const noexcept {
    return !impl_->all && impl_->suffixes.empty() && impl_->others.empty();
}

bool TFileMask::Matches(std::string_view name) const {
    if (impl_->all) return true;
    if (!impl_->suffixes.empty()) {
        std::string lower;
        for (std::size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1)) {
            lower.assign(name.substr(dot));
            std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return lowerAscii(c); });
            if (impl_->suffixes.contains(lower)) return true;
        }
    }
    if (!impl_->others.empty()) {
        const QString wide = FromLocal8Bit(name);
        for (const auto& pattern : impl_->others)
            if (pattern.match(wide).hasMatch()) return true;
    }
    return false;
}

namespace {

namespace fs = std::filesystem;

// False when `goOn` stopped the search.
bool searchFolder(std::string folder, const TFileMask& mask, std::vector<std::string>& list, bool subfolders,
                  std::vector<TSearchProblem>* problems, const TSearchCheck& goOn) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string prefix = folder == "/" ? folder : folder + "/";

    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        // One folder may hold a million entries: asked at every one, not once per folder.
        if (goOn && !goOn(list.size() + files.size())) return false;
        const fs::directory_entry& entry = *it;
        // The type comes with the folder listing itself (cached by the entry); only a link needs a
        // look at its target. Links to folders are never followed: they could lead round in a circle.
        std::error_code typeError;
        if (entry.is_symlink(typeError)) {
            if (!entry.is_regular_file(typeError)) continue;
        } else if (entry.is_directory(typeError)) {
            if (subfolders) folders.push_back(entry.path().filename().string());
            continue;
        } else if (!entry.is_regular_file(typeError)) {
            continue;
        }
        std::string name = entry.path().filename().string();
        if (mask.Matches(name)) files.push_back(std::move(name));
    }
    if (error && problems) problems->push_back({folder, error.message()});
    std::sort(files.begin(), files.end());
    for (const auto& name : files) list.push_back(prefix + name);
    std::sort(folders.begin(), folders.end());
    for (const auto& name : folders)
        if (!searchFolder(prefix + name, mask, list, subfolders, problems, goOn)) return false;
    return true;
}

}  // namespace

bool SearchFile3(const std::string& folder, std::string_view masks, std::vector<std::string>& list,
                 bool subfolders, std::vector<TSearchProblem>* problems, const TSearchCheck& goOn) {
    const TFileMask mask(masks);
    if (folder.empty() || mask.Empty()) return true;
    return searchFolder(folder, mask, list, subfolders, problems, goOn);
}

void FindDirFile(const std::string& mask, std::vector<std::string>& list, bool subfolders) {
    const std::size_t slash = mask.rfind('/');
    if (slash == std::string::npos) {
        SearchFile3(".", mask, list, subfolders);
    } else {
        SearchFile3(slash == 0 ? "/" : mask.substr(0, slash), std::string_view(mask).substr(slash + 1), list,
                    subfolders);
    }
}

void FindDirFile(const std::string& folder, const std::string& extension, std::vector<std::string>& list,
                 bool subfolders) {
    SearchFile3(folder, "*" + extension, list, subfolders);
}

}  // namespace platform
