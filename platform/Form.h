#pragma once
// Forms built from a layout resource (RCDATA, UTF-8 text): one section per component, the form
// first, with its properties as key=value lines; event properties name handlers that the form
// class binds. A handler's failure goes to the application's error box: no exception crosses
// the window procedure.

#include "Handles.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using TNotifyEvent = std::function<void(void* sender)>;

class TButton {
public:
    HWND Handle() const noexcept { return handle_; }
    const std::string& Name() const noexcept { return name_; }

private:
    friend class TForm;
    std::string name_;
    std::map<std::string, std::string> properties_;
    TNotifyEvent onClick_;
    HWND handle_ = nullptr;
    int id_ = 0;
};

class TForm {
public:
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;
    virtual ~TForm();

    HWND Handle() const noexcept { return handle_; }
    void Show();
    void Hide();
    // Closing the main window ends the application.
    void Close();

protected:
    explicit TForm(std::string layoutName) : layoutName_(std::move(layoutName)) {}

    // Names a handler that the layout's event properties may refer to.
    void Bind(const std::string& handlerName, TNotifyEvent handler);
    // Loads the layout, runs the creation handler, then creates the window, still hidden.
    void Create();
    TButton* FindButton(const std::string& name) const;

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Dispatch(const TNotifyEvent& handler, void* sender);
    const TNotifyEvent& Handler(const std::string& property) const;
    void CreateWindowFromLayout();

    std::string layoutName_;
    std::map<std::string, std::string> properties_;
    std::vector<std::unique_ptr<TButton>> buttons_;
    std::map<std::string, TNotifyEvent> handlers_;
    Font font_;
    HWND handle_ = nullptr;
};

}  // namespace platform
