// SPDX-License-Identifier: MIT
#pragma once
// The files -r finds under the folders given. The walk never follows a symbolic link and stays
// on each folder's file system unless asked: a link to / inside a tree being wiped must not
// take the whole machine with it, nor a mounted backup disk.

#include "cli/CliOptions.h"

#include <string>
#include <vector>

struct TTreeEntry {
    std::string Path;
    std::string Why;     // empty: a file to work on; else why it is left alone (a link, a FIFO)
    bool Failed = false; // left alone because it could not be read (a folder without access)
};

struct TTree {
    // The arguments' files and what the walk found, in the order given and by name within
    // each folder; skipped entries among them.
    std::vector<TTreeEntry> Entries;
    // The folders walked, each after the folders it holds: the order they can be removed in.
    std::vector<std::string> Folders;
};

// Without -r every argument is taken as a file, as given. With it, a folder given is walked and
// yields the files its command works on: encrypt every regular file but .ash files (all of
// them with --all), decrypt every .ash file, wipe every regular file.
[[nodiscard]] TTree FindFiles(const TCliOptions& options);

// Whether a name ends in ".ash", the encrypted files' extension, in any case.
[[nodiscard]] bool IsEncryptedName(const std::string& path);
