#include "Errors.h"

#include "AnsiText.h"

#include <utility>

namespace platform {

Exception::Exception(std::string message) : message_(std::move(message)) {}

const char* Exception::what() const noexcept
{
    return message_.c_str();
}

namespace {

std::string OleErrorText(HRESULT code)
{
    std::string text = SystemErrorText(static_cast<DWORD>(code));
    if (text.empty() && HRESULT_FACILITY(code) == FACILITY_WIN32)
        text = SystemErrorText(HRESULT_CODE(code));
    if (text.empty())
        text = Format("OLE エラー %.8lX", static_cast<unsigned long>(code));
    return text;
}

}  // namespace

EOleSysError::EOleSysError(HRESULT code) : Exception(OleErrorText(code)), code_(code) {}

EIntfCastError::EIntfCastError() : Exception("Interface はサポートされていません") {}

std::string SystemErrorText(DWORD code)
{
    char buffer[1024] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' ||
                          buffer[length - 1] == ' '))
        --length;
    return std::string(buffer, length);
}

void OleCheck(HRESULT result)
{
    if (FAILED(result))
        throw EOleSysError(result);
}

}  // namespace platform
