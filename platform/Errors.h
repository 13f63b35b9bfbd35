#pragma once
// Failures are exceptions whose message is the text shown to the user, in the ANSI code page.

#include <windows.h>

#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
public:
    explicit Exception(std::string message);
    const char* what() const noexcept override;
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// A COM call that failed: the HRESULT and the system's text for it.
class EOleSysError : public Exception {
public:
    explicit EOleSysError(HRESULT code);
    HRESULT ErrorCode() const noexcept { return code_; }

private:
    HRESULT code_;
};

// An object that does not offer an interface it was asked for.
class EIntfCastError : public Exception {
public:
    EIntfCastError();
};

class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class EResNotFound : public Exception {
public:
    using Exception::Exception;
};

class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

class EWriteError : public Exception {
public:
    using Exception::Exception;
};

// The system's message for an error code, without the final line break; empty when it has none.
std::string SystemErrorText(DWORD code);

// Raises EOleSysError when `result` is a failure code.
void OleCheck(HRESULT result);

}  // namespace platform
