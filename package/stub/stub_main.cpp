// The extractor stub: the start of the update package, a Windows program with the archive
// appended. ` -n "<folder>"` unpacks into the folder without any window; without -n a small
// dialog offers the folder first. No C++ library and no C run-time: it must stay small, and
// it runs from folders that others can write to, so it loads nothing but system libraries.
#include <windows.h>

#include "exit_codes.h"
#include "extract.h"
#include "stub_resources.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

using stub::Exit;
using stub::kPathBytes;

constexpr const wchar_t* kCaption = L"QAV 自己展開";

// Systems without SetDefaultDllDirectories lack it in kernel32, so it is looked up; there the
// current folder at least leaves the search.
void restrict_library_search() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  const auto set_directory = reinterpret_cast<SetDllDirectoryFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (set_directory != nullptr) set_directory("");
}

struct Arguments {
  bool automatic = false;  // -n: unpack at once, show nothing
  char folder[kPathBytes] = {};
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// One argument of the command line into out, its quotes removed; the next one's start, or
// nullptr when it does not fit. A quote byte is never part of a double-byte character.
const char* next_argument(const char* p, char* out, size_t capacity, bool* quoted) {
  size_t n = 0;
  bool in_quotes = false;
  *quoted = false;
  while (*p != '\0' && (in_quotes || !is_blank(*p))) {
    if (*p == '"') {
      in_quotes = !in_quotes;
      *quoted = true;
      ++p;
      continue;
    }
    for (const char* next = CharNextA(p); p < next; ++p) {
      if (n + 1 >= capacity) return nullptr;
      out[n++] = *p;
    }
  }
  out[n] = '\0';
  return p;
}

// The program's own name: up to the closing quote, or to the first blank when unquoted.
const char* skip_program_name(const char* p) {
  if (*p == '"') {
    for (++p; *p != '\0' && *p != '"'; p = CharNextA(p)) {}
    return *p == '"' ? p + 1 : p;
  }
  while (*p != '\0' && !is_blank(*p)) p = CharNextA(p);
  return p;
}

// The tool starts us as `"<path>\QAVUP.EXE"  -n "<folder>"`: options, and the first argument
// that is no option names the folder. Read to the end even after a mistake, so that -n keeps
// every window away whatever comes before it.
Exit parse_arguments(const char* command_line, Arguments& arguments) {
  const char* p = skip_program_name(command_line);
  Exit result = stub::kDone;
  bool has_folder = false;
  for (;;) {
    while (is_blank(*p)) ++p;
    if (*p == '\0') break;
    char argument[kPathBytes];
    bool quoted = false;
    const char* next = next_argument(p, argument, kPathBytes, &quoted);
    if (next == nullptr) {
      result = stub::kUsage;
      while (*p != '\0' && !is_blank(*p)) ++p;
      continue;
    }
    p = next;
    if (!quoted && argument[0] == '-') {
      if ((argument[1] == 'n' || argument[1] == 'N') && argument[2] == '\0')
        arguments.automatic = true;
      else
        result = stub::kUsage;
    } else if (has_folder) {
      result = stub::kUsage;
    } else {
      has_folder = true;
      for (size_t i = 0; (arguments.folder[i] = argument[i]) != '\0'; ++i) {}
    }
  }
  if (arguments.automatic && arguments.folder[0] == '\0') result = stub::kUsage;
  return result;
}

// The folder this program lies in, for the dialog when no folder was given.
void own_folder(char* folder) {
  const DWORD size = GetModuleFileNameA(nullptr, folder, kPathBytes);
  if (size == 0 || size >= kPathBytes) {
    folder[0] = '\0';
    return;
  }
  char* last_separator = nullptr;
  for (char* p = folder; *p != '\0'; p = CharNextA(p))
    if (*p == '\\' || *p == '/') last_separator = p;
  if (last_separator != nullptr) *last_separator = '\0';
}

INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      SendDlgItemMessageA(dialog, IDC_FOLDER, EM_LIMITTEXT, kPathBytes - 1, 0);
      SetDlgItemTextA(dialog, IDC_FOLDER, reinterpret_cast<const char*>(lparam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        char* folder = reinterpret_cast<char*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (GetDlgItemTextA(dialog, IDC_FOLDER, folder, kPathBytes) == 0) {
          MessageBeep(MB_ICONWARNING);
          return TRUE;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

const wchar_t* message_for(Exit code) {
  switch (code) {
    case stub::kDone: return L"展開しました。";
    case stub::kUsage: return L"使い方: QAVUP.EXE [-n] [展開先のフォルダー]";
    case stub::kCannotReadPackage: return L"この書庫ファイルを読み込めません。";
    case stub::kDamaged: return L"書庫が壊れています。何も展開していません。";
    case stub::kUnsafeName: return L"展開先のフォルダーの外を指すファイル名があります。";
    case stub::kUnsupported: return L"対応していない圧縮方式の書庫です。";
    case stub::kCannotCreateFolder: return L"フォルダーを作成できません。";
    case stub::kCannotWrite: return L"ファイルを書き込めません。使用中かもしれません。元のファイルはそのままです。";
    case stub::kOutOfMemory: return L"メモリが足りません。";
    case stub::kCancelled: return L"";
  }
  return L"";
}

// The message, a blank line, and the ANSI path it concerns.
void show_result(Exit code, const char* path) {
  constexpr int kTextChars = 512;
  wchar_t text[kTextChars];
  int n = 0;
  for (const wchar_t* m = message_for(code); *m != L'\0' && n < kTextChars - 3; ++m) text[n++] = *m;
  if (path[0] != '\0') {
    text[n++] = L'\n';
    text[n++] = L'\n';
    const int converted = MultiByteToWideChar(CP_ACP, 0, path, -1, text + n, kTextChars - n);
    n = converted > 0 ? n + converted - 1 : n - 2;
  }
  text[n] = L'\0';
  MessageBoxW(nullptr, text, kCaption, MB_OK | (code == stub::kDone ? MB_ICONINFORMATION : MB_ICONERROR));
}

Exit run() {
  Arguments arguments;
  const Exit parsed = parse_arguments(GetCommandLineA(), arguments);
  char where[kPathBytes];
  if (arguments.automatic) {
    // Not a window, not even a message box from the system: the tool waits for us unseen.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return parsed != stub::kDone ? parsed : stub::extract_package(arguments.folder, where);
  }
  if (parsed != stub::kDone) {
    show_result(parsed, "");
    return parsed;
  }
  if (arguments.folder[0] == '\0') own_folder(arguments.folder);
  const INT_PTR choice = DialogBoxParamW(GetModuleHandleA(nullptr), MAKEINTRESOURCEW(IDD_EXTRACT), nullptr,
                                         dialog_procedure, reinterpret_cast<LPARAM>(arguments.folder));
  if (choice != IDOK) return stub::kCancelled;
  const Exit extracted = stub::extract_package(arguments.folder, where);
  show_result(extracted, where);
  return extracted;
}

}  // namespace

// The entry point in place of the C run-time's: nothing here needs it set up.
extern "C" [[noreturn]] void stub_entry() {
  restrict_library_search();
  ExitProcess(run());
}
