// SPDX-License-Identifier: GPL-3.0-or-later
// Folders are read entry by entry so that one unreadable folder or one broken
// link costs only itself; links to folders are followed, except one that leads
// back into a folder being listed, which would never end.
#include "cli/log_list.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "conversion/output/file_names.h"
#include "platform/path_names.h"

namespace tarnimex {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNotLogs[] = {"*.csv", "*.ini"};

// A hidden file (a name that begins with ".", such as the new file of a CSV
// being written) only when a glob that begins with "." asks for it, as in a shell.
bool Included(const std::string& fileName, const std::vector<std::string>& includes) {
    const bool hidden = fileName.starts_with('.');
    if (includes.empty()) {
        return !hidden &&
               std::none_of(std::begin(kNotLogs), std::end(kNotLogs), [&](const char* glob) {
                   return MatchesWildcard(glob, fileName, true);
               });
    }
    return std::any_of(includes.begin(), includes.end(), [&](const std::string& glob) {
        return (!hidden || glob.starts_with('.')) && MatchesWildcard(glob, fileName, false);
    });
}

class FolderWalk {
  public:
    FolderWalk(bool recursive, const std::vector<std::string>& includes, LogList& list)
        : recursive_(recursive), includes_(includes), list_(list) {}

    void Walk(const fs::path& folder, const std::string& below) {
        std::error_code ec;
        const fs::path real = fs::canonical(folder, ec);
        if (ec) return Problem(folder, ec.message());
        if (std::find(open_.begin(), open_.end(), real) != open_.end()) {
            list_.notes.push_back("Not followed, a link back into a folder being listed: " +
                                  Utf8FromPath(folder));
            return;
        }
        open_.push_back(real);
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const fs::directory_entry& entry = *it;
            std::error_code statusError;
            const fs::file_status status = entry.status(statusError);
            const std::string fileName = Utf8FromPath(entry.path().filename());
            if (statusError) {
                Problem(entry.path(), statusError.message());
            } else if (fs::is_regular_file(status)) {
                if (Included(fileName, includes_))
                    found_.push_back({Utf8FromPath(entry.path()), below});
            } else if (fs::is_directory(status) && recursive_) {
                Walk(entry.path(), below + fileName + "/");
            }
        }
        if (ec) Problem(folder, ec.message());
        open_.pop_back();
    }

    // The logs found so far, sorted by path, handed over.
    std::vector<ListedLog> Take() {
        std::sort(found_.begin(), found_.end(),
                  [](const ListedLog& a, const ListedLog& b) { return a.name < b.name; });
        return std::exchange(found_, {});
    }

  private:
    void Problem(const fs::path& path, const std::string& reason) {
        list_.problems.emplace_back(Utf8FromPath(path), reason);
    }

    bool recursive_;
    const std::vector<std::string>& includes_;
    LogList& list_;
    std::vector<fs::path> open_;  // the folders from the named one down to the current one
    std::vector<ListedLog> found_;
};

}  // namespace

LogList ListLogs(const std::vector<std::string>& args, bool recursive,
                 const std::vector<std::string>& includes) {
    LogList list;
    for (const std::string& entry : SplitFileList(JoinFileNames(args))) {
        std::error_code ec;
        if (entry != "-" && fs::is_directory(PathFromUtf8(entry), ec)) {
            FolderWalk walk(recursive, includes, list);
            walk.Walk(PathFromUtf8(entry), "");
            std::vector<ListedLog> found = walk.Take();
            if (found.empty()) list.notes.push_back("No log in the folder " + entry);
            for (ListedLog& log : found) list.logs.push_back(std::move(log));
        } else {
            // Anything else goes to the converter, which reports what it cannot open.
            list.logs.push_back({entry, ""});
        }
    }
    return list;
}

}  // namespace tarnimex
