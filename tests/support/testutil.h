// Shared helpers of the test programs.
#ifndef VELMOR_TESTS_TESTUTIL_H
#define VELMOR_TESTS_TESTUTIL_H

#include <windows.h>

#include <string>

// Folder of the running test program, with a final backslash.
std::string TestDir();

// Text conversions. Test sources are UTF-8; the program works in the ANSI
// code page.
std::wstring WideFromUtf8(const std::string &utf8);
std::string Utf8FromWide(const std::wstring &wide);
std::string AnsiFromUtf8(const std::string &utf8);
std::string Utf8FromAnsi(const std::string &ansi);

// What the test group was started for (set by CTest): the Wine version
// name ("win7" when unset) and the ANSI code page (0 when unset).
std::string ExpectedWinVersion();
unsigned ExpectedCodePage();

// A scratch folder under C:\velmor-scratch, removed with its content.
class ScratchDir
{
public:
    explicit ScratchDir(const char *name);
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &Path() const { return Dir; }   // ends in '\'
    std::string File(const char *name) const { return Dir + name; }

private:
    std::string Dir;
};

bool WriteFileBytes(const std::string &path, const std::string &bytes);
bool ReadFileBytes(const std::string &path, std::string *bytes);
bool DeleteTree(const std::string &path);


// Redirects this process's HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and
// HKEY_CLASSES_ROOT onto fresh scratch keys below the real
// HKCU\Software\VelmorTests, so that a test sees an empty registry and
// leaves nothing behind. The system's own keys stay reachable through
// RealKey(). Only one sandbox may be active at a time.
class RegistrySandbox
{
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox &) = delete;
    RegistrySandbox &operator=(const RegistrySandbox &) = delete;

    bool Ok() const { return Active; }
    // The scratch key that stands in for root (one of the three above).
    HKEY Scratch(HKEY root) const;

private:
    bool Active = false;
    std::string Base;                 // below the real HKCU
    HKEY Keys[3] = {NULL, NULL, NULL};
};

// Registry snapshot helpers for before/after comparisons: one line per key
// and per value ("key\t", "key\tname\ttype\thex bytes"), sorted, for the
// key path below root and everything under it. A missing key gives "".
std::string SnapshotKey(HKEY root, const std::string &path);

// The number of value lines in a SnapshotKey text.
int CountValues(const std::string &snapshot);

// Values of one key, for table-driven checks.
bool ReadValue(HKEY root, const std::string &path, const std::string &name,
               DWORD *type, std::string *data);
// The text of a REG_SZ stored with exactly one terminating zero; anything
// else is described instead ("<missing>", "<type N>", "<unterminated>...",
// "<inner zero>..."), so that a comparison shows what is wrong.
std::string ReadString(HKEY root, const std::string &path, const std::string &name);
// Keys at and below path, the key itself included; 0 when it is missing.
int CountKeys(HKEY root, const std::string &path);
bool KeyExists(HKEY root, const std::string &path);
bool ValueExists(HKEY root, const std::string &path, const std::string &name);
// Writes with the system's calls directly, for seeding test states.
void PutString(HKEY root, const std::string &path, const std::string &name,
               const std::string &text);
void PutValue(HKEY root, const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes);
void PutKey(HKEY root, const std::string &path);

// Creates the key with an empty DACL, so that opening it for writing fails
// with access denied (5), as HKLM does for a program without administrator
// rights. Wine lets a parent's read-only handle create sub-keys, so the
// first key the program writes is the one to deny. AllowAll gives the key
// a null DACL again (its owner may always change it) so that it can go.
bool DenyWrite(HKEY root, const std::string &path);
bool AllowAll(HKEY root, const std::string &path);

// Runs one test of this test program in a copy of it, for what depends on
// the program's own path (which cannot change inside one process). The
// copy is made at copyPath (its folder must exist) and started in workDir
// with the environment variable `variable` naming a result file, which the
// copy's test writes and which is read back here. Copy, result and log
// files are removed again.
struct TestCopyRun
{
    bool Started = false;
    bool Ended = false;              // within two minutes (a hang guard only)
    DWORD ExitCode = 0xDEADBEEF;
    bool HasResult = false;
    std::string Result;              // the result file's content
    std::string Output;              // the copy's console output
    std::string Error;               // why it could not be started
};
TestCopyRun RunTestCopy(const std::string &copyPath, const std::string &testName,
                        const char *variable, const std::string &workDir);

// A folder of the shell by its CSIDL, in UTF-8 and ending in '\'; empty
// when the shell has none.
std::string ShellFolder(int csidl);

// The six places where the product puts or removes a shortcut: the file
// Velmor.lnk on a desktop or Start menu, the group folder Velmor below
// a Programs folder.
enum ShortcutPlace
{
    UserDesktop,
    CommonDesktop,
    UserStartMenu,
    CommonStartMenu,
    UserGroup,
    CommonGroup,
    ShortcutPlaceCount
};

struct ShortcutPlaceInfo
{
    const char *Name;
    int Csidl;
    bool Group;               // the folder Velmor, else the file Velmor.lnk
};

extern const ShortcutPlaceInfo ProductShortcutPlaces[ShortcutPlaceCount];

// Velmor.lnk or the group folder Velmor in that place, in UTF-8; empty
// when the shell cannot locate the place.
std::string ShortcutPlacePath(ShortcutPlace place);

#endif
