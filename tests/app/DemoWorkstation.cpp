// The demo workstation: three installations in Japanese folders (one with "\" trail bytes in
// its name, two sharing a data folder), shortcuts on both desktops, one to a program that is
// not the maintenance system's, and files that are no shortcuts. Then, unless --setup-only,
// it runs REROROR.exe as a person would and saves screenshots (BMP) into the folder given;
// last it prints what the tool did (--report prints only that).
#include "Discovery.h"
#include "TestFiles.h"
#include "ToolDriver.h"

#include <shlobj.h>

#include <cstdio>
#include <vector>

using testing_support::FileExists;
using testing_support::MakeFolder;
using testing_support::ReadBytes;
using testing_support::WriteBytes;
using testing_support::WriteShortcut;

namespace {

const char* const Root = "C:\\整備システム";

struct Installation {
    std::string programFolder;
    std::string name;
    std::string dataFolder;  // empty: no INI, so <program folder>\DATA
};

const std::vector<Installation> Installations = {
    {"C:\\整備システム\\本社", "QAVMN", "C:\\整備システム\\共有データ"},
    {"C:\\整備システム\\表示ソフト", "QAVMAINTMENU", ""},
    {"C:\\整備システム\\支店", "QAVSV", "C:\\整備システム\\共有データ"},
};

void Setup()
{
    testing_support::RemoveTree(Root);
    MakeFolder(Root);
    for (const auto& installation : Installations) {
        MakeFolder(installation.programFolder);
        WriteBytes(installation.programFolder + "\\" + installation.name + ".EXE", "MZ");
        if (!installation.dataFolder.empty())
            WriteBytes(installation.programFolder + "\\" + installation.name + ".INI",
                       "[PATH]\r\nDATA=" + installation.dataFolder + "\r\n");
        MakeFolder(installation.dataFolder.empty() ? installation.programFolder + "\\DATA"
                                                   : installation.dataFolder);
    }
    const std::string user = GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
    const std::string common = GetSpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    WriteShortcut(user + "整備システム 本社.lnk", "C:\\整備システム\\本社\\QAVMN.EXE");
    WriteShortcut(user + "メモ帳.lnk", "C:\\windows\\notepad.exe");
    WriteBytes(user + "お知らせ.txt", "更新のお知らせ\r\n");
    WriteShortcut(common + "整備メニュー.lnk", "C:\\整備システム\\表示ソフト\\QAVMAINTMENU.EXE");
    WriteShortcut(common + "整備システム 支店.lnk", "C:\\整備システム\\支店\\QAVSV.EXE");
    WriteBytes(common + "desktop.ini", "[.ShellClassInfo]\r\n");
    SetFileAttributesA((common + "desktop.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

// The window as it stands on the screen, frame included, as a 24-bit BMP file.
void Screenshot(HWND window, const std::string& path)
{
    Sleep(500);  // let it paint
    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    GdiFlush();
    const DWORD rowBytes = static_cast<DWORD>((width * 3 + 3) & ~3);
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + rowBytes * static_cast<DWORD>(height);
    std::string file(reinterpret_cast<const char*>(&header), sizeof header);
    file.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    file.append(static_cast<const char*>(bits), rowBytes * static_cast<DWORD>(height));
    WriteBytes(path, file);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

bool Drive(const std::string& shots)
{
    const ToolDriver tool;
    // The demo workstation has no database engine: start-up says so in its error box first,
    // and the window then opens all the same.
    for (int i = 0; i < 150 && !tool.HasWindow("TForm1", "Velmaris ファイルコピー"); ++i) {
        if (const HWND box = tool.WaitForWindow("#32770", "Reroror", 0)) {
            std::printf("start-up error box: %s\n", StaticText(box).c_str());
            Press(ChildWithText(box, "OK"));
            while (IsWindow(box))
                Sleep(50);
        }
        Sleep(100);
    }
    const HWND main = tool.WaitForWindow("TForm1", "Velmaris ファイルコピー");
    if (!main)
        return false;
    Screenshot(main, shots + "\\main-window.bmp");
    Press(ChildWithText(main, "実行"));
    const HWND confirmation = tool.WaitForWindow("#32770", "情報");
    if (!confirmation)
        return false;
    Screenshot(confirmation, shots + "\\confirmation.bmp");
    Press(ChildWithText(confirmation, "はい(&Y)"));
    while (IsWindow(confirmation))
        Sleep(50);
    const HWND completion = tool.WaitForWindow("#32770", "情報", 60000);
    if (!completion)
        return false;
    Screenshot(completion, shots + "\\completion.bmp");
    Press(ChildWithText(completion, "OK"));
    const DWORD exitCode = tool.WaitForExit();
    std::printf("REROROR.exe ended with exit code %lu\n", static_cast<unsigned long>(exitCode));
    return exitCode == 0;
}

void Report()
{
    std::vector<std::string> shown;
    for (const auto& installation : Installations) {
        const std::string data = installation.dataFolder.empty()
                                     ? installation.programFolder + "\\DATA"
                                     : installation.dataFolder;
        std::printf("%s\\%s.EXE -> data folder %s\n", installation.programFolder.c_str(),
                    installation.name.c_str(), data.c_str());
        bool seen = false;
        for (const auto& s : shown)
            seen = seen || s == data;
        if (seen)
            continue;
        shown.push_back(data);
        std::printf("  QAVUP.EXE left behind: %s\n", FileExists(data + "\\QAVUP.EXE") ? "yes" : "no");
        const std::string qav = data + "\\UpdatePrg\\QAV.exe";
        if (FileExists(qav))
            std::printf("  UpdatePrg\\QAV.exe: %zu bytes\n", ReadBytes(qav).size());
        else
            std::printf("  UpdatePrg\\QAV.exe: missing\n");
        const std::string list = data + "\\UpdatePrg\\PrgInfo.ini";
        std::printf("  UpdatePrg\\PrgInfo.ini:\n%s\n",
                    FileExists(list) ? ReadBytes(list).c_str() : "  (missing)");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--report") {
        Report();
        return 0;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Setup();
    if (mode == "--setup-only")
        return 0;
    const bool ok = !mode.empty() && Drive(mode);
    Report();
    return ok ? 0 : 1;
}
