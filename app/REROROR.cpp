// Program start and end, in module order: the database module's default session (not started),
// the table password registry, the application object, the main window and its creation
// handler, the message loop. At the end the registry goes first, then the session closes and
// stops the engine, and the main window is destroyed last.
#include "AnsiText.h"
#include "Application.h"
#include "DozizUnit.h"
#include "Session.h"
#include "TablePasswordRegistry.h"

#include <windows.h>

#include <memory>
#include <string>

namespace {

// The current folder may be a download or a shared folder: no library is taken from it. The
// program's folder, the system folders and PATH still serve. Naming the program's folder (which
// is searched first anyway) takes the current folder's place on every system; an empty text
// does so on Windows only.
void KeepTheCurrentFolderOutOfTheLibrarySearch()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const auto separator = platform::LastDelimiter("\\:", folder);
    folder.resize(separator == std::string::npos ? 0 : separator);
    SetDllDirectoryA(folder.c_str());
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    KeepTheCurrentFolderOutOfTheLibrarySearch();

    // Declared in the reverse of the order in which they end.
    std::unique_ptr<TForm1> Form1;
    const platform::DatabaseModule database;
    const tablepass::TablePasswordRegistryModule registry;

    platform::TApplication& application = platform::Application();
    application.Initialize();
    try {
        Form1 = std::make_unique<TForm1>();
    } catch (const std::exception& error) {
        application.ShowException(error);
        return 0;
    }
    application.SetMainWindowHandle(Form1->Handle());
    application.Run();
    return 0;
}
