#pragma once
// The main window and the update run behind its one button.

#include "Form.h"

class TForm1 : public platform::TForm {
public:
    TForm1();

    platform::TButton* Button1;

    void FormCreate(void* sender);
    void Button1Click(void* sender);
};
