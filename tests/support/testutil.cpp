#include "support/testutil.h"
#include "support/expected_strings.h"

#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

std::string TestDir()
{
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof(path));
    std::string s(path, n);
    size_t cut = s.find_last_of('\\');
    return cut == std::string::npos ? std::string() : s.substr(0, cut + 1);
}

std::wstring WideFromUtf8(const std::string &utf8)
{
    if (utf8.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), NULL, 0);
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &w[0], n);
    return w;
}

static std::string NarrowFromWide(UINT cp, const std::wstring &wide)
{
    if (wide.empty())
        return std::string();
    int n = WideCharToMultiByte(cp, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(cp, 0, wide.data(), (int)wide.size(), &s[0], n, NULL, NULL);
    return s;
}

std::string Utf8FromWide(const std::wstring &wide)
{
    return NarrowFromWide(CP_UTF8, wide);
}

std::string AnsiFromUtf8(const std::string &utf8)
{
    return NarrowFromWide(CP_ACP, WideFromUtf8(utf8));
}

std::string Utf8FromAnsi(const std::string &ansi)
{
    if (ansi.empty())
        return std::string();
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), NULL, 0);
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &w[0], n);
    return Utf8FromWide(w);
}

std::string ExpectedWinVersion()
{
    const char *v = getenv("VELMOR_TEST_WINVER");
    return v != NULL && *v != 0 ? v : "win7";
}

unsigned ExpectedCodePage()
{
    const char *v = getenv("VELMOR_TEST_ACP");
    return v != NULL ? (unsigned)strtoul(v, NULL, 10) : 0;
}

ScratchDir::ScratchDir(const char *name)
{
    CreateDirectoryA("C:\\velmor-scratch", NULL);
    char unique[64];
    snprintf(unique, sizeof(unique), "%lu-%lu", (unsigned long)GetCurrentProcessId(),
             (unsigned long)GetTickCount());
    Dir = std::string("C:\\velmor-scratch\\") + name + "-" + unique + "\\";
    DeleteTree(Dir);
    CreateDirectoryA(Dir.c_str(), NULL);
}

ScratchDir::~ScratchDir()
{
    DeleteTree(Dir);
}

bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (f == NULL)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string &path, std::string *bytes)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (f == NULL)
        return false;
    bytes->clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        bytes->append(buf, n);
    fclose(f);
    return true;
}

bool DeleteTree(const std::string &path)
{
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(full);
            else
            {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    return RemoveDirectoryA(dir.c_str()) != 0;
}

static const HKEY SandboxRoots[3] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
static const char *const SandboxNames[3] = {"HKCU", "HKLM", "HKCR"};

RegistrySandbox::RegistrySandbox()
{
    char unique[64];
    snprintf(unique, sizeof(unique), "%lu-%lu", (unsigned long)GetCurrentProcessId(),
             (unsigned long)GetTickCount());
    Base = std::string("Software\\VelmorTests\\") + unique;
    RegDeleteTreeA(HKEY_CURRENT_USER, Base.c_str());
    for (int i = 0; i < 3; ++i)
    {
        std::string path = Base + "\\" + SandboxNames[i];
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                            &Keys[i], NULL) != ERROR_SUCCESS)
            return;
    }
    for (int i = 0; i < 3; ++i)
        if (RegOverridePredefKey(SandboxRoots[i], Keys[i]) != ERROR_SUCCESS)
            return;
    Active = true;
}

static bool SetDacl(HKEY root, const std::string &path, bool empty, bool create);

// A test that stopped half-way may leave a key that denies writing; give
// every key of the tree a null DACL so that the tree can go.
static void AllowAllBelow(HKEY root, const std::string &path)
{
    SetDacl(root, path, false, false);
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i)
    {
        char name[256];
        DWORD len = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string &name : names)
        AllowAllBelow(root, path + "\\" + name);
}

RegistrySandbox::~RegistrySandbox()
{
    for (int i = 0; i < 3; ++i)
        RegOverridePredefKey(SandboxRoots[i], NULL);
    for (int i = 0; i < 3; ++i)
        if (Keys[i] != NULL)
            RegCloseKey(Keys[i]);
    AllowAllBelow(HKEY_CURRENT_USER, Base);
    RegDeleteTreeA(HKEY_CURRENT_USER, Base.c_str());
    HKEY parent;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS)
    {
        RegDeleteKeyA(parent, "VelmorTests");      // only when no other test uses it
        RegCloseKey(parent);
    }
}

HKEY RegistrySandbox::Scratch(HKEY root) const
{
    for (int i = 0; i < 3; ++i)
        if (SandboxRoots[i] == root)
            return Keys[i];
    return NULL;
}

static std::string Hex(const BYTE *data, DWORD size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < size; ++i)
    {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

static void SnapshotInto(HKEY key, const std::string &path, std::vector<std::string> *lines)
{
    lines->push_back(path + "\t");
    for (DWORD i = 0;; ++i)
    {
        std::vector<char> name(16384);
        DWORD nameLen = (DWORD)name.size();
        std::vector<BYTE> data(65536);
        DWORD dataLen = (DWORD)data.size();
        DWORD type = 0;
        if (RegEnumValueA(key, i, name.data(), &nameLen, NULL, &type, data.data(), &dataLen) != ERROR_SUCCESS)
            break;
        lines->push_back(path + "\t" + name.data() + "\t" + std::to_string(type) + "\t" +
                         Hex(data.data(), dataLen));
    }
    for (DWORD i = 0;; ++i)
    {
        char name[256];
        DWORD nameLen = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &nameLen, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        HKEY sub;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS)
        {
            SnapshotInto(sub, path + "\\" + name, lines);
            RegCloseKey(sub);
        }
    }
}

std::string SnapshotKey(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    std::vector<std::string> lines;
    SnapshotInto(key, path, &lines);
    RegCloseKey(key);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string &line : lines)
        out += line + "\n";
    return out;
}

int CountValues(const std::string &snapshot)
{
    int count = 0;
    size_t start = 0;
    while (start < snapshot.size())
    {
        size_t end = snapshot.find('\n', start);
        if (end == std::string::npos)
            end = snapshot.size();
        int tabs = 0;
        for (size_t i = start; i < end; ++i)
            tabs += snapshot[i] == '\t';
        count += tabs == 3;
        start = end + 1;
    }
    return count;
}

bool ReadValue(HKEY root, const std::string &path, const std::string &name, DWORD *type,
               std::string *data)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> buf(65536);
    DWORD size = (DWORD)buf.size();
    LONG r = RegQueryValueExA(key, name.c_str(), NULL, type, buf.data(), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
        return false;
    data->assign((const char *)buf.data(), size);
    return true;
}

std::string ReadString(HKEY root, const std::string &path, const std::string &name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadValue(root, path, name, &type, &data))
        return "<missing>";
    if (type != REG_SZ)
        return "<type " + std::to_string(type) + ">";
    if (data.empty() || data.back() != 0)
        return "<unterminated>" + data;
    data.pop_back();
    if (data.find('\0') != std::string::npos)
        return "<inner zero>" + data;
    return data;
}

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::string &path, const std::string &name)
{
    DWORD type;
    std::string data;
    return ReadValue(root, path, name, &type, &data);
}

void PutValue(HKEY root, const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, type, (const BYTE *)bytes.data(), (DWORD)bytes.size());
    RegCloseKey(key);
}

void PutString(HKEY root, const std::string &path, const std::string &name, const std::string &text)
{
    PutValue(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

void PutKey(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) == ERROR_SUCCESS)
        RegCloseKey(key);
}

static bool SetDacl(HKEY root, const std::string &path, bool empty, bool create)
{
    HKEY key;
    LONG r = create ? RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)
                    : RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key);
    if (r != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ACL acl;
    InitializeAcl(&acl, sizeof(acl), ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, empty ? &acl : NULL, FALSE);
    r = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool DenyWrite(HKEY root, const std::string &path)
{
    return SetDacl(root, path, true, true);
}

bool AllowAll(HKEY root, const std::string &path)
{
    return SetDacl(root, path, false, false);
}

int CountKeys(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    int count = 1;
    for (DWORD i = 0;; ++i)
    {
        char name[256];
        DWORD len = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        count += CountKeys(key, name);
    }
    RegCloseKey(key);
    return count;
}

std::string ExpectedAnsi(int id)
{
    for (const ExpectedString &s : ExpectedStrings)
        if (s.id == id)
            return AnsiFromUtf8(s.text);
    return std::string();
}

// Removes a file when the run ends, however it ends.
namespace {
struct RemovedFile
{
    std::string Path;
    ~RemovedFile() { DeleteFileA(Path.c_str()); }
};
}  // namespace

TestCopyRun RunTestCopy(const std::string &copyPath, const std::string &testName,
                        const char *variable, const std::string &workDir)
{
    TestCopyRun run;
    char temp[MAX_PATH];
    DWORD tempLength = GetTempPathA(sizeof(temp), temp);
    if (tempLength == 0 || tempLength >= sizeof(temp))
    {
        run.Error = "no temporary folder";
        return run;
    }
    const std::string unique = "velmor_copy_" + std::to_string(GetCurrentProcessId()) + "_" +
                               std::to_string(GetTickCount());
    RemovedFile copy{copyPath};
    RemovedFile resultFile{std::string(temp) + unique + ".txt"};
    RemovedFile logFile{std::string(temp) + unique + ".log"};

    char self[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof(self));
    if (n == 0 || n >= sizeof(self) || !CopyFileA(self, copyPath.c_str(), FALSE))
    {
        run.Error = "cannot copy the test program to " + copyPath + ": " +
                    std::to_string(GetLastError());
        return run;
    }
    DeleteFileA(resultFile.Path.c_str());

    // The copy's output goes to a file; DETACHED_PROCESS, since a console
    // of its own would keep the log open after the copy ended.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE log = CreateFileA(logFile.Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
    {
        run.Error = "cannot create " + logFile.Path;
        return run;
    }
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = NULL;
    si.hStdOutput = log;
    si.hStdError = log;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof(pi));
    std::string line = "\"" + copyPath + "\" --gtest_filter=" + testName;
    SetEnvironmentVariableA(variable, resultFile.Path.c_str());
    BOOL started = CreateProcessA(copyPath.c_str(), &line[0], NULL, NULL, TRUE, DETACHED_PROCESS,
                                  NULL, workDir.c_str(), &si, &pi);
    DWORD startError = GetLastError();
    SetEnvironmentVariableA(variable, NULL);
    CloseHandle(log);
    if (!started)
    {
        run.Error = "CreateProcess " + copyPath + " failed: " + std::to_string(startError);
        return run;
    }
    run.Started = true;
    DWORD waited = WaitForSingleObject(pi.hProcess, 120000);
    if (waited != WAIT_OBJECT_0)
    {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 10000);
    }
    run.Ended = waited == WAIT_OBJECT_0;
    GetExitCodeProcess(pi.hProcess, &run.ExitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    ReadFileBytes(logFile.Path, &run.Output);
    run.HasResult = ReadFileBytes(resultFile.Path, &run.Result);
    return run;
}

std::string ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path)) || path[0] == 0)
        return std::string();
    std::string folder = Utf8FromWide(path);
    if (folder.back() != '\\')
        folder += '\\';
    return folder;
}

const ShortcutPlaceInfo ProductShortcutPlaces[ShortcutPlaceCount] = {
    {"user's desktop", CSIDL_DESKTOPDIRECTORY, false},
    {"all users' desktop", CSIDL_COMMON_DESKTOPDIRECTORY, false},
    {"user's Start menu", CSIDL_STARTMENU, false},
    {"all users' Start menu", CSIDL_COMMON_STARTMENU, false},
    {"user's program group", CSIDL_PROGRAMS, true},
    {"all users' program group", CSIDL_COMMON_PROGRAMS, true},
};

std::string ShortcutPlacePath(ShortcutPlace place)
{
    std::string folder = ShellFolder(ProductShortcutPlaces[place].Csidl);
    if (folder.empty())
        return folder;
    return folder + (ProductShortcutPlaces[place].Group ? "Velmor" : "Velmor.lnk");
}
