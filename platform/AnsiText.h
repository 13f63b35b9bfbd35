#pragma once
// Text in the system's ANSI code page, as bytes. On a double-byte code page (932) a "\" that is
// the trail byte of a character such as 表, ソ or 能 belongs to that character: every scan here
// walks characters, never bytes.

#include <string>
#include <string_view>

namespace platform {

bool IsLeadByte(char c);

// Position of the last character of `text` that is one of the single-byte `delimiters`, or npos.
std::string::size_type LastDelimiter(std::string_view delimiters, std::string_view text);

// Whether the character at `index` is a single-byte "\" (not the trail byte of a character).
bool IsSeparatorAt(std::string_view path, std::string::size_type index);
bool EndsInSeparator(std::string_view path);

// One "\" between folder and name, none when the folder already ends in a separator.
std::string JoinPath(std::string_view folder, std::string_view name);

// File-name comparison: the system's case rule for file names, then the user locale's
// comparison without flags.
std::string LowerFileName(std::string_view text);
bool SameFileName(std::string_view a, std::string_view b);

std::wstring AnsiToWide(std::string_view text);

// printf-style formatting of the system's messages.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
