// Resource ids shared by the stub's code and its .rc file.
#pragma once

#define IDD_EXTRACT 100
#define IDC_FOLDER 101
