#include "MessageDialog.h"

#include "Handles.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace platform {

namespace {

constexpr int ButtonIdBase = 100;
constexpr int TextId = 10;
constexpr int IconId = 11;

struct DialogState {
    const std::string* text;
    TMsgDlgType type;
    std::vector<TMsgDlgBtn> buttons;
    HFONT font;
};

const char* ButtonCaption(TMsgDlgBtn button)
{
    switch (button) {
    case TMsgDlgBtn::mbYes:
        return "はい(&Y)";
    case TMsgDlgBtn::mbNo:
        return "いいえ(&N)";
    case TMsgDlgBtn::mbOK:
        break;
    }
    return "OK";
}

TMsgDlgBtn CancelAnswer(const std::vector<TMsgDlgBtn>& buttons)
{
    for (TMsgDlgBtn button : buttons)
        if (button == TMsgDlgBtn::mbNo)
            return button;
    return TMsgDlgBtn::mbOK;
}

int Scaled(int pixels, HWND window)
{
    const HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return MulDiv(pixels, dpi, 96);
}

void Layout(HWND dialog, DialogState& state)
{
    const bool error = state.type == TMsgDlgType::mtError;
    SetWindowTextA(dialog, error ? "エラー" : "情報");
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    auto child = [&](const char* cls, const char* text, DWORD style, int id) {
        const HWND control = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                             0, dialog, reinterpret_cast<HMENU>(INT_PTR(id)),
                                             instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
        return control;
    };

    const int margin = Scaled(12, dialog);
    const int iconSize = GetSystemMetrics(SM_CXICON);
    const int buttonWidth = Scaled(88, dialog);
    const int buttonHeight = Scaled(26, dialog);
    const int gap = Scaled(8, dialog);

    RECT textBox = {0, 0, Scaled(420, dialog), 0};
    const HDC dc = GetDC(dialog);
    const HGDIOBJ previous = SelectObject(dc, state.font);
    DrawTextA(dc, state.text->c_str(), -1, &textBox, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(dialog, dc);

    const HWND icon = child("STATIC", nullptr, SS_ICON, IconId);
    SendMessageA(icon, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconA(nullptr, error ? IDI_ERROR : IDI_INFORMATION)),
                 0);
    SetWindowPos(icon, nullptr, margin, margin, iconSize, iconSize, SWP_NOZORDER);
    const int textLeft = margin + iconSize + margin;
    const int textTop = margin + (textBox.bottom < iconSize ? (iconSize - textBox.bottom) / 2 : 0);
    const HWND label = child("STATIC", state.text->c_str(), SS_LEFT | SS_NOPREFIX, TextId);
    SetWindowPos(label, nullptr, textLeft, textTop, textBox.right, textBox.bottom, SWP_NOZORDER);

    const int count = static_cast<int>(state.buttons.size());
    const int buttonsWidth = count * buttonWidth + (count - 1) * gap;
    const int contentWidth = std::max(textLeft + int(textBox.right), buttonsWidth) + margin;
    const int buttonsTop = margin + std::max(iconSize, int(textBox.bottom)) + margin;
    int left = (contentWidth - buttonsWidth) / 2;
    for (int i = 0; i < count; ++i) {
        const DWORD style = WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        const HWND button = child("BUTTON", ButtonCaption(state.buttons[i]), style, ButtonIdBase + i);
        SetWindowPos(button, nullptr, left, buttonsTop, buttonWidth, buttonHeight, SWP_NOZORDER);
        left += buttonWidth + gap;
    }

    RECT frame = {0, 0, contentWidth, buttonsTop + buttonHeight + margin};
    AdjustWindowRectEx(&frame, GetWindowLongA(dialog, GWL_STYLE), FALSE,
                       GetWindowLongA(dialog, GWL_EXSTYLE));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(dialog, HWND_TOP, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, 0);
    SetFocus(GetDlgItem(dialog, ButtonIdBase));
    SendMessageA(dialog, DM_SETDEFID, ButtonIdBase, 0);
    MessageBeep(error ? MB_ICONHAND : MB_ICONASTERISK);
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        Layout(dialog, *reinterpret_cast<DialogState*>(lParam));
        return FALSE;  // the focus is set
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDCANCEL) {
            EndDialog(dialog, static_cast<INT_PTR>(CancelAnswer(state->buttons)));
            return TRUE;
        }
        const int index = id - ButtonIdBase;
        if (index >= 0 && index < static_cast<int>(state->buttons.size())) {
            EndDialog(dialog, static_cast<INT_PTR>(state->buttons[static_cast<std::size_t>(index)]));
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE:
        EndDialog(dialog, static_cast<INT_PTR>(CancelAnswer(state->buttons)));
        return TRUE;
    }
    return FALSE;
}

// An empty dialog template: the controls are made to fit the text when it opens.
struct EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};

}  // namespace

TMsgDlgBtn MessageDlg(const std::string& text, TMsgDlgType type,
                      std::initializer_list<TMsgDlgBtn> buttons)
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const Font font(CreateFontIndirectA(&metrics.lfMessageFont));

    DialogState state{&text, type, std::vector<TMsgDlgBtn>(buttons), font.Get()};
    EmptyTemplate dialogTemplate = {};
    dialogTemplate.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    // The active window owns the dialog, so that it stays modal to it.
    const INT_PTR answer = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialogTemplate.header,
                                                   GetActiveWindow(), DialogProcedure,
                                                   reinterpret_cast<LPARAM>(&state));
    return answer < 0 ? CancelAnswer(state.buttons) : static_cast<TMsgDlgBtn>(answer);
}

}  // namespace platform
