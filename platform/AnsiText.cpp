#include "AnsiText.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace platform {

bool IsLeadByte(char c)
{
    return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
}

namespace {

// Calls `visit(index)` for the first byte of each character; stops when it returns false.
template <typename Visit>
void ForEachCharacter(std::string_view text, Visit visit)
{
    for (std::string::size_type i = 0; i < text.size();) {
        if (!visit(i))
            return;
        i += (IsLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
    }
}

}  // namespace

std::string::size_type LastDelimiter(std::string_view delimiters, std::string_view text)
{
    auto found = std::string::npos;
    ForEachCharacter(text, [&](std::string::size_type i) {
        if (!IsLeadByte(text[i]) && delimiters.find(text[i]) != std::string_view::npos)
            found = i;
        return true;
    });
    return found;
}

bool IsSeparatorAt(std::string_view path, std::string::size_type index)
{
    bool separator = false;
    ForEachCharacter(path, [&](std::string::size_type i) {
        if (i == index)
            separator = path[i] == '\\';
        return i < index;
    });
    return separator;
}

bool EndsInSeparator(std::string_view path)
{
    return !path.empty() && IsSeparatorAt(path, path.size() - 1);
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!EndsInSeparator(folder))
        path += '\\';
    path += name;
    return path;
}

std::string LowerFileName(std::string_view text)
{
    std::string lower(text);
    if (GetSystemMetrics(SM_DBCSENABLED)) {
        // Only the single-byte letters: the system's lower-casing would touch double-byte
        // characters.
        ForEachCharacter(lower, [&](std::string::size_type i) {
            if (lower[i] >= 'A' && lower[i] <= 'Z')
                lower[i] = static_cast<char>(lower[i] - 'A' + 'a');
            return true;
        });
    } else if (!lower.empty()) {
        CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
    }
    return lower;
}

bool SameFileName(std::string_view a, std::string_view b)
{
    const std::string lowerA = LowerFileName(a);
    const std::string lowerB = LowerFileName(b);
    return CompareStringA(LOCALE_USER_DEFAULT, 0, lowerA.data(), static_cast<int>(lowerA.size()),
                          lowerB.data(), static_cast<int>(lowerB.size())) == CSTR_EQUAL;
}

std::wstring AnsiToWide(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

}  // namespace platform
