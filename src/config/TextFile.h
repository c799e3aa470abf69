// SPDX-License-Identifier: MIT
#pragma once
// The program's text files (settings, skins) are byte strings read line by line: a CR ends a
// line, a LF right after a CR belongs to that line end, a LF on its own is part of the line's
// text, and a byte 0x1A ends the file wherever it stands.

#include <cstddef>
#include <string>
#include <string_view>

class TTextReader {
public:
    explicit TTextReader(std::string_view bytes);

    [[nodiscard]] bool Eof() const { return Pos >= End; }
    // The next line without its end. With a limit, only the first `limit` characters are kept
    // and the rest of a longer line is skipped.
    std::string ReadLine(std::size_t limit = std::string::npos);

private:
    std::string_view Bytes;
    std::size_t Pos = 0;
    std::size_t End = 0;
};

// The line length the settings file is read and written with.
constexpr std::size_t TextLineLimit = 255;

// The largest settings or skin file read. Both are a few hundred bytes; the bound only keeps a
// path to something endless from filling the memory.
constexpr std::size_t TextFileSizeLimit = 1 << 20;

// Reads a whole file as bytes. Raises EInOutError with the platform's text when it cannot, and
// with a message of its own for a folder, a pipe, a device or a socket, and for a file past
// TextFileSizeLimit. Never waits: a pipe with no writer is refused, not read.
[[nodiscard]] std::string ReadTextFileBytes(const std::string& path);

// Creates or replaces the file at path with bytes, so that the file is at every moment either
// what it was or the whole new text: the bytes go to a temporary file beside it, are flushed to
// the disk and renamed over it. A replaced file keeps its permission bits; a link keeps being
// a link, to the replaced file. Where the folder takes no new file but the file itself can be
// written, it is written in place. Raises EInOutError with the platform's text.
void ReplaceTextFile(const std::string& path, std::string_view bytes);

// Upper-cases the bytes "a" to "z" only; every other byte, Cyrillic included, is unchanged.
[[nodiscard]] std::string UpperStr(std::string_view s);
