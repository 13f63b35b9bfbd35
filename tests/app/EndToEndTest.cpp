#include "DesktopFixture.h"
#include "EngineStandIn.h"
#include "ToolDriver.h"

#include <functional>

using testing_support::FileExists;
using testing_support::MakeFolder;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;
using testing_support::WriteShortcut;

namespace {

const char* const MainClass = "TForm1";
const char* const MainCaption = "Velmaris ファイルコピー";
const char* const DialogClass = "#32770";
const char* const Confirmation = "処理を開始します。よろしいですか?";
const char* const NoShortcut = "整備システムのショートカットをデスクトップ上に作成してください。";
const char* const Completion = "処理を完了しました。";
const std::string ListWithQav = "[PRG]\r\nName1=QAV.exe\r\n";

// How a person answers a dialog.
enum class Answer { Button, Enter, Escape, CloseBox };

void AnswerDialog(const ToolDriver& tool, HWND dialog, Answer answer, const char* button)
{
    switch (answer) {
    case Answer::Button:
        Press(ChildWithText(dialog, button));
        break;
    case Answer::Enter:
        PressKey(tool, dialog, VK_RETURN);
        break;
    case Answer::Escape:
        PressKey(tool, dialog, VK_ESCAPE);
        break;
    case Answer::CloseBox:
        CloseBox(dialog);
        break;
    }
}

class EndToEnd : public DesktopTest {
protected:
    // A program file "<folder>\<name>.EXE" with its INI naming `dataFolder` (none: no INI).
    static std::string Install(const std::string& folder, const std::string& name,
                               const std::string& dataFolder)
    {
        MakeFolder(folder);
        WriteBytes(folder + "\\" + name + ".EXE", "MZ program");
        if (!dataFolder.empty())
            WriteBytes(folder + "\\" + name + ".INI", "[PATH]\r\nDATA=" + dataFolder + "\r\n");
        return folder + "\\" + name + ".EXE";
    }

    // Shortcuts to the targets, in the desktop folder's listing order.
    static void ShortcutsInListingOrder(const std::string& desktop, int folderId,
                                        const std::vector<std::string>& targets)
    {
        for (std::size_t i = 0; i < targets.size(); ++i)
            WriteBytes(desktop + "s" + std::to_string(i) + ".lnk", "");
        const auto listing = Listing(folderId);
        ASSERT_EQ(listing.size(), targets.size());
        for (std::size_t i = 0; i < targets.size(); ++i)
            WriteShortcut(listing[i], targets[i]);
    }

    // Clicks 実行 and answers the confirmation with Yes.
    static void StartRun(const ToolDriver& tool)
    {
        const HWND main = tool.WaitForWindow(MainClass, MainCaption);
        ASSERT_TRUE(main);
        Press(ChildWithText(main, "実行"));
        const HWND confirmation = tool.WaitForWindow(DialogClass, "情報");
        ASSERT_TRUE(confirmation);
        ASSERT_EQ(StaticText(confirmation), Confirmation);
        EXPECT_TRUE(ShowsIcon(confirmation, IDI_ASTERISK));
        ExpectCentred(confirmation);
        Press(ChildWithText(confirmation, "はい(&Y)"));
        for (int i = 0; i < 100 && IsWindow(confirmation); ++i)
            Sleep(50);
        ASSERT_FALSE(IsWindow(confirmation));
    }

    // The completion notice, shown with the main window hidden; answering it ends the program.
    static void ExpectCompletion(const ToolDriver& tool, Answer answer = Answer::Button)
    {
        const HWND notice = tool.WaitForWindow(DialogClass, "情報");
        ASSERT_TRUE(notice);
        EXPECT_EQ(StaticText(notice), Completion);
        EXPECT_FALSE(tool.HasWindow(MainClass, MainCaption));
        AnswerDialog(tool, notice, answer, "OK");
        EXPECT_EQ(tool.WaitForExit(), 0u);
    }

    static void ExpectCentred(HWND window)
    {
        RECT frame;
        GetWindowRect(window, &frame);
        EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 2);
        EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 2);
    }

    static void ExpectDeployed(const std::string& dataFolder)
    {
        EXPECT_EQ(ReadBytes(dataFolder + "\\UpdatePrg\\QAV.exe"), ReadBytes(SamplePath()));
        EXPECT_EQ(ReadBytes(dataFolder + "\\UpdatePrg\\PrgInfo.ini"), ListWithQav);
        EXPECT_FALSE(FileExists(dataFolder + "\\QAVUP.EXE"));
    }

    // The dialog's icon as it stands on the screen, next to a system icon drawn on the same
    // background: icon handles are no use across processes.
    // It may take a moment to be painted: asked again for up to `patience` milliseconds.
    static bool ShowsIcon(HWND dialog, LPCSTR systemIcon, DWORD patience = 3000)
    {
        const DWORD start = GetTickCount();
        while (!ShowsIconNow(dialog, systemIcon)) {
            if (GetTickCount() - start >= patience)
                return false;
            Sleep(100);
        }
        return true;
    }

    static bool ShowsIconNow(HWND dialog, LPCSTR systemIcon)
    {
        HWND control = nullptr;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                control = child;
        if (!control)
            return false;
        RECT box;
        GetWindowRect(control, &box);
        const int size = GetSystemMetrics(SM_CXICON);
        const HDC screen = GetDC(nullptr);
        auto capture = [&](bool reference) {
            const HDC memory = CreateCompatibleDC(screen);
            const HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
            const HGDIOBJ previous = SelectObject(memory, bitmap);
            BitBlt(memory, 0, 0, size, size, screen, box.left, box.top, SRCCOPY);
            if (reference) {
                const HBRUSH background = CreateSolidBrush(GetPixel(memory, 0, 0));
                RECT all = {0, 0, size, size};
                FillRect(memory, &all, background);
                DeleteObject(background);
                DrawIconEx(memory, 0, 0, LoadIconA(nullptr, systemIcon), size, size, 0, nullptr,
                           DI_NORMAL);
            }
            std::string pixels;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    pixels += std::to_string(GetPixel(memory, x, y)) + ",";
            SelectObject(memory, previous);
            DeleteObject(bitmap);
            DeleteDC(memory);
            return pixels;
        };
        const bool same = capture(false) == capture(true);
        ReleaseDC(nullptr, screen);
        return same;
    }

    static std::string SamplePath() { return PathOnDriveZ(QAV_SAMPLE); }
};

}  // namespace

TEST_F(EndToEnd, MainWindowLayout)
{
    const ToolDriver tool;
    const HWND main = tool.WaitForWindow(MainClass, MainCaption);
    ASSERT_TRUE(main);
    RECT frame;
    GetWindowRect(main, &frame);
    EXPECT_EQ(frame.right - frame.left, 341);
    EXPECT_EQ(frame.bottom - frame.top, 191);
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - 341) / 2);
    EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - 191) / 2);
    const LONG style = GetWindowLongA(main, GWL_STYLE);
    for (LONG bit : {WS_THICKFRAME, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
        EXPECT_TRUE(style & bit) << std::hex << bit;

    const HWND button = ChildWithText(main, "実行");
    ASSERT_TRUE(button);
    EXPECT_EQ(ClassOf(button), "Button");
    const RECT bounds = ClientBounds(button);
    EXPECT_EQ(bounds.left, 104);
    EXPECT_EQ(bounds.top, 68);
    EXPECT_EQ(bounds.right - bounds.left, 110);
    EXPECT_EQ(bounds.bottom - bounds.top, 33);
    EXPECT_EQ(tool.FocusOf(main), button);

    CloseBox(main);
    EXPECT_EQ(tool.WaitForExit(), 0u);
}

TEST_F(EndToEnd, ConfirmationNotAnsweredYesChangesNothing)
{
    TempFolder programs;
    TempFolder data;
    ShortcutsInListingOrder(user_, CSIDL_DESKTOPDIRECTORY,
                            {Install(programs / "P", "QAVMN", data.Path())});
    const ToolDriver tool;
    const HWND main = tool.WaitForWindow(MainClass, MainCaption);
    ASSERT_TRUE(main);
    for (Answer answer : {Answer::Button, Answer::Escape, Answer::CloseBox}) {
        Press(ChildWithText(main, "実行"));
        const HWND confirmation = tool.WaitForWindow(DialogClass, "情報");
        ASSERT_TRUE(confirmation);
        EXPECT_TRUE(ChildWithText(confirmation, "いいえ(&N)"));
        AnswerDialog(tool, confirmation, answer, "いいえ(&N)");
        for (int i = 0; i < 40 && tool.HasWindow(DialogClass, "情報"); ++i)
            Sleep(50);
        EXPECT_FALSE(tool.HasWindow(DialogClass, "情報")) << int(answer);
        EXPECT_TRUE(tool.HasWindow(MainClass, MainCaption));
        EXPECT_FALSE(FileExists(data / "UpdatePrg")) << int(answer);
    }
    EXPECT_EQ(tool.WaitForExit(500), static_cast<DWORD>(STILL_ACTIVE));
    CloseBox(main);
    EXPECT_EQ(tool.WaitForExit(), 0u);
}

TEST_F(EndToEnd, NoShortcutAtAll)
{
    WriteBytes(user_ + "readme.txt", "no shortcut");
    const ToolDriver tool;
    StartRun(tool);
    const HWND error = tool.WaitForWindow(DialogClass, "エラー");
    ASSERT_TRUE(error);
    EXPECT_EQ(StaticText(error), NoShortcut);
    EXPECT_TRUE(ShowsIcon(error, IDI_HAND));
    ExpectCentred(error);
    Press(ChildWithText(error, "OK"));
    ExpectCompletion(tool);
}

TEST_F(EndToEnd, ShortcutsButNoneRecognised)
{
    TempFolder programs;
    TempFolder data;
    ShortcutsInListingOrder(user_, CSIDL_DESKTOPDIRECTORY,
                            {Install(programs / "P", "NOTEPAD", data.Path())});
    const ToolDriver tool;
    StartRun(tool);
    ExpectCompletion(tool);
    EXPECT_FALSE(FileExists(data / "UpdatePrg"));
}

TEST_F(EndToEnd, SharedDataFolderAndDuplicateTargets)
{
    TempFolder programs("整備ソ");
    TempFolder data("表");
    const std::string menu = Install(programs / "A", "QAVMAINTMENU", data.Path());
    const std::string sv = Install(programs / "B", "QAVSV", data.Path());
    std::string menuLower = menu;
    CharLowerBuffA(menuLower.data() + menuLower.size() - 16, 16);
    ShortcutsInListingOrder(user_, CSIDL_DESKTOPDIRECTORY, {menu, sv});
    ShortcutsInListingOrder(common_, CSIDL_COMMON_DESKTOPDIRECTORY, {menuLower});
    const ToolDriver tool;
    StartRun(tool);
    ExpectCompletion(tool, Answer::Enter);
    ExpectDeployed(data.Path());
}

TEST_F(EndToEnd, FailedDataFolderStopsTheRunAndLeavesTheWindowIdle)
{
    TempFolder programs;
    TempFolder good;
    TempFolder later;
    const std::string missing = good / "missing";
    // The user's desktop comes first, then the all-users desktop, each in listing order.
    ShortcutsInListingOrder(user_, CSIDL_DESKTOPDIRECTORY,
                            {Install(programs / "A", "QAVMN", good.Path())});
    ShortcutsInListingOrder(common_, CSIDL_COMMON_DESKTOPDIRECTORY,
                            {Install(programs / "B", "QAVRP", missing),
                             Install(programs / "C", "QAVDT", later.Path())});
    const ToolDriver tool;
    StartRun(tool);
    const HWND box = tool.WaitForWindow(DialogClass, "Reroror");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticText(box), "ファイル " + missing + "\\QAVUP.EXE を作成できません");
    EXPECT_TRUE(ShowsIcon(box, IDI_HAND));
    EXPECT_FALSE(ShowsIcon(box, IDI_ASTERISK, 0));
    ExpectDeployed(good.Path());
    EXPECT_FALSE(FileExists(later / "UpdatePrg"));
    Press(ChildWithText(box, "OK"));

    // Idle again: a new click starts from the confirmation.
    const HWND main = tool.WaitForWindow(MainClass, MainCaption);
    ASSERT_TRUE(main);
    Press(ChildWithText(main, "実行"));
    const HWND confirmation = tool.WaitForWindow(DialogClass, "情報");
    ASSERT_TRUE(confirmation);
    EXPECT_EQ(StaticText(confirmation), Confirmation);
    Press(ChildWithText(confirmation, "いいえ(&N)"));
    for (int i = 0; i < 40 && tool.HasWindow(DialogClass, "情報"); ++i)
        Sleep(50);
    CloseBox(main);
    EXPECT_EQ(tool.WaitForExit(), 0u);
}

TEST_F(EndToEnd, CompletionEndsTheProgramHoweverItIsDismissed)
{
    for (Answer answer : {Answer::Button, Answer::Enter, Answer::Escape, Answer::CloseBox}) {
        const ToolDriver tool;
        StartRun(tool);
        const HWND error = tool.WaitForWindow(DialogClass, "エラー");
        ASSERT_TRUE(error);
        Press(ChildWithText(error, "OK"));
        ExpectCompletion(tool, answer);
    }
}

namespace {

const char* const EngineMessage =
    "Borland Database Engine の初期化中にエラーが発生しました (エラー $ffff)";

}  // namespace

TEST_F(EndToEnd, WithoutTheEngineOneErrorBoxBeforeTheMainWindowThenTheRunWorks)
{
    const test_standin::EngineKey noEngine("");
    const test_standin::CallLog log;
    const ToolDriver tool;
    const HWND box = tool.WaitForWindow(DialogClass, "Reroror");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticText(box), EngineMessage);
    EXPECT_TRUE(ShowsIcon(box, IDI_HAND));
    EXPECT_FALSE(tool.HasWindow(MainClass, MainCaption));
    Press(ChildWithText(box, "OK"));

    const HWND main = tool.WaitForWindow(MainClass, MainCaption);
    ASSERT_TRUE(main);
    EXPECT_FALSE(tool.HasWindow(DialogClass, "Reroror"));
    StartRun(tool);
    const HWND error = tool.WaitForWindow(DialogClass, "エラー");
    ASSERT_TRUE(error);
    EXPECT_EQ(StaticText(error), NoShortcut);
    Press(ChildWithText(error, "OK"));
    ExpectCompletion(tool);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(EndToEnd, TheEngineGetsTheTablePasswordOnceAndStopsBeforeTheMainWindowGoes)
{
    const test_standin::EngineKey engine(test_standin::OnDriveZ(ENGINE_STANDIN_DIR));
    const test_standin::CallLog log;
    {
        const ToolDriver tool;
        const HWND main = tool.WaitForWindow(MainClass, MainCaption);
        ASSERT_TRUE(main);
        EXPECT_FALSE(tool.HasWindow(DialogClass, "Reroror"));
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{"DbiInit", "DbiAddPassword k3m8p2r7t4v9x5z"}));
        CloseBox(main);
        EXPECT_EQ(tool.WaitForExit(), 0u);
    }
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"DbiInit", "DbiAddPassword k3m8p2r7t4v9x5z",
                                                     "DbiExit, main window present"}));
}

TEST_F(EndToEnd, NoLibraryIsTakenFromTheCurrentFolder)
{
    // Started from a folder that holds an idapi32.dll, with no engine installed: the tool
    // must not load that one.
    const test_standin::EngineKey noEngine("");
    const test_standin::CallLog log;
    const ToolDriver tool(test_standin::OnDriveZ(ENGINE_STANDIN_DIR));
    const HWND box = tool.WaitForWindow(DialogClass, "Reroror");
    ASSERT_TRUE(box);
    EXPECT_EQ(StaticText(box), EngineMessage);
    Press(ChildWithText(box, "OK"));
    const HWND main = tool.WaitForWindow(MainClass, MainCaption);
    ASSERT_TRUE(main);
    CloseBox(main);
    EXPECT_EQ(tool.WaitForExit(), 0u);
    EXPECT_TRUE(log.Lines().empty());
}
