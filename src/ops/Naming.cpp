// SPDX-License-Identifier: MIT
#include "ops/Naming.h"

#include "config/FilePaths.h"

std::string EncryptTargetName(std::string_view sourceFile, bool selfExtracting) {
    return std::string(sourceFile) + (selfExtracting ? SelfExtractingSuffix : EncryptedSuffix);
}

std::string DecryptTargetName(std::string_view sourceFile) {
    const std::string name = ExtractFileName(sourceFile);
    const std::string ext = ExtractFileExt(sourceFile);
    if (ext.empty())
        return {};
    const std::size_t at = name.find(ext);
    return name.substr(0, at);
}
