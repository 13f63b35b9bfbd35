// The extractor stub as the tool starts it: `"<data folder>\QAVUP.EXE"  -n "<folder>"`, a
// real process under Wine, its exit code, and what it leaves on disk. Packages are the stub's
// bytes followed by an archive: one packed at build time from a 2 MB Windows executable, the
// corpus archives of other LHA tools, and archives written here with unsafe names.
#include "TestFiles.h"
#include "crc16.h"
#include "exit_codes.h"
#include "stub_resources.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using testing_support::FileExists;
using testing_support::MakeFolder;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

// Build-tree files, seen from Wine through its drive for the Unix root.
std::string HostPath(const char* unixPath)
{
    std::string path = "Z:";
    for (const char* p = unixPath; *p != '\0'; ++p)
        path += *p == '/' ? '\\' : *p;
    return path;
}

const std::string kStub = HostPath(STUB_EXE);
const std::string kPackage = HostPath(STUB_PACKAGE);
const std::string kPackedProgram = HostPath(PACKED_PROGRAM);
const std::string kCorpus = HostPath(LZH_CORPUS_DIR);
const std::string kGpl2 = HostPath("/usr/share/common-licenses/GPL-2");

// The folder chain of the tool's command line; 表 ends in a "\" byte in code page 932.
const std::string kChain[] = {"深い", "新しい", "表示", "UpdatePrg"};

constexpr DWORD kStubTimeoutMs = 60000;

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

struct Process {
    HANDLE process = nullptr;
    DWORD id = 0;
};

// Started like the tool starts the package: the quoted path, then the parameter text.
Process Start(const std::string& program, const std::string& parameters)
{
    std::string commandLine = "\"" + program + "\"" + parameters;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << "CreateProcessA " << commandLine << " failed, error " << GetLastError();
        return {};
    }
    CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

// The exit code; a stub that shows a window never ends by itself, and fails here.
DWORD Finish(const Process& started)
{
    if (started.process == nullptr)
        return 0xFFFFFFFF;
    if (WaitForSingleObject(started.process, kStubTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(started.process, 0xDEAD);
        WaitForSingleObject(started.process, INFINITE);
        ADD_FAILURE() << "the stub did not end by itself (a window waiting?)";
    }
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(started.process, &code);
    CloseHandle(started.process);
    return code;
}

DWORD RunStub(const std::string& program, const std::string& parameters)
{
    return Finish(Start(program, parameters));
}

std::string ToolParameters(const std::string& folder)
{
    return "  -n \"" + folder + "\"";
}

// A data folder with a package in it, as the tool leaves it before it starts the package.
class DataFolder {
public:
    explicit DataFolder(const std::string& package) : package_(folder_ / "QAVUP.EXE")
    {
        WriteBytes(package_, package);
    }
    const std::string& Path() const { return folder_.Path(); }
    const std::string& Package() const { return package_; }
    // <data folder>\深い\新しい\表示\UpdatePrg
    std::string Target(size_t depth = 4) const
    {
        std::string path = folder_.Path();
        for (size_t i = 0; i < depth; ++i)
            path += "\\" + kChain[i];
        return path;
    }
    // The target with an old QAV.exe in it.
    std::string TargetWithOldProgram(const std::string& content) const
    {
        for (size_t depth = 1; depth <= 4; ++depth)
            MakeFolder(Target(depth));
        WriteBytes(Target() + "\\QAV.exe", content);
        return Target();
    }
    DWORD RunAsTheToolDoes() const { return RunStub(package_, ToolParameters(Target())); }

private:
    TempFolder folder_;
    std::string package_;
};

std::string StubBytes() { return ReadBytes(kStub); }

// A level 0 member, stored, with the name exactly as given.
std::string StoredMember(const std::string& name, const std::string& data)
{
    std::string header(22, '\0');
    header.replace(2, 5, std::string("-lh") + "0-");
    const auto put32 = [&header](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<char>(value >> (8 * i));
    };
    put32(7, static_cast<uint32_t>(data.size()));
    put32(11, static_cast<uint32_t>(data.size()));
    put32(15, 0x5A210000);  // a DOS time stamp in 2025
    header[19] = 0x20;
    header[20] = 0;
    header[21] = static_cast<char>(name.size());
    header += name;
    const uint16_t crc =
        lzh::crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
    header += static_cast<char>(crc & 0xFF);
    header += static_cast<char>(crc >> 8);
    header[0] = static_cast<char>(header.size() - 2);
    unsigned sum = 0;
    for (size_t i = 2; i < header.size(); ++i)
        sum += static_cast<unsigned char>(header[i]);
    header[1] = static_cast<char>(sum);
    return header + data;
}

const std::string kEndMark(1, '\0');

TEST(DbcsStubPaths, CreatesTheFolderChainAndUnpacksByteForByte)
{
    const DataFolder data(ReadBytes(kPackage));
    ASSERT_FALSE(FileExists(data.Target(1)));
    EXPECT_EQ(data.RunAsTheToolDoes(), stub::kDone);
    EXPECT_TRUE(ReadBytes(data.Target() + "\\QAV.exe") == ReadBytes(kPackedProgram));
    // Each folder of the chain, and no folder cut at the "\" inside 表.
    EXPECT_EQ(Entries(data.Path()), (std::vector<std::string>{"QAVUP.EXE", kChain[0]}));
    for (size_t depth = 1; depth < 4; ++depth)
        EXPECT_EQ(Entries(data.Target(depth)), std::vector<std::string>{kChain[depth]});
    EXPECT_EQ(Entries(data.Target()), std::vector<std::string>{"QAV.exe"});
}

// A target whose last byte is the "\" of ソ or 表 ends in no separator.
TEST(DbcsStubPaths, TargetEndingInATrailByte)
{
    const DataFolder data(ReadBytes(kPackage));
    const std::string target = data.Path() + "\\ソ\\表";
    EXPECT_EQ(RunStub(data.Package(), ToolParameters(target)), stub::kDone);
    EXPECT_TRUE(ReadBytes(target + "\\QAV.exe") == ReadBytes(kPackedProgram));
    EXPECT_EQ(Entries(data.Path() + "\\ソ"), std::vector<std::string>{"表"});
    EXPECT_EQ(Entries(target), std::vector<std::string>{"QAV.exe"});
}

TEST(DbcsStubPaths, ReplacesAnOldProgram)
{
    const DataFolder data(ReadBytes(kPackage));
    data.TargetWithOldProgram("the old QAV.exe");
    EXPECT_EQ(data.RunAsTheToolDoes(), stub::kDone);
    EXPECT_TRUE(ReadBytes(data.Target() + "\\QAV.exe") == ReadBytes(kPackedProgram));
    EXPECT_EQ(Entries(data.Target()), std::vector<std::string>{"QAV.exe"});
}

TEST(DbcsStubPaths, TargetInUseFailsAndKeepsTheOldProgram)
{
    const DataFolder data(ReadBytes(kPackage));
    const std::string program = data.TargetWithOldProgram("the old QAV.exe") + "\\QAV.exe";
    const HANDLE held = CreateFileA(program.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(data.RunAsTheToolDoes(), stub::kCannotWrite);
    CloseHandle(held);
    EXPECT_TRUE(ReadBytes(program) == "the old QAV.exe");
    EXPECT_EQ(Entries(data.Target()), std::vector<std::string>{"QAV.exe"}) << "a temporary file stayed";
}

struct Damage {
    const char* what;
    // The package's bytes from the stub's and the archive's.
    std::string (*make)(const std::string& stub, const std::string& archive);
};

const Damage kDamages[] = {
    {"a flipped byte in the data",
     [](const std::string& s, const std::string& a) {
         std::string p = s + a;
         p[s.size() + a.size() / 2] ^= 0x5A;
         return p;
     }},
    {"a flipped byte near the end of the data",
     [](const std::string& s, const std::string& a) {
         std::string p = s + a;
         p[p.size() - 1000] ^= 0x01;
         return p;
     }},
    {"a flipped byte in the header's original size",
     [](const std::string& s, const std::string& a) {
         std::string p = s + a;
         p[s.size() + 11] ^= 0x01;
         return p;
     }},
    {"truncated in the data",
     [](const std::string& s, const std::string& a) { return s + a.substr(0, a.size() / 2); }},
    {"truncated in the header",
     [](const std::string& s, const std::string& a) { return s + a.substr(0, 10); }},
    {"without its end mark",
     [](const std::string& s, const std::string& a) { return s + a.substr(0, a.size() - 1); }},
    {"without any archive", [](const std::string& s, const std::string&) { return s; }},
};

TEST(DbcsStubPaths, DamagedPackageFailsAndKeepsTheOldProgram)
{
    const std::string stub = StubBytes();
    const std::string package = ReadBytes(kPackage);
    ASSERT_GT(package.size(), stub.size());
    ASSERT_EQ(package.compare(0, stub.size(), stub), 0) << "the package starts with another stub";
    const std::string archive = package.substr(stub.size());
    for (const Damage& damage : kDamages) {
        SCOPED_TRACE(damage.what);
        const DataFolder data(damage.make(stub, archive));
        data.TargetWithOldProgram("the old QAV.exe");
        EXPECT_EQ(data.RunAsTheToolDoes(), stub::kDamaged);
        EXPECT_TRUE(ReadBytes(data.Target() + "\\QAV.exe") == "the old QAV.exe");
        EXPECT_EQ(Entries(data.Target()), std::vector<std::string>{"QAV.exe"});
    }
}

struct CommandLine {
    const char* what;
    std::string parameters;  // %s: the target folder
};

TEST(DbcsStubPaths, CommandLineMistakesFailWithoutAWindow)
{
    const CommandLine cases[] = {
        {"-n without a folder", "  -n"},
        {"-n with an empty folder", "  -n \"\""},
        {"two folders", "  -n \"%s\" \"%s\\other\""},
        {"an unknown option after -n", "  -n -x \"%s\""},
        {"an unknown option before -n", "  -x -n \"%s\""},
    };
    for (const CommandLine& row : cases) {
        SCOPED_TRACE(row.what);
        const DataFolder data(ReadBytes(kPackage));
        std::string parameters = row.parameters;
        for (size_t at; (at = parameters.find("%s")) != std::string::npos;)
            parameters.replace(at, 2, data.Target());
        EXPECT_EQ(RunStub(data.Package(), parameters), stub::kUsage);
        EXPECT_FALSE(FileExists(data.Target(1)));
    }
}

struct Corpus {
    const char* archive;
    const char* member;  // below the target
    const char* content; // a file of the host, or the text itself when it starts with '='
};

// Archives of other LHA tools: every method and header level, folder entries, a folder
// entry after its file, names with a leading separator.
TEST(DbcsStubPaths, UnpacksArchivesOfOtherTools)
{
    const Corpus cases[] = {
        {"lha_unix114i\\h2_lh5.lzh", "gpl-2", nullptr},
        {"lha_unix114i\\h0_lh6.lzh", "gpl-2", nullptr},
        {"explzh_723\\h1_lh7.lzh", "gpl-2", nullptr},
        {"lhmelt_16536\\h2_lh5.lzh", "gpl-2", nullptr},
        {"tascal_lha_051h\\lh5.lzh", "Mounted Volume\\gpl-2", nullptr},
        {"explzh_723\\h2_subdir.lzh", "subdir\\subdir2\\hello.txt", "=hello world\n"},
        {"lha_unix114i\\h1_subdir.lzh", "subdir\\subdir2\\hello.txt", "=hello world\n"},
        {"lhmelt_16536\\h0_subdir.lzh", "subdir\\subdir2\\hello.txt", "=hello world\n"},
    };
    const std::string stub = StubBytes();
    const std::string gpl2 = ReadBytes(kGpl2);
    for (const Corpus& row : cases) {
        SCOPED_TRACE(row.archive);
        const DataFolder data(stub + ReadBytes(kCorpus + "\\" + row.archive));
        EXPECT_EQ(data.RunAsTheToolDoes(), stub::kDone);
        const std::string expected = row.content == nullptr ? gpl2 : std::string(row.content + 1);
        const std::string path = data.Target() + "\\" + row.member;
        ASSERT_TRUE(FileExists(path));
        EXPECT_TRUE(ReadBytes(path) == expected);
    }
}

struct Failure {
    const char* what;
    std::string archive;
    DWORD exit;
};

TEST(DbcsStubPaths, RefusesWhatItCannotUnpackBeforeWritingAnything)
{
    const Failure cases[] = {
        {"a name with ..", StoredMember("ok.txt", "ok") + StoredMember("..\\escaped.txt", "out") + kEndMark,
         stub::kUnsafeName},
        {"a name with .. after 表", StoredMember("表\\..\\..\\escaped.txt", "out") + kEndMark,
         stub::kUnsafeName},
        {"a drive letter", StoredMember("ok.txt", "ok") + StoredMember("C:\\escaped.txt", "out") + kEndMark,
         stub::kUnsafeName},
        {"a stream name", StoredMember("ok.txt:stream", "out") + kEndMark, stub::kUnsafeName},
        {"LHARK's own method", ReadBytes(kCorpus + "\\lhark04d\\lh7.lzh"), stub::kUnsupported},
    };
    const std::string stub = StubBytes();
    for (const Failure& row : cases) {
        SCOPED_TRACE(row.what);
        const DataFolder data(stub + row.archive);
        EXPECT_EQ(data.RunAsTheToolDoes(), row.exit);
        EXPECT_EQ(Entries(data.Path()), std::vector<std::string>{"QAVUP.EXE"});
    }
}

TEST(DbcsStubPaths, KeepsAMemberWithAFolderInsideTheTarget)
{
    const DataFolder data(StubBytes() + StoredMember("\\表\\ソ.txt", "inside") + kEndMark);
    EXPECT_EQ(data.RunAsTheToolDoes(), stub::kDone);
    EXPECT_EQ(ReadBytes(data.Target() + "\\表\\ソ.txt"), "inside");
    EXPECT_EQ(Entries(data.Target()), std::vector<std::string>{"表"});
}

TEST(DbcsStubPaths, FolderThatCannotBeMadeFails)
{
    {
        SCOPED_TRACE("the target below a file");
        const DataFolder data(ReadBytes(kPackage));
        WriteBytes(data.Target(1), "a file");
        EXPECT_EQ(data.RunAsTheToolDoes(), stub::kCannotCreateFolder);
    }
    {
        SCOPED_TRACE("a member's folder where a file is");
        const DataFolder data(StubBytes() + ReadBytes(kCorpus + "\\explzh_723\\h2_subdir.lzh"));
        data.TargetWithOldProgram("the old QAV.exe");
        WriteBytes(data.Target() + "\\subdir", "a file");
        EXPECT_EQ(data.RunAsTheToolDoes(), stub::kCannotCreateFolder);
        EXPECT_EQ(ReadBytes(data.Target() + "\\subdir"), "a file");
    }
}

// Without -n: the dialog, as a user meets it.

constexpr DWORD kWindowTimeoutMs = 30000;

struct WindowSearch {
    DWORD processId;
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == search.processId && window != search.except && IsWindowVisible(window) &&
        std::string(className) == "#32770") {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog or message box of the process, other than `except`.
HWND WaitForDialog(const Process& process, HWND except = nullptr)
{
    for (DWORD waited = 0; waited < kWindowTimeoutMs; waited += 50) {
        WindowSearch search = {process.id, except, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        if (WaitForSingleObject(process.process, 50) == WAIT_OBJECT_0)
            break;
    }
    ADD_FAILURE() << "no window of the stub appeared";
    return nullptr;
}

std::string TextOf(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// GetWindowTextA does not ask a control of another process for its text; the message does.
std::string ItemText(HWND dialog, int item)
{
    char text[1024] = {};
    SendDlgItemMessageA(dialog, item, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

void Press(HWND dialog, int button)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// The message box after the dialog: its text, then dismissed.
std::string ReadAndDismissMessage(const Process& process, HWND dialog)
{
    const HWND box = WaitForDialog(process, dialog);
    if (box == nullptr)
        return {};
    EXPECT_EQ(TextOf(box), "QAV 自己展開");
    constexpr int kMessageBoxText = 0xFFFF;
    const std::string text = ItemText(box, kMessageBoxText);
    Press(box, IDOK);
    return text;
}

TEST(DbcsStubDialog, OffersItsOwnFolderAndCancels)
{
    const DataFolder data(ReadBytes(kPackage));
    const Process stub = Start(data.Package(), "");
    const HWND dialog = WaitForDialog(stub);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(dialog), "QAV 自己展開");
    EXPECT_EQ(ItemText(dialog, IDC_FOLDER), data.Path());
    EXPECT_EQ(ItemText(dialog, IDOK), "展開");
    EXPECT_EQ(ItemText(dialog, IDCANCEL), "キャンセル");
    Press(dialog, IDCANCEL);
    EXPECT_EQ(Finish(stub), stub::kCancelled);
    EXPECT_EQ(Entries(data.Path()), std::vector<std::string>{"QAVUP.EXE"});
}

TEST(DbcsStubDialog, UnpacksIntoTheFolderGivenAndSaysSo)
{
    const DataFolder data(ReadBytes(kPackage));
    const Process stub = Start(data.Package(), " \"" + data.Target() + "\"");
    const HWND dialog = WaitForDialog(stub);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, IDC_FOLDER), data.Target());
    Press(dialog, IDOK);
    const std::string message = ReadAndDismissMessage(stub, dialog);
    EXPECT_NE(message.find("展開しました"), std::string::npos) << message;
    EXPECT_NE(message.find(data.Target()), std::string::npos) << message;
    EXPECT_EQ(Finish(stub), stub::kDone);
    EXPECT_TRUE(ReadBytes(data.Target() + "\\QAV.exe") == ReadBytes(kPackedProgram));
}

TEST(DbcsStubDialog, ReportsADamagedPackage)
{
    const std::string package = ReadBytes(kPackage);
    const DataFolder data(package.substr(0, package.size() - 1));
    const Process stub = Start(data.Package(), " \"" + data.Target() + "\"");
    const HWND dialog = WaitForDialog(stub);
    ASSERT_NE(dialog, nullptr);
    Press(dialog, IDOK);
    const std::string message = ReadAndDismissMessage(stub, dialog);
    EXPECT_NE(message.find("書庫が壊れています"), std::string::npos) << message;
    EXPECT_EQ(Finish(stub), stub::kDamaged);
    EXPECT_FALSE(FileExists(data.Target(1)));
}

#ifdef DEFAULT_PACKAGE
// What the build embeds in the tool unpacks with its own stub.
TEST(DbcsStubPaths, EmbeddedPackageUnpacksItsProgram)
{
    const DataFolder data(ReadBytes(HostPath(DEFAULT_PACKAGE)));
    EXPECT_EQ(data.RunAsTheToolDoes(), stub::kDone);
    EXPECT_TRUE(ReadBytes(data.Target() + "\\QAV.exe") == ReadBytes(HostPath(DEFAULT_PACKAGE_PROGRAM)));
}
#endif

}  // namespace
