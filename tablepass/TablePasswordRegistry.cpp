#include "TablePasswordRegistry.h"

#include "AnsiText.h"
#include "PasswordChecksum.h"
#include "Session.h"

#include <windows.h>

#include <exception>
#include <memory>

namespace tablepass {

namespace {

using Px3PEntry = std::int32_t(__stdcall*)(const char* name);

// The registry's module state, from its start to its end.
platform::TStringList* tableList = nullptr;
TPendingOrphans* pendingOrphans = nullptr;

// px3p.dll once loaded; never released after a complete load.
HMODULE px3pLibrary = nullptr;
FARPROC px3pEntries[3] = {};

platform::TStringList* PasswordList(int tableIndex)
{
    return reinterpret_cast<platform::TStringList*>(tableList->Value(tableIndex));
}

platform::TStringList& Tables()
{
    if (!tableList)
        throw platform::Exception("テーブル パスワードの登録が開始されていません");
    return *tableList;
}

// Exact bytes: the string list's own find compares without case.
int FindTable(const platform::TStringList& tables, const std::string& tableName)
{
    for (int i = 0; i < tables.Count(); ++i)
        if (tables[i] == tableName)
            return i;
    return -1;
}

int AddTable(platform::TStringList& tables, const std::string& tableName)
{
    auto passwords = std::make_unique<platform::TStringList>();
    const int index = tables.Add(tableName, reinterpret_cast<std::uintptr_t>(passwords.get()));
    passwords.release();
    return index;
}

}  // namespace

EPx3PUnavailable::EPx3PUnavailable() : Exception("px3p.dll を使用できません") {}

EPx3PFailure::EPx3PFailure(std::int32_t result)
    : Exception(platform::Format("px3p.dll がエラー %d を返しました", static_cast<int>(result))),
      result_(result)
{
}

TPendingOrphans::~TPendingOrphans()
{
    for (int i = 0; i < Count(); ++i)
        delete static_cast<platform::TObject*>(Items(i));
    Clear();
}

void RegisterTablePassword(const std::string& tableName, const std::string& password)
{
    platform::TStringList& tables = Tables();
    int table = FindTable(tables, tableName);
    if (table < 0)
        table = AddTable(tables, tableName);
    if (password.empty())
        return;

    const bool bracketed = !tableName.empty();
    if (bracketed)
        CallPx3P(tableName);

    std::exception_ptr failure;
    try {
        const std::uint32_t checksum = ComputePasswordChecksum(password);
        platform::TStringList& passwords = *PasswordList(table);
        if (passwords.IndexOfValue(checksum) < 0) {
            platform::Session().AddPassword(password);
            // Remembered only once the session has taken it, so a refused one is tried again.
            passwords.Add(password, checksum);
        }
    } catch (...) {
        if (!bracketed)
            throw;
        failure = std::current_exception();
    }
    if (bracketed)
        CallPx3P("");
    if (failure)
        std::rethrow_exception(failure);
}

bool LoadPx3P()
{
    if (px3pLibrary)
        return true;
    const HMODULE library = LoadLibraryA("px3p.dll");
    if (!library)
        return false;
    for (int ordinal = 1; ordinal <= 3; ++ordinal)
        px3pEntries[ordinal - 1] = GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
    if (!px3pEntries[0] || !px3pEntries[1] || !px3pEntries[2]) {
        for (FARPROC& entry : px3pEntries)
            entry = nullptr;
        FreeLibrary(library);
        return false;
    }
    px3pLibrary = library;
    return true;
}

void CallPx3P(const std::string& name)
{
    if (!LoadPx3P())
        throw EPx3PUnavailable();
    const auto entry = reinterpret_cast<Px3PEntry>(reinterpret_cast<void (*)()>(px3pEntries[0]));
    const std::int32_t result = entry(name.c_str());
    if (result != 0)
        throw EPx3PFailure(result);
}

void StartTablePasswordRegistry()
{
    auto tables = std::make_unique<platform::TStringList>();
    AddTable(*tables, "");
    auto orphans = std::make_unique<TPendingOrphans>();
    EndTablePasswordRegistry();
    tableList = tables.release();
    pendingOrphans = orphans.release();
}

void EndTablePasswordRegistry() noexcept
{
    delete pendingOrphans;
    pendingOrphans = nullptr;
    if (!tableList)
        return;
    for (int i = 0; i < tableList->Count(); ++i)
        delete PasswordList(i);
    delete tableList;
    tableList = nullptr;
}

const platform::TStringList& TableList()
{
    return Tables();
}

const platform::TStringList& PasswordListOf(const platform::TStringList& tables, int index)
{
    return *reinterpret_cast<const platform::TStringList*>(tables.Value(index));
}

TPendingOrphans& PendingOrphans()
{
    if (!pendingOrphans)
        throw platform::Exception("テーブル パスワードの登録が開始されていません");
    return *pendingOrphans;
}

}  // namespace tablepass
