// SPDX-License-Identifier: MIT
#include "config/FilePaths.h"

std::string ExtractFilePath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ExtractFileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view path) {
    const std::string name = ExtractFileName(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string NativeSeparators(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}
