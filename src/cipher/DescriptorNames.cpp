// SPDX-License-Identifier: MIT
#include "cipher/DescriptorNames.h"

#include <cstdlib>

#include <unistd.h>

namespace {

int DescriptorNumber(const std::string& name) {
    if (name.empty() || name.size() > 9 ||
        name.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::atoi(name.c_str());
}

int StandardName(const std::string& name) {
    if (name == "stdin")
        return 0;
    if (name == "stdout")
        return 1;
    if (name == "stderr")
        return 2;
    return -1;
}

} // namespace

int DescriptorNamedBy(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return -1;
    const std::string dir = slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = path.substr(slash + 1);
    // The usual spellings are known without /proc, which a container may lack.
    if (dir == "/dev")
        if (const int fd = StandardName(name); fd >= 0)
            return fd;
    if (dir == "/dev/fd" || dir == "/proc/self/fd" || dir == "/proc/thread-self/fd")
        return DescriptorNumber(name);
    char* real = ::realpath(dir.c_str(), nullptr);
    if (!real)
        return -1;
    const std::string resolved = real;
    std::free(real);
    if (resolved == "/dev")
        return StandardName(name);
    const std::string own = "/proc/" + std::to_string(::getpid());
    if (resolved == own + "/fd")
        return DescriptorNumber(name);
    if (resolved.rfind(own + "/task/", 0) == 0 && resolved.size() > own.size() + 9 &&
        resolved.compare(resolved.size() - 3, 3, "/fd") == 0)
        return DescriptorNumber(name);
    return -1;
}
