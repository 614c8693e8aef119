// SPDX-License-Identifier: GPL-3.0-or-later
// The logs that a command line names: its arguments joined into one
// ";"-separated list, each entry a log as it is, "-" for standard input, or a
// folder standing for the logs in it (with recursive, in its subfolders too),
// chosen by file-name globs and sorted by path so that runs are repeatable.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarnimex {

struct ListedLog {
    std::string name;   // as the converter gets it
    std::string below;  // the folders between the named folder and the log, each with "/"
};

struct LogList {
    std::vector<ListedLog> logs;
    // Folders and entries that could not be read: name and reason.
    std::vector<std::pair<std::string, std::string>> problems;
    // Links not followed and folders without logs, which are no failure.
    std::vector<std::string> notes;
};

// includes: globs matched against file names; none means every file except
// *.csv and *.ini (in any letter case). Hidden files (".name") are left out
// unless a glob beginning with "." names them.
LogList ListLogs(const std::vector<std::string>& args, bool recursive,
                 const std::vector<std::string>& includes);

}  // namespace tarnimex
