#pragma once
// The standard message dialog, with our own template: the captions and button texts are the
// platform's Japanese ones whatever the system language, and Escape gives the cancel button's
// answer, which a Windows message box with Yes and No does not.

#include <initializer_list>
#include <string>

namespace platform {

enum class TMsgDlgType { mtInformation, mtError };
enum class TMsgDlgBtn { mbYes, mbNo, mbOK };

// Modal, centred on the screen. The first button is the default; Escape and the close box
// answer No when there is a No button, else OK.
TMsgDlgBtn MessageDlg(const std::string& text, TMsgDlgType type,
                      std::initializer_list<TMsgDlgBtn> buttons);

}  // namespace platform
