#include "Form.h"

#include "AnsiText.h"
#include "Application.h"
#include "Errors.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

constexpr int FirstButtonId = 100;

std::string Utf8ToAnsi(std::string_view utf8)
{
    const int size = static_cast<int>(utf8.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), wideLength);
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), length, nullptr, nullptr);
    return ansi;
}

struct Section {
    std::string name;
    std::map<std::string, std::string> properties;
};

std::vector<Section> ParseLayout(const std::string& text)
{
    std::vector<Section> sections;
    std::size_t at = 0;
    while (at < text.size()) {
        auto end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            sections.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const auto equals = line.find('=');
        if (sections.empty() || equals == std::string::npos)
            throw Exception(Format("レイアウトの行が不正です: %s", line.c_str()));
        sections.back().properties[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return sections;
}

std::string LoadLayout(const std::string& name)
{
    const HMODULE self = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(self, name.c_str(), RT_RCDATA);
    const HGLOBAL loaded = resource ? LoadResource(self, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        throw EResNotFound(Format("%s リソースが見つかりません", name.c_str()));
    return Utf8ToAnsi({static_cast<const char*>(bytes), SizeofResource(self, resource)});
}

const std::string& Property(const std::map<std::string, std::string>& properties,
                            const std::string& key)
{
    static const std::string none;
    const auto found = properties.find(key);
    return found == properties.end() ? none : found->second;
}

int Number(const std::map<std::string, std::string>& properties, const std::string& key)
{
    const std::string& text = Property(properties, key);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        throw Exception(Format("レイアウトの %s が数値ではありません", key.c_str()));
    return static_cast<int>(value);
}

// The layout is in pixels at 96 dots per inch.
int ScreenDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

DWORD FrameStyle(const std::map<std::string, std::string>& properties)
{
    DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
    if (Property(properties, "BorderStyle") == "Sizeable")
        style |= WS_THICKFRAME;
    const std::string icons = "," + Property(properties, "BorderIcons") + ",";
    if (icons.find(",SystemMenu,") != std::string::npos)
        style |= WS_SYSMENU;
    if (icons.find(",Minimize,") != std::string::npos)
        style |= WS_MINIMIZEBOX;
    if (icons.find(",Maximize,") != std::string::npos)
        style |= WS_MAXIMIZEBOX;
    return style;
}

}  // namespace

TForm::~TForm()
{
    if (handle_)
        DestroyWindow(handle_);
}

void TForm::Bind(const std::string& handlerName, TNotifyEvent handler)
{
    handlers_[handlerName] = std::move(handler);
}

const TNotifyEvent& TForm::Handler(const std::string& property) const
{
    static const TNotifyEvent none;
    if (property.empty())
        return none;
    const auto found = handlers_.find(property);
    if (found == handlers_.end())
        throw Exception(Format("ハンドラ %s がありません", property.c_str()));
    return found->second;
}

TButton* TForm::FindButton(const std::string& name) const
{
    for (const auto& button : buttons_)
        if (button->name_ == name)
            return button.get();
    throw Exception(Format("コンポーネント %s がありません", name.c_str()));
}

void TForm::Create()
{
    std::vector<Section> sections = ParseLayout(LoadLayout(layoutName_));
    if (sections.empty())
        throw Exception(Format("レイアウト %s が空です", layoutName_.c_str()));
    properties_ = std::move(sections[0].properties);
    for (std::size_t i = 1; i < sections.size(); ++i) {
        if (Property(sections[i].properties, "Class") != "TButton")
            throw Exception(Format("コンポーネント %s のクラスが不明です", sections[i].name.c_str()));
        auto button = std::make_unique<TButton>();
        button->name_ = sections[i].name;
        button->properties_ = std::move(sections[i].properties);
        button->id_ = FirstButtonId + static_cast<int>(i);
        button->onClick_ = Handler(Property(button->properties_, "OnClick"));
        buttons_.push_back(std::move(button));
    }
    Dispatch(Handler(Property(properties_, "OnCreate")), this);
    CreateWindowFromLayout();
}

void TForm::CreateWindowFromLayout()
{
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    const std::string& className = Property(properties_, "Class");
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Exception(SystemErrorText(GetLastError()));

    const int dpi = ScreenDpi();
    auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
    const int width = scaled(Number(properties_, "Width"));
    const int height = scaled(Number(properties_, "Height"));
    int left = CW_USEDEFAULT, top = CW_USEDEFAULT;
    if (Property(properties_, "Position") == "ScreenCenter") {
        left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    handle_ = CreateWindowExA(0, className.c_str(), Property(properties_, "Caption").c_str(),
                              FrameStyle(properties_), left, top, width, height, nullptr, nullptr,
                              instance, this);
    if (!handle_)
        throw Exception(SystemErrorText(GetLastError()));

    font_.Reset(CreateFontA(scaled(Number(properties_, "FontHeight")), 0, 0, 0, FW_NORMAL, FALSE,
                            FALSE, FALSE, static_cast<BYTE>(Number(properties_, "FontCharset")),
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH, Property(properties_, "FontName").c_str()));
    // Created in tab order, so that the first one takes the focus.
    std::vector<TButton*> ordered;
    for (const auto& button : buttons_)
        ordered.push_back(button.get());
    std::stable_sort(ordered.begin(), ordered.end(), [](TButton* a, TButton* b) {
        return Number(a->properties_, "TabOrder") < Number(b->properties_, "TabOrder");
    });
    for (TButton* button : ordered) {
        button->handle_ = CreateWindowExA(
            0, "BUTTON", Property(button->properties_, "Caption").c_str(),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
            scaled(Number(button->properties_, "Left")), scaled(Number(button->properties_, "Top")),
            scaled(Number(button->properties_, "Width")),
            scaled(Number(button->properties_, "Height")), handle_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(button->id_)), instance, nullptr);
        SendMessageA(button->handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    }
}

void TForm::Show()
{
    ShowWindow(handle_, SW_SHOW);
}

void TForm::Hide()
{
    ShowWindow(handle_, SW_HIDE);
}

void TForm::Close()
{
    if (handle_ == Application().MainWindowHandle())
        Application().Terminate();
    else
        Hide();
}

void TForm::Dispatch(const TNotifyEvent& handler, void* sender)
{
    try {
        if (handler)
            handler(sender);
    } catch (const std::exception& error) {
        Application().ShowException(error);
    }
}

LRESULT CALLBACK TForm::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->handle_ = window;
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return form ? form->HandleMessage(message, wParam, lParam)
                : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            for (const auto& button : buttons_)
                if (button->id_ == LOWORD(wParam))
                    Dispatch(button->onClick_, button.get());
            return 0;
        }
        break;
    case WM_SETFOCUS: {
        const HWND first = GetNextDlgTabItem(handle_, nullptr, FALSE);
        if (first)
            SetFocus(first);
        return 0;
    }
    case WM_CLOSE:
        Dispatch([this](void*) { Close(); }, this);
        return 0;
    }
    return DefWindowProcA(handle_, message, wParam, lParam);
}

}  // namespace platform
