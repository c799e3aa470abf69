// SPDX-License-Identifier: MIT
#include "sfxwin/WinSfx.h"

#include "cipher/core/Cp1251.h"
#include "cipher/core/Transform.h"
#include "sfxwin/PeImage.h"

#include <algorithm>
#include <array>
#include <vector>

volatile LONG gCancelled = 0;
wchar_t gTempPath[MAX_PATH + 1] = {};

std::string Utf8(std::wstring_view text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Quoted(const std::wstring& path) {
    return "'" + Utf8(path) + "'";
}

std::string ErrorText(DWORD err) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring msg = n > 0 ? std::wstring(text, n) : std::wstring();
    LocalFree(text);
    while (!msg.empty() && (msg.back() == L'\n' || msg.back() == L'\r' || msg.back() == L'.'))
        msg.pop_back();
    if (msg.empty())
        return Format(Translated("Sfx", "error %1"), {std::to_string(err)});
    return Utf8(msg);
}

// ---- names ----------------------------------------------------------------------------------

std::wstring BaseName(const std::wstring& path) {
    const auto cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring DirName(const std::wstring& path) {
    const auto cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos)
        return L".";
    // "C:\x" lies in "C:\", not in "C:", which would mean that drive's current folder.
    if (cut == 0 || (cut == 2 && path[1] == L':'))
        return path.substr(0, cut + 1);
    return path.substr(0, cut);
}

std::wstring OwnPath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            throw TSfxError(Format(Translated("Sfx", "cannot find its own file: %1"),
                                   {ErrorText(GetLastError())}));
        if (n < buf.size())
            return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::wstring RestoredName(const std::wstring& exePath) {
    std::wstring name = BaseName(exePath);
    if (name.size() < 4 ||
        CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".exe", 4, TRUE) != CSTR_EQUAL)
        throw TSfxError(Format(Translated("Sfx", "cannot tell what to call the restored file: the "
                                                 "name %1 does not end in \".exe\". Give the "
                                                 "output with -o PATH."),
                               {Quoted(name)}));
    name.resize(name.size() - 4);
    // Windows drops trailing dots and spaces from a name, so "x..exe" would restore as "x".
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    if (name.empty())
        throw TSfxError(Format(Translated("Sfx", "cannot tell what to call the restored file from "
                                                 "the name %1. Give the output with -o PATH."),
                               {Quoted(BaseName(exePath))}));
    return name;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TSecretBytes KeyBytes(std::string_view utf8) {
    if (utf8.empty())
        throw TSfxError(Translated(
            "Sfx", "no key was given; an empty key cannot be used. Nothing was written."));
    try {
        return EncodeKeyCp1251(utf8);
    } catch (const std::exception& e) {
        throw TSfxError(Format(Translated("Sfx", "%1 Nothing was written."), {e.what()}));
    }
}

TSecretBytes KeyBytes(std::wstring_view typed) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, typed.data(), static_cast<int>(typed.size()),
                                      nullptr, 0, nullptr, nullptr);
    TSecretBytes utf8(static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, typed.data(), static_cast<int>(typed.size()),
                        reinterpret_cast<char*>(utf8.data()), n, nullptr, nullptr);
    return KeyBytes(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

// ---- its own file -----------------------------------------------------------------------------

namespace {

bool ReadAt(HANDLE h, uint64_t offset, void* buf, std::size_t n) {
    auto* p = static_cast<uint8_t*>(buf);
    while (n > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 20));
        if (!ReadFile(h, p, want, &got, &at) || got == 0)
            return false;
        p += got;
        n -= got;
        offset += got;
    }
    return true;
}

bool SameFile(HANDLE a, const std::wstring& path) {
    HANDLE b = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (b == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    const bool same = GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
                      ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                      ia.nFileIndexHigh == ib.nFileIndexHigh &&
                      ia.nFileIndexLow == ib.nFileIndexLow;
    CloseHandle(b);
    return same;
}

} // namespace

TSelfFile::TSelfFile() : Path(OwnPath()) {
    Handle = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (Handle == INVALID_HANDLE_VALUE)
        throw TSfxError(Format(Translated("Sfx", "cannot open its own file %1: %2"),
                               {Quoted(Path), ErrorText(GetLastError())}));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(Handle, &size))
        throw TSfxError(Format(Translated("Sfx", "cannot measure its own file: %1"),
                               {ErrorText(GetLastError())}));
    Size = static_cast<uint64_t>(size.QuadPart);
    std::string why;
    const HANDLE h = Handle;
    if (!PeImageEnd([h](uint64_t at, void* buf, std::size_t n) { return ReadAt(h, at, buf, n); },
                    Size, PayloadStart, why))
        throw TSfxError(Format(Translated("Sfx", "its own file is not usable: %1"), {why}));
    if (PayloadStart >= Size)
        throw TSfxError(Translated(
            "Sfx", "nothing to extract: no encrypted file follows this program. It is the "
                   "bare self-extracting module; run a self-extracting file that Calyxor "
                   "made (\"NAME.exe\") instead."));
}

TSelfFile::~TSelfFile() {
    if (Handle != INVALID_HANDLE_VALUE)
        CloseHandle(Handle);
}

bool TSelfFile::IsSelf(const std::wstring& path) const {
    return SameFile(Handle, path);
}

// ---- the output -------------------------------------------------------------------------------

namespace {

std::string CantWrite(const std::wstring& path, DWORD err) {
    return Format(Translated("Sfx", "cannot write %1: %2"), {Quoted(path), ErrorText(err)});
}

std::string CantWriteIn(const std::wstring& dir, DWORD err) {
    return Format(Translated("Sfx", "cannot write in the folder %1: %2"),
                  {Quoted(dir), ErrorText(err)});
}

} // namespace

void CheckOutput(const std::wstring& path, bool force, const TSelfFile& self) {
    // Replacing the running file with its own contents would lose the encrypted copy.
    if (self.IsSelf(path))
        throw TSfxError(
            Format(Translated("Sfx", "%1 is this self-extracting file itself; choose another "
                                     "output with -o PATH."),
                   {Quoted(path)}));
    if (IsFolder(path))
        throw TSfxError(
            Format(Translated("Sfx", "%1 is a folder; choose another output with -o PATH."),
                   {Quoted(path)}));
    if (Exists(path) && !force)
        throw TSfxError(
            Format(Translated("Sfx", "%1 already exists and was left as it is. Use -f to "
                                     "replace it, or -o PATH to write elsewhere."),
                   {Quoted(path)}));
    const std::wstring dir = DirName(path);
    if (!IsFolder(dir))
        throw TSfxError(Format(Translated("Sfx", "cannot write %1: the folder %2 does not exist."),
                               {Quoted(path), Quoted(dir)}));
}

TOutputFile::TOutputFile(const std::wstring& path, bool force, const TSelfFile& self)
    : Output(path), Force(force) {
    CheckOutput(path, force, self);
    const std::wstring dir = DirName(path);
    std::array<wchar_t, MAX_PATH + 1> temp{};
    if (GetTempFileNameW(dir.c_str(), L"cxs", 0, temp.data()) == 0)
        throw TSfxError(CantWriteIn(dir, GetLastError()));
    Temp = temp.data();
    // Shared for deletion, so that a console being closed can still take the file away.
    Handle = CreateFileW(Temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Handle == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        DeleteFileW(Temp.c_str());
        throw TSfxError(CantWriteIn(dir, err));
    }
    wcsncpy(gTempPath, Temp.c_str(), MAX_PATH);
}

TOutputFile::~TOutputFile() {
    if (Handle != INVALID_HANDLE_VALUE)
        CloseHandle(Handle);
    if (!Committed)
        DeleteFileW(Temp.c_str());
    gTempPath[0] = L'\0';
}

void TOutputFile::Write(const uint8_t* data, std::size_t n) {
    while (n > 0) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 20));
        if (!WriteFile(Handle, data, want, &put, nullptr) || put == 0)
            throw TSfxError(CantWrite(Output, GetLastError()));
        data += put;
        n -= put;
    }
}

void TOutputFile::Commit() {
    const bool flushed = FlushFileBuffers(Handle) != 0;
    const DWORD flushErr = GetLastError();
    CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
    if (!flushed)
        throw TSfxError(CantWrite(Output, flushErr));
    // Without -f the move itself refuses a file that appeared while the module worked.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (Force ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExW(Temp.c_str(), Output.c_str(), flags)) {
        const DWORD err = GetLastError();
        if (!Force && (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS))
            throw TSfxError(Format(Translated("Sfx", "%1 appeared while the file was being "
                                                     "restored and was left as it is. Use -f "
                                                     "to replace it."),
                                   {Quoted(Output)}));
        throw TSfxError(CantWrite(Output, err));
    }
    Committed = true;
    gTempPath[0] = L'\0';
}

// ---- the work ---------------------------------------------------------------------------------

namespace {

// A block large enough that the calls cost nothing beside the transform.
constexpr std::size_t RestoreBlock = 64 * 1024;

struct TWipedTransform : TTransformState {
    std::vector<uint8_t> Buffer = std::vector<uint8_t>(RestoreBlock);
    ~TWipedTransform() {
        CipherWipe(Cipher);
        SecureWipe(Buffer.data(), Buffer.size());
    }
};

} // namespace

TKeyVerdict JudgeKey(const TSelfFile& self, const TSecretBytes& key, const std::wstring& name) {
    const auto n = static_cast<std::size_t>(std::min<uint64_t>(JudgedPrefix, self.PayloadSize()));
    TSecretBytes first(n);
    if (!ReadAt(self.Handle, self.PayloadStart, first.data(), n))
        throw TSfxError(
            Format(Translated("Sfx", "cannot read the encrypted data from its own file: %1"),
                   {ErrorText(GetLastError())}));
    TTransformState state;
    TransformInit(state, key.Span());
    DecryptBuffer(state, first.data(), first.data(), n);
    return JudgeDecrypted(first.Span(), Utf8(BaseName(name)));
}

void Restore(const TSelfFile& self, const TSecretBytes& key, TOutputFile& out) {
    TWipedTransform state;
    TransformInit(state, key.Span());
    uint64_t pos = self.PayloadStart;
    while (pos < self.Size) {
        if (gCancelled)
            throw TSfxError(Translated("Sfx", "interrupted; nothing was written."));
        const auto n = static_cast<std::size_t>(std::min<uint64_t>(RestoreBlock, self.Size - pos));
        if (!ReadAt(self.Handle, pos, state.Buffer.data(), n))
            throw TSfxError(
                Format(Translated("Sfx", "cannot read the encrypted data from its own file: %1"),
                       {ErrorText(GetLastError())}));
        DecryptBuffer(state, state.Buffer.data(), state.Buffer.data(), n);
        out.Write(state.Buffer.data(), n);
        pos += n;
    }
    out.Commit();
}
