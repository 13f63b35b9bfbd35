#pragma once
// The table password registry: hands each table's passwords to the default database session
// once, remembering them by their checksum (never by their text), and brackets every
// registration under a table name with two calls of px3p.dll. Its lists live from the
// registry's start to its end, which the program's module order places around the
// application object and the main window.

#include "Errors.h"
#include "List.h"
#include "StringList.h"

#include <cstdint>
#include <string>

namespace tablepass {

// px3p.dll cannot be loaded, or lacks entry 1, 2 or 3.
class EPx3PUnavailable : public platform::Exception {
public:
    EPx3PUnavailable();
};

// Entry 1 of px3p.dll answered `result`, not 0.
class EPx3PFailure : public platform::Exception {
public:
    explicit EPx3PFailure(std::int32_t result);
    std::int32_t Result() const noexcept { return result_; }

private:
    std::int32_t result_;
};

// Owns the items put into it: destroying it frees them in index order, then empties itself.
// Its items must be platform::TObject instances.
class TPendingOrphans : public platform::TList {
public:
    ~TPendingOrphans() override;
};

// Table names are compared as exact bytes. The entry is made even for an empty password; an
// empty password goes no further. Under a non-empty table name px3p.dll is called with the name
// first, and with the empty text after the password has been handled, whatever that gave;
// the closing call's error wins over the session's.
void RegisterTablePassword(const std::string& tableName, const std::string& password);

// Loads px3p.dll with its entries 1, 2 and 3 once; a library found incomplete is released. A
// failed load is not remembered, so the next call tries again; a loaded library stays loaded.
bool LoadPx3P();

// Calls entry 1 of px3p.dll with the text (the empty text as a single NUL byte). Raises
// EPx3PUnavailable when the library cannot be used, EPx3PFailure when entry 1 answers non-zero.
void CallPx3P(const std::string& name);

// Module start and end. The start makes the table list with the empty name's entry and the
// pending orphans; the end frees the orphans, each password list in table order and the table
// list. Neither touches px3p.dll or the session.
void StartTablePasswordRegistry();
void EndTablePasswordRegistry() noexcept;

// The registry's lifetime as a scope of the program's module order.
class TablePasswordRegistryModule {
public:
    TablePasswordRegistryModule() { StartTablePasswordRegistry(); }
    TablePasswordRegistryModule(const TablePasswordRegistryModule&) = delete;
    TablePasswordRegistryModule& operator=(const TablePasswordRegistryModule&) = delete;
    ~TablePasswordRegistryModule() { EndTablePasswordRegistry(); }
};

// The table list as it stands, for inspection: each item's text is a table name, and its value
// the address of that table's password list, whose values are the password checksums.
const platform::TStringList& TableList();
const platform::TStringList& PasswordListOf(const platform::TStringList& tables, int index);
TPendingOrphans& PendingOrphans();

}  // namespace tablepass
