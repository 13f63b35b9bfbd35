// Program start and end, in module order: the application object, the main window and its
// creation handler, the message loop; at the end the main window goes last.
#include "Application.h"
#include "DozizUnit.h"

#include <windows.h>

#include <memory>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The current folder may be a download or a shared folder: no library is taken from it.
    // The program's folder, the system folders and PATH still serve.
    SetDllDirectoryA("");

    std::unique_ptr<TForm1> Form1;

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
