#include "Session.h"

#include "AnsiText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace platform {

namespace {

// idapi32.dll's entries, declared here from their use: undecorated names, __stdcall.
using DbiInitEntry = DBIResult(WINAPI*)(void* environment);
using DbiAddPasswordEntry = DBIResult(WINAPI*)(char* password);
using DbiExitEntry = DBIResult(WINAPI*)();

// An entry found by GetProcAddress, as the type it was declared with.
template <typename Entry>
Entry EntryOf(HMODULE library, const char* name)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

std::string StartupMessage(DBIResult code)
{
    return Format("Borland Database Engine の初期化中にエラーが発生しました (エラー $%.4x)",
                  static_cast<unsigned>(code));
}

std::string EngineFolders()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EngineKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    char value[2048] = {};
    DWORD type = 0;
    DWORD size = sizeof value - 1;
    const LONG result = RegQueryValueExA(key, EngineDllPathValue, nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    if (type == REG_EXPAND_SZ) {
        char expanded[2048] = {};
        if (ExpandEnvironmentStringsA(value, expanded, sizeof expanded) == 0)
            return {};
        return expanded;
    }
    return value;
}

// The value may list several folders, separated by ";".
HMODULE LoadEngineLibrary()
{
    const std::string folders = EngineFolders();
    std::size_t at = 0;
    while (at < folders.size()) {
        std::size_t end = folders.find(';', at);
        if (end == std::string::npos)
            end = folders.size();
        const std::string_view folder(folders.data() + at, end - at);
        at = end + 1;
        if (folder.empty())
            continue;
        // The engine's own libraries lie beside it.
        const HMODULE library = LoadLibraryExA(JoinPath(folder, "idapi32.dll").c_str(), nullptr,
                                               LOAD_WITH_ALTERED_SEARCH_PATH);
        if (library)
            return library;
    }
    return LoadLibraryA("idapi32.dll");
}

}  // namespace

struct TSession::Engine {
    HMODULE library;
    DbiAddPasswordEntry addPassword;
    DbiExitEntry exit;
};

EDBEngineError::EDBEngineError(std::string message, DBIResult code)
    : Exception(std::move(message)), code_(code)
{
}

TSession::TSession(std::string name) : name_(std::move(name)) {}

TSession::~TSession()
{
    Close();
}

bool TSession::Active() const
{
    const std::lock_guard<std::mutex> hold(lock_);
    return engine_ != nullptr;
}

void TSession::Open()
{
    const std::lock_guard<std::mutex> hold(lock_);
    OpenLocked();
}

void TSession::OpenLocked()
{
    if (engine_)
        return;
    const HMODULE library = LoadEngineLibrary();
    if (!library)
        throw EDBEngineError(StartupMessage(EngineLibraryMissing), EngineLibraryMissing);
    const auto init = EntryOf<DbiInitEntry>(library, "DbiInit");
    const auto addPassword = EntryOf<DbiAddPasswordEntry>(library, "DbiAddPassword");
    const auto exit = EntryOf<DbiExitEntry>(library, "DbiExit");
    if (!init || !addPassword || !exit) {
        FreeLibrary(library);
        throw EDBEngineError(StartupMessage(EngineLibraryMissing), EngineLibraryMissing);
    }
    const DBIResult result = init(nullptr);
    if (result != 0) {
        // Nothing was started: the next use tries again from the start.
        FreeLibrary(library);
        throw EDBEngineError(StartupMessage(result), result);
    }
    engine_.reset(new Engine{library, addPassword, exit});
}

void TSession::Close() noexcept
{
    const std::lock_guard<std::mutex> hold(lock_);
    if (!engine_)
        return;
    engine_->exit();
    FreeLibrary(engine_->library);
    engine_.reset();
}

void TSession::AddPassword(const std::string& password)
{
    const std::lock_guard<std::mutex> hold(lock_);
    OpenLocked();
    char buffer[MaxEnginePasswordBytes + 1] = {};
    std::memcpy(buffer, password.data(), std::min(password.size(), MaxEnginePasswordBytes));
    const DBIResult result = engine_->addPassword(buffer);
    if (result != 0)
        throw EDBEngineError(Format("Borland Database Engine エラー $%.4x", static_cast<unsigned>(result)),
                             result);
}

TSession& Session()
{
    static TSession session("Default");
    return session;
}

DatabaseModule::DatabaseModule()
{
    Session();
}

DatabaseModule::~DatabaseModule()
{
    Session().Close();
}

}  // namespace platform
