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

#endif
