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

// Reads a whole file as bytes. Raises EInOutError with the platform's text when it cannot.
[[nodiscard]] std::string ReadTextFileBytes(const std::string& path);

// Upper-cases the bytes "a" to "z" only; every other byte, Cyrillic included, is unchanged.
[[nodiscard]] std::string UpperStr(std::string_view s);
