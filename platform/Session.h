#pragma once
// The database session over the Borland Database Engine's own library, idapi32.dll. The
// session starts the engine on its first use and stops it when it closes; the program closes
// the default session at shutdown, after the table password registry has ended and before the
// main window is destroyed.

#include "Errors.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

// The engine's result code; 0 means success.
using DBIResult = std::uint16_t;

// The code of the start-up error when idapi32.dll cannot be loaded, or lacks DbiInit,
// DbiAddPassword or DbiExit: the engine has given no code of its own then. The engine's own
// codes are category and sub-code bytes, and no category is 0xFF.
constexpr DBIResult EngineLibraryMissing = 0xFFFF;

// The longest password, in bytes, that the engine takes; a longer one is cut.
constexpr std::size_t MaxEnginePasswordBytes = 255;

// Where the engine's installation records the folder of its library.
constexpr const char* EngineKeyPath = "SOFTWARE\\Borland\\Database Engine";
constexpr const char* EngineDllPathValue = "DLLPATH";

// A failure of the engine, or of starting it, with the engine's code.
class EDBEngineError : public Exception {
public:
    EDBEngineError(std::string message, DBIResult code);
    DBIResult ErrorCode() const noexcept { return code_; }

private:
    DBIResult code_;
};

class TSession {
public:
    explicit TSession(std::string name);
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;
    ~TSession();

    const std::string& SessionName() const noexcept { return name_; }
    bool Active() const;

    // Starts the engine: loads idapi32.dll (the folder of the engine's DLLPATH value, else the
    // system's search order) and calls DbiInit with no environment. Raises EDBEngineError with
    // "Borland Database Engine の初期化中にエラーが発生しました (エラー $xxxx)".
    void Open();
    // Stops the engine (DbiExit) if it was started, and releases its library.
    void Close() noexcept;

    // Opens the session when it is not active, then hands the password (ANSI code page bytes,
    // at most MaxEnginePasswordBytes) to the engine. A refusal raises EDBEngineError.
    void AddPassword(const std::string& password);

private:
    struct Engine;
    void OpenLocked();

    std::string name_;
    mutable std::mutex lock_;
    std::unique_ptr<Engine> engine_;
};

// The default session, named "Default". It exists from its first use, not started.
TSession& Session();

// The database module's lifetime: the default session exists from its start; its end closes
// the session, which stops the engine.
class DatabaseModule {
public:
    DatabaseModule();
    DatabaseModule(const DatabaseModule&) = delete;
    DatabaseModule& operator=(const DatabaseModule&) = delete;
    ~DatabaseModule();
};

}  // namespace platform
