// SPDX-License-Identifier: MIT
#pragma once
// The Windows self-extracting module: what its console and dialog faces share. Paths are
// UTF-16 as Windows keeps them; messages are UTF-8 until they are shown.

#include "cipher/core/SecretBytes.h"
#include "judge/core/Judgement.h"
#include "stub/StubShared.h"

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

[[nodiscard]] std::string Utf8(std::wstring_view text);
[[nodiscard]] std::wstring Wide(std::string_view utf8);
[[nodiscard]] std::string Quoted(const std::wstring& path);
[[nodiscard]] std::string ErrorText(DWORD err);

[[nodiscard]] std::wstring BaseName(const std::wstring& path);
[[nodiscard]] std::wstring DirName(const std::wstring& path);
[[nodiscard]] std::wstring OwnPath();
// The module's file name without ".exe": Calyxor names a self-extracting file after its source
// with ".exe" appended, and a copy the user renamed restores under the new name.
[[nodiscard]] std::wstring RestoredName(const std::wstring& exePath);
[[nodiscard]] bool Exists(const std::wstring& path);
[[nodiscard]] bool IsFolder(const std::wstring& path);

// The key's bytes as the program makes them: UTF-8 text to CP1251, refusing what it cannot
// hold and an empty key.
[[nodiscard]] TSecretBytes KeyBytes(std::string_view utf8);
// The same for text typed into a console or a dialog, which Windows hands over as UTF-16.
[[nodiscard]] TSecretBytes KeyBytes(std::wstring_view typed);

// Set from another thread (Ctrl-C) to stop a restore between blocks.
extern volatile LONG gCancelled;
// The unfinished output, for a console being closed to take away; empty when there is none.
extern wchar_t gTempPath[MAX_PATH + 1];

// The running module's own file, measured.
class TSelfFile {
public:
    TSelfFile();
    ~TSelfFile();
    TSelfFile(const TSelfFile&) = delete;
    TSelfFile& operator=(const TSelfFile&) = delete;

    [[nodiscard]] uint64_t PayloadSize() const { return Size - PayloadStart; }
    // True when path names this very file (also through another name for it).
    [[nodiscard]] bool IsSelf(const std::wstring& path) const;

    std::wstring Path;
    HANDLE Handle = INVALID_HANDLE_VALUE;
    uint64_t Size = 0;
    uint64_t PayloadStart = 0;
};

// Refuses, before any key is asked for, an output that cannot or must not be written; nothing
// is made on the disk.
void CheckOutput(const std::wstring& path, bool force, const TSelfFile& self);

// The restored bytes go to a temporary file beside the output, renamed into place only when
// complete and on the disk: a failed run leaves nothing under the output's name.
class TOutputFile {
public:
    // Checks the output as CheckOutput does, and makes the temporary file.
    TOutputFile(const std::wstring& path, bool force, const TSelfFile& self);
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    void Write(const uint8_t* data, std::size_t n);
    void Commit();

    const std::wstring& Path() const { return Output; }

private:
    std::wstring Output;
    std::wstring Temp;
    HANDLE Handle = INVALID_HANDLE_VALUE;
    bool Force;
    bool Committed = false;
};

// Whether key gives a result that looks like a file, judged from the payload's first bytes
// decrypted in memory under the name the result is to have.
[[nodiscard]] TKeyVerdict JudgeKey(const TSelfFile& self, const TSecretBytes& key,
                                   const std::wstring& name);

// Decrypts the bytes after the module's image into out and puts it in place.
void Restore(const TSelfFile& self, const TSecretBytes& key, TOutputFile& out);

// The dialog face: returns the process's exit status.
int RunDialog();
