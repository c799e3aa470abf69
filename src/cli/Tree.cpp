// SPDX-License-Identifier: MIT
#include "cli/Tree.h"

#include "errors/Errors.h"
#include "lang/Texts.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// What a file that is neither a folder nor a regular file is, for the message that skips it.
std::string SpecialKind(mode_t mode) {
    if (S_ISFIFO(mode))
        return Translated("Cli", "is a FIFO, not a regular file; skipped");
    if (S_ISSOCK(mode))
        return Translated("Cli", "is a socket, not a regular file; skipped");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Translated("Cli", "is a device, not a regular file; skipped");
    return Translated("Cli", "is not a regular file; skipped");
}

std::string LinkText() {
    return Translated("Cli", "is a symbolic link; links are never followed, so it was skipped");
}

class TWalker {
public:
    TWalker(const TCliOptions& options, TTree& tree) : O(options), Tree(tree) {}

    void Walk(const std::string& folder, dev_t device) {
        // Opened without following a link: a folder swapped for a link since it was looked
        // at is not walked into.
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
        if (!dir) {
            const int error = errno;
            if (fd >= 0)
                ::close(fd);
            Tree.Entries.push_back({folder,
                                    error == ELOOP
                                        ? LinkText()
                                        : Format(Translated("Cli", "cannot read the folder: %1"),
                                                 {IOErrorText(error)}),
                                    error != ELOOP});
            return;
        }
        std::vector<std::string> names;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            Visit(Join(folder, name), device);
        Tree.Folders.push_back(folder);
    }

private:
    void Visit(const std::string& path, dev_t device) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            // Gone since the folder was read: nothing to do, nothing lost.
            if (errno != ENOENT)
                Tree.Entries.push_back({path, IOErrorText(errno), true});
            return;
        }
        if (S_ISLNK(st.st_mode)) {
            Tree.Entries.push_back({path, LinkText()});
        } else if (S_ISDIR(st.st_mode)) {
            if (st.st_dev != device && !O.CrossFileSystems)
                Tree.Entries.push_back(
                    {path, Translated("Cli", "is on another file system and was not entered "
                                             "(--cross-file-systems enters it)")});
            else
                Walk(path, st.st_dev);
        } else if (!S_ISREG(st.st_mode)) {
            Tree.Entries.push_back({path, SpecialKind(st.st_mode)});
        } else if (Wanted(path)) {
            Tree.Entries.push_back({path, {}});
        }
    }

    // The files a command leaves out of a tree without a word: they are not its kind.
    [[nodiscard]] bool Wanted(const std::string& path) const {
        switch (O.Command) {
        case TCliCommand::Encrypt:
            return O.All || !IsEncryptedName(path);
        case TCliCommand::Decrypt:
            return IsEncryptedName(path);
        default:
            return true;
        }
    }

    const TCliOptions& O;
    TTree& Tree;
};

} // namespace

bool IsEncryptedName(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string end = path.substr(path.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return end == ".ash";
}

TTree FindFiles(const TCliOptions& options) {
    TTree tree;
    TWalker walker(options, tree);
    for (const std::string& file : options.Files) {
        struct stat st {};
        if (options.Recursive && ::lstat(file.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                walker.Walk(file, st.st_dev);
                continue;
            }
            // A link given with -r is not walked either: "dir/" would be, as the shell means.
            struct stat target {};
            if (S_ISLNK(st.st_mode) && ::stat(file.c_str(), &target) == 0 &&
                S_ISDIR(target.st_mode)) {
                tree.Entries.push_back({file, LinkText()});
                continue;
            }
        }
        tree.Entries.push_back({file, {}});
    }
    return tree;
}
