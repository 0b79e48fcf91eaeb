// The shell extension registration and the Default Programs entries against
// the real registry, each test in its own registry sandbox. The module
// files are stand-ins made beside this test program, which stands in for
// uninstall.exe.
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "integration/settings.h"
#include "integration/shellext.h"
#include "platform/os.h"
#include "support/testutil.h"

namespace {

const std::string Class32 = "{7A3C1E52-4D21-4B7E-8F6A-C03B9D4E2A17}";
const std::string Class64 = "{7A3C1E52-4D64-4B7E-8F6A-C03B9D4E2A17}";
const char Approved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char RegisteredApps[] = "Software\\RegisteredApplications";
const char FileAssociations[] = "Software\\Velmor\\Capabilities\\FileAssociations";

struct Handler
{
    std::string Key;
    std::string Data;        // default value when registered
    bool KeyStays;           // removal deletes only the value
};

// The handler entries of one module, in the order they are written.
std::vector<Handler> Handlers(const std::string &classId, const std::string &name)
{
    return {
        {"Velmor\\shellex\\ContextMenuHandlers\\" + classId, "", false},
        {"Velmor\\shellex\\PropertySheetHandlers\\" + classId, "", false},
        {"Velmor.ZIP\\shellex\\ContextMenuHandlers\\" + classId, "", false},
        {"Velmor.ZIP\\shellex\\PropertySheetHandlers\\" + classId, "", false},
        {"exefile\\shellex\\PropertySheetHandlers\\" + classId, "", false},
        {"Velmor\\shellex\\DropHandler", classId, false},
        {"Velmor.ZIP\\shellex\\DropHandler", classId, false},
        {"*\\shellex\\ContextMenuHandlers\\" + name, classId, true},
        {"Folder\\shellex\\ContextMenuHandlers\\" + name, classId, true},
        {"Folder\\shellex\\DragDropHandlers\\" + name, classId, true},
        {"Drive\\shellex\\DragDropHandlers\\" + name, classId, true},
        {"Directory\\shellex\\ContextMenuHandlers\\" + name, classId, true},
        {"Directory\\shellex\\DragDropHandlers\\" + name, classId, true},
    };
}

// The 22 extensions of the archive type table with the ProgID that Default
// Programs lists for each.
std::vector<std::pair<std::string, std::string>> CapabilityValues()
{
    std::vector<std::pair<std::string, std::string>> values;
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        const char *cursor = ArchiveTypeTable[row].Extensions;
        char extension[32];
        while (NextExtension(&cursor, extension, sizeof(extension)))
            values.push_back({extension, row == ZipRow ? "Velmor.ZIP" : "Velmor"});
    }
    return values;
}

// A stand-in module file beside this program while the object lives.
class ModuleFile
{
public:
    explicit ModuleFile(const char *name) : Path(TestDir() + name)
    {
        Made = WriteFileBytes(Path, std::string("MZ stand-in module\n"));
    }
    ~ModuleFile() { DeleteFileA(Path.c_str()); }
    ModuleFile(const ModuleFile &) = delete;
    ModuleFile &operator=(const ModuleFile &) = delete;

    std::string Path;
    bool Made;
};

IntegrationSettings WithShellExt(bool on)
{
    IntegrationSettings s;
    memset(&s, 0, sizeof(s));
    s.ShellExt = on ? 1 : 0;
    return s;
}

class ShellExt : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Sandbox.Ok()); }

    HKEY Classes() const { return Sandbox.Scratch(HKEY_CLASSES_ROOT); }
    HKEY Machine() const { return Sandbox.Scratch(HKEY_LOCAL_MACHINE); }

    void ExpectClassRegistered(const std::string &classId, const std::string &modulePath)
    {
        EXPECT_EQ("Velmor", ReadString(Classes(), "CLSID\\" + classId, ""));
        EXPECT_EQ(modulePath, ReadString(Classes(), "CLSID\\" + classId + "\\InProcServer32", ""));
        EXPECT_EQ("Apartment",
                  ReadString(Classes(), "CLSID\\" + classId + "\\InProcServer32", "ThreadingModel"));
        EXPECT_EQ(3, CountValues(SnapshotKey(Classes(), "CLSID\\" + classId)));
    }

    void ExpectHandlersRegistered(const std::string &classId, const std::string &name)
    {
        for (const Handler &h : Handlers(classId, name))
            EXPECT_EQ(h.Data, ReadString(Classes(), h.Key, "")) << h.Key;
        EXPECT_EQ("Velmor shell extension", ReadString(Machine(), Approved, classId));
    }

    void ExpectDefaultPrograms(bool present)
    {
        if (!present)
        {
            EXPECT_FALSE(KeyExists(Machine(), "Software\\Velmor"));
            EXPECT_FALSE(ValueExists(Machine(), RegisteredApps, "Velmor"));
            return;
        }
        EXPECT_EQ("Software\\Velmor\\Capabilities", ReadString(Machine(), RegisteredApps, "Velmor"));
        EXPECT_EQ("Velmor",
                  ReadString(Machine(), "Software\\Velmor\\Capabilities", "ApplicationDescription"));
        std::vector<std::pair<std::string, std::string>> values = CapabilityValues();
        EXPECT_EQ(22u, values.size());
        for (const auto &v : values)
            EXPECT_EQ(v.second, ReadString(Machine(), FileAssociations, v.first)) << v.first;
        EXPECT_EQ(1 + 22, CountValues(SnapshotKey(Machine(), "Software\\Velmor")))
            << SnapshotKey(Machine(), "Software\\Velmor");
    }

    RegistrySandbox Sandbox;
};

bool VistaOrLater() { return NtVersion() >= 6; }

TEST_F(ShellExt, EnableWithModuleWritesClassHandlersApprovalAndDefaultPrograms)
{
    ModuleFile module32("vmzext.dll");
    ModuleFile module64("vmzext64.dll");
    ASSERT_TRUE(module32.Made && module64.Made);
    ASSERT_FALSE(IsWow64()) << "the 64-bit test build never runs under WOW64";

    IntegrationSettings on = WithShellExt(true);
    SetShellExtension(false, &on);

    ExpectClassRegistered(Class32, module32.Path);
    ExpectHandlersRegistered(Class32, "Velmor");
    // Outside WOW64 the 64-bit module is not handled, and the 32-bit one
    // is named Velmor.
    EXPECT_FALSE(KeyExists(Classes(), "CLSID\\" + Class64));
    EXPECT_FALSE(ValueExists(Machine(), Approved, Class64));
    EXPECT_FALSE(KeyExists(Classes(), "*\\shellex\\ContextMenuHandlers\\Velmor32"));
    // Nothing else: 3 class values, 13 handler values; the approval and,
    // from Vista on, the Default Programs entries.
    int classValues = 0;
    for (const char *top : {"CLSID", "Velmor", "Velmor.ZIP", "exefile", "*", "Folder", "Drive",
                            "Directory"})
        classValues += CountValues(SnapshotKey(Classes(), top));
    EXPECT_EQ(3 + 13, classValues);
    EXPECT_EQ(1, CountValues(SnapshotKey(Machine(), Approved)));
    ExpectDefaultPrograms(VistaOrLater());
}

TEST_F(ShellExt, MissingModuleSkipsOnlyTheClassKeys)
{
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((TestDir() + "vmzext.dll").c_str()));
    IntegrationSettings on = WithShellExt(true);
    SetShellExtension(false, &on);

    EXPECT_FALSE(KeyExists(Classes(), "CLSID\\" + Class32));
    EXPECT_EQ(0, CountKeys(Classes(), "CLSID"));
    ExpectHandlersRegistered(Class32, "Velmor");
    ExpectDefaultPrograms(VistaOrLater());
}

TEST_F(ShellExt, DisableRemovesAllButTheShellsHandlerKeys)
{
    ModuleFile module32("vmzext.dll");
    ASSERT_TRUE(module32.Made);
    // Someone else's approval and handler stay.
    PutString(Machine(), Approved, "{00000000-1111-2222-3333-444444444444}", "Other extension");
    PutString(Classes(), "*\\shellex\\ContextMenuHandlers\\Other", "", "{other}");
    IntegrationSettings on = WithShellExt(true);
    SetShellExtension(false, &on);
    IntegrationSettings off = WithShellExt(false);
    SetShellExtension(false, &off);

    EXPECT_FALSE(KeyExists(Classes(), "CLSID\\" + Class32 + "\\InProcServer32"));
    EXPECT_FALSE(KeyExists(Classes(), "CLSID\\" + Class32));
    for (const Handler &h : Handlers(Class32, "Velmor"))
    {
        EXPECT_EQ(h.KeyStays, KeyExists(Classes(), h.Key)) << h.Key;
        EXPECT_FALSE(ValueExists(Classes(), h.Key, "")) << h.Key;
    }
    // The empty keys below the shell's own keys are all that is left.
    for (const char *stays : {"*\\shellex\\ContextMenuHandlers\\Velmor",
                              "Folder\\shellex\\ContextMenuHandlers\\Velmor",
                              "Folder\\shellex\\DragDropHandlers\\Velmor",
                              "Drive\\shellex\\DragDropHandlers\\Velmor",
                              "Directory\\shellex\\ContextMenuHandlers\\Velmor",
                              "Directory\\shellex\\DragDropHandlers\\Velmor"})
        EXPECT_EQ(0, CountValues(SnapshotKey(Classes(), stays))) << stays;
    EXPECT_EQ("{other}", ReadString(Classes(), "*\\shellex\\ContextMenuHandlers\\Other", ""));
    EXPECT_FALSE(ValueExists(Machine(), Approved, Class32));
    EXPECT_EQ("Other extension",
              ReadString(Machine(), Approved, "{00000000-1111-2222-3333-444444444444}"));
    // Setup with the shell integration off still lists the program with
    // Default Programs.
    ExpectDefaultPrograms(VistaOrLater());
}

TEST_F(ShellExt, DisableWithoutRegistrationChangesNothing)
{
    IntegrationSettings off = WithShellExt(false);
    std::string classesBefore = SnapshotKey(Classes(), "");
    SetShellExtension(true, &off);
    EXPECT_EQ(classesBefore, SnapshotKey(Classes(), ""));
    EXPECT_FALSE(KeyExists(Machine(), "Software\\Velmor"));
}

TEST_F(ShellExt, RemoveFlagDeletesDefaultProgramsFromVistaOn)
{
    IntegrationSettings on = WithShellExt(true);
    SetShellExtension(false, &on);
    PutString(Machine(), RegisteredApps, "Other", "Software\\Other\\Capabilities");
    // Whatever else stands below HKLM Software\Velmor goes with it.
    PutString(Machine(), "Software\\Velmor\\Capabilities\\Extra\\Deep", "", "x");
    PutString(Machine(), "Software\\Velmor\\Other", "v", "y");
    if (!VistaOrLater())
    {
        // Before Vista nothing of it is written, and nothing is removed.
        PutString(Machine(), RegisteredApps, "Velmor", "seeded");
    }

    IntegrationSettings zero = WithShellExt(false);
    SetShellExtension(true, &zero);

    EXPECT_EQ("Software\\Other\\Capabilities", ReadString(Machine(), RegisteredApps, "Other"));
    if (VistaOrLater())
    {
        EXPECT_FALSE(ValueExists(Machine(), RegisteredApps, "Velmor"));
        EXPECT_FALSE(KeyExists(Machine(), "Software\\Velmor"));
    }
    else
    {
        EXPECT_EQ("seeded", ReadString(Machine(), RegisteredApps, "Velmor"));
        EXPECT_TRUE(KeyExists(Machine(), "Software\\Velmor\\Capabilities\\Extra\\Deep"));
    }
    // The approval goes in every version.
    EXPECT_FALSE(ValueExists(Machine(), Approved, Class32));
}

TEST_F(ShellExt, DefaultProgramsIgnoreTheChosenTypes)
{
    // The capabilities list every archive type whatever the record says.
    IntegrationSettings mixed = WithShellExt(true);
    mixed.Associate[OwnFormatRow] = 1;
    mixed.Associate[ZipRow] = 0;
    SetShellExtension(false, &mixed);
    ExpectDefaultPrograms(VistaOrLater());
    if (VistaOrLater())
    {
        EXPECT_EQ("Velmor.ZIP", ReadString(Machine(), FileAssociations, ".zip"));
        EXPECT_EQ("Velmor", ReadString(Machine(), FileAssociations, ".vmz"));
    }
}

TEST(ShellExtWow64, AnswerIsFalseOutsideWow64AndStable)
{
    BOOL wow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, IsWow64());
    EXPECT_EQ(IsWow64(), IsWow64());
}

// Keys of the 64-bit registry view, read and deleted past the sandbox: an
// open with KEY_WOW64_64KEY reaches the prefix's real HKEY_CLASSES_ROOT.
bool Exists64(const std::string &path)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void Delete64(const std::string &path)
{
    RegDeleteKeyExA(HKEY_CLASSES_ROOT, path.c_str(), KEY_WOW64_64KEY, 0);
}

// Deletes the 64-bit view's class keys when the test ends, however it ends.
struct Class64Cleanup
{
    ~Class64Cleanup()
    {
        Delete64("CLSID\\" + Class64 + "\\InProcServer32");
        Delete64("CLSID\\" + Class64);
    }
};

TEST_F(ShellExt, Module64ClassKeysAreWrittenAndRemovedInThe64BitView)
{
    ModuleFile module64("vmzext64.dll");
    ASSERT_TRUE(module64.Made);
    Class64Cleanup cleanup;
    ASSERT_FALSE(Exists64("CLSID\\" + Class64)) << "left by an earlier run";

    SetShellExtModule(true, "vmzext64.dll", ShellExtClassId64, true, "Velmor");
    EXPECT_TRUE(Exists64("CLSID\\" + Class64 + "\\InProcServer32"));
    // Only the class keys use the 64-bit view; the handlers and the
    // approval are written as for the 32-bit module.
    EXPECT_FALSE(KeyExists(Classes(), "CLSID\\" + Class64));
    ExpectHandlersRegistered(Class64, "Velmor");

    SetShellExtModule(false, "vmzext64.dll", ShellExtClassId64, true, "Velmor");
    // An uninstall leaves no 64-bit class that names a deleted module.
    EXPECT_FALSE(Exists64("CLSID\\" + Class64 + "\\InProcServer32"));
    EXPECT_FALSE(Exists64("CLSID\\" + Class64));
    EXPECT_FALSE(ValueExists(Machine(), Approved, Class64));
    EXPECT_FALSE(KeyExists(Classes(), "Velmor\\shellex\\DropHandler"));

    // The view is off again: later writes land where they always do.
    SetShellExtModule(true, "vmzext.dll", ShellExtClassId32, false, "Velmor");
    EXPECT_EQ(Class32, ReadString(Classes(), "Velmor\\shellex\\DropHandler", ""));
}

}  // namespace
