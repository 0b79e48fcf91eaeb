// The resources of the built programs, read back from the files: the
// shipping 32-bit uninstall32.exe and the 64-bit uninstall.exe of the test
// build, both placed in the test stage.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

struct Binary
{
    const char *file;
    WORD machine;
    WORD magic;
};

const Binary Binaries[] = {
    {"uninstall32.exe", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC},
    {"uninstall.exe", IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC},
};

const WORD Chinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

class DataModule
{
public:
    explicit DataModule(const std::string &path)
        : Handle(LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule()
    {
        if (Handle != NULL)
            FreeLibrary(Handle);
    }
    DataModule(const DataModule &) = delete;
    DataModule &operator=(const DataModule &) = delete;
    HMODULE Handle;
};

// Bytes of a resource in the given language.
std::string ResourceBytes(HMODULE m, LPCWSTR type, LPCWSTR name, WORD lang)
{
    HRSRC r = FindResourceExW(m, type, name, lang);
    if (r == NULL)
        return std::string();
    HGLOBAL g = LoadResource(m, r);
    const char *p = static_cast<const char *>(LockResource(g));
    return p != NULL ? std::string(p, SizeofResource(m, r)) : std::string();
}

TEST(Resources, PeHeaders)
{
    for (const Binary &b : Binaries)
    {
        SCOPED_TRACE(b.file);
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(TestDir() + b.file, &bytes)) << "missing from the test stage";
        ASSERT_GT(bytes.size(), sizeof(IMAGE_DOS_HEADER));
        const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(bytes.data());
        ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
        ASSERT_LT((size_t)dos->e_lfanew + 24 + 70, bytes.size());
        const char *nt = bytes.data() + dos->e_lfanew;
        EXPECT_EQ(0, memcmp(nt, "PE\0\0", 4));
        const IMAGE_FILE_HEADER *file = reinterpret_cast<const IMAGE_FILE_HEADER *>(nt + 4);
        EXPECT_EQ(b.machine, file->Machine);
        const char *opt = nt + 4 + sizeof(IMAGE_FILE_HEADER);
        WORD magic, subsystem;
        memcpy(&magic, opt, 2);
        memcpy(&subsystem, opt + 68, 2);   // same offset in PE32 and PE32+
        EXPECT_EQ(b.magic, magic);
        EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, subsystem);
    }
}

TEST(Resources, StringTable)
{
    for (const Binary &b : Binaries)
    {
        SCOPED_TRACE(b.file);
        DataModule m(TestDir() + b.file);
        ASSERT_NE((HMODULE)NULL, m.Handle);
        for (const auto &s : ExpectedStrings)
        {
            wchar_t buf[512];
            int n = LoadStringW(m.Handle, (UINT)s.id, buf, 512);
            EXPECT_EQ(s.text, Utf8FromWide(std::wstring(buf, n > 0 ? n : 0)))
                << "string " << s.id;
        }
        // Strings live in blocks of 16: block 319 holds 5088..5103, block
        // 320 holds 5104..5119.
        for (int block : {319, 320})
            EXPECT_FALSE(ResourceBytes(m.Handle, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block),
                                       Chinese).empty())
                << "string block " << block << " not in Simplified Chinese";
    }
}

TEST(Resources, IconsAndManifest)
{
    for (const Binary &b : Binaries)
    {
        SCOPED_TRACE(b.file);
        DataModule m(TestDir() + b.file);
        ASSERT_NE((HMODULE)NULL, m.Handle);
        EXPECT_FALSE(ResourceBytes(m.Handle, MAKEINTRESOURCEW(14), L"VMZICON", Chinese).empty());
        EXPECT_FALSE(ResourceBytes(m.Handle, MAKEINTRESOURCEW(14), L"DELICON", Chinese).empty());

        std::vector<std::wstring> groups;
        EnumResourceNamesW(
            m.Handle, MAKEINTRESOURCEW(14),
            [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
                auto *list = reinterpret_cast<std::vector<std::wstring> *>(param);
                list->push_back(IS_INTRESOURCE(name) ? L"#" : name);
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&groups));
        ASSERT_EQ(2u, groups.size());
        EXPECT_TRUE(groups[0] == L"DELICON") << "the program file's own icon comes first";

        std::string manifest = ResourceBytes(m.Handle, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1),
                                             Chinese);
        ASSERT_FALSE(manifest.empty()) << "no manifest";
        for (const char *part : {"name=\"Velmor\"", "Velmor archiver", "requireAdministrator",
                                 "uiAccess=\"false\"", "Microsoft.Windows.Common-Controls",
                                 "6.0.0.0"})
            EXPECT_NE(std::string::npos, manifest.find(part)) << "manifest lacks " << part;
    }
}

// ---- dialog templates ------------------------------------------------------

struct Control
{
    int id;
    int x, y, w, h;
    std::string className;   // "#128" for an ordinal class
    std::string text;        // UTF-8
    DWORD style;
};

struct Dialog
{
    DWORD style;
    int x, y, w, h;
    std::string caption;
    int pointSize;
    std::string font;
    std::vector<Control> controls;
};

class Reader
{
public:
    Reader(const std::string &b) : Bytes(b), Pos(0) {}
    bool Ok() const { return Pos <= Bytes.size(); }
    WORD Word()
    {
        WORD w = 0;
        if (Pos + 2 <= Bytes.size())
            memcpy(&w, Bytes.data() + Pos, 2);
        Pos += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD lo = Word();
        return lo | ((DWORD)Word() << 16);
    }
    std::string WideText()
    {
        std::wstring w;
        for (WORD c; (c = Word()) != 0 && Ok();)
            w += (wchar_t)c;
        return Utf8FromWide(w);
    }
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        if (first == 0)
            return std::string();
        Pos -= 2;
        return WideText();
    }
    void AlignDword() { Pos = (Pos + 3) & ~(size_t)3; }

private:
    const std::string &Bytes;
    size_t Pos;
};

bool ParseDialog(const std::string &bytes, Dialog *d)
{
    Reader r(bytes);
    d->style = r.Dword();
    if ((d->style & 0xFFFF) == 1 && (d->style >> 16) == 0xFFFF)
        return false;   // extended template: not what the program ships
    r.Dword();          // extended style
    int count = r.Word();
    d->x = (short)r.Word();
    d->y = (short)r.Word();
    d->w = (short)r.Word();
    d->h = (short)r.Word();
    r.NameOrOrdinal();   // menu
    r.NameOrOrdinal();   // class
    d->caption = r.WideText();
    d->pointSize = 0;
    if (d->style & DS_SETFONT)
    {
        d->pointSize = r.Word();
        d->font = r.WideText();
    }
    for (int i = 0; i < count && r.Ok(); ++i)
    {
        r.AlignDword();
        Control c;
        c.style = r.Dword();
        r.Dword();
        c.x = (short)r.Word();
        c.y = (short)r.Word();
        c.w = (short)r.Word();
        c.h = (short)r.Word();
        c.id = (short)r.Word();
        c.className = r.NameOrOrdinal();
        c.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        for (int k = 0; k < extra; ++k)
            (void)r.Word();
        d->controls.push_back(c);
    }
    return r.Ok();
}

// windres writes a predefined class named in a CONTROL statement as its
// name; the dialog manager treats the name and the ordinal alike.
std::string ClassOrdinal(const std::string &name)
{
    const struct
    {
        const char *name;
        const char *ordinal;
    } table[] = {{"BUTTON", "#128"}, {"EDIT", "#129"}, {"STATIC", "#130"},
                 {"LISTBOX", "#131"}, {"SCROLLBAR", "#132"}, {"COMBOBOX", "#133"}};
    for (const auto &row : table)
        if (_stricmp(name.c_str(), row.name) == 0)
            return row.ordinal;
    return name;
}

// Expected control: text NULL means "any text" (the descriptive texts).
struct Expect
{
    int id;
    int x, y, w, h;
    const char *className;
    const char *text;
};

void CheckDialog(HMODULE m, const wchar_t *name, DWORD style, int x, int y, int w, int h,
                 const char *caption, const std::vector<Expect> &want)
{
    std::string bytes = ResourceBytes(m, MAKEINTRESOURCEW(5), name, Chinese);
    ASSERT_FALSE(bytes.empty()) << "no Simplified Chinese dialog " << Utf8FromWide(name);
    Dialog d;
    ASSERT_TRUE(ParseDialog(bytes, &d));
    EXPECT_EQ(style, d.style & (DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    if (x >= 0)   // a centred dialog's own position does not matter
    {
        EXPECT_EQ(x, d.x);
        EXPECT_EQ(y, d.y);
    }
    EXPECT_EQ(w, d.w);
    EXPECT_EQ(h, d.h);
    EXPECT_EQ(caption, d.caption);
    EXPECT_EQ(9, d.pointSize);
    EXPECT_EQ("宋体", d.font);
    ASSERT_EQ(want.size(), d.controls.size());
    for (size_t i = 0; i < want.size(); ++i)
    {
        const Expect &e = want[i];
        const Control &c = d.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(e.id));
        EXPECT_EQ(e.id, c.id);
        EXPECT_EQ(e.x, c.x);
        EXPECT_EQ(e.y, c.y);
        EXPECT_EQ(e.w, c.w);
        EXPECT_EQ(e.h, c.h);
        EXPECT_EQ(e.className, ClassOrdinal(c.className));
        if (e.text != NULL)
            EXPECT_EQ(e.text, c.text);
        else
            EXPECT_FALSE(c.text.empty());
        EXPECT_TRUE(c.style & WS_CHILD);
    }
}

const char *const Button = "#128";
const char *const Static = "#130";
const DWORD Centred = DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;

std::vector<Expect> SetupControls()
{
    const char *types[14] = {"VMZ(&R)", "ZIP(&Z)", "CAB", "ARJ", "LZH", "ACE", "7-Zip",
                             "TAR", "GZip", "UUE", "BZ2", "JAR", "ISO", "Z"};
    std::vector<Expect> v;
    v.push_back({-1, 7, 5, 127, 132, Button, "Velmor 关联文件"});
    for (int row = 0; row < 14; ++row)
        v.push_back({5101 + row, row < 7 ? 16 : 80, 21 + 12 * (row % 7), 37, 12, Button,
                     types[row]});
    v.push_back({-1, 8, 114, 127, 1, Static, ""});
    v.push_back({5121, 16, 119, 108, 14, Button, "全部选择(&A)"});
    v.push_back({-1, 140, 5, 184, 57, Button, "界面"});
    v.push_back({5115, 148, 19, 170, 12, Button, "在桌面创建 Velmor 快捷方式(&D)"});
    v.push_back({5116, 148, 31, 170, 12, Button, "在开始菜单创建 Velmor 快捷方式(&S)"});
    v.push_back({5117, 148, 43, 170, 12, Button, "创建 Velmor 程序组(&P)"});
    v.push_back({5118, 148, 78, 170, 12, Button, "把 Velmor 整合到资源管理器中(&I)"});
    v.push_back({-1, 140, 65, 184, 72, Button, "外壳整合设置"});
    v.push_back({5119, 148, 90, 170, 12, Button, "层叠右键关联菜单(&T)"});
    v.push_back({5120, 148, 102, 170, 12, Button, "在右键关联菜单中显示图标(&N)"});
    v.push_back({5123, 148, 119, 140, 14, Button, "选择关联菜单项目(&C)..."});
    v.push_back({-1, 7, 139, 317, 68, Button, ""});
    v.push_back({5122, 12, 147, 306, 55, "RICHEDIT", NULL});
    v.push_back({1, 111, 214, 50, 14, Button, "确定"});
    v.push_back({9, 169, 214, 50, 14, Button, "帮助"});
    return v;
}

std::vector<Expect> ContextItemControls()
{
    const char *items[11] = {"解压文件(&A)...", "解压到当前文件夹(&X)", "解压到<文件夹\\>(&E)",
                             "解压每个压缩文件到单独的文件夹(&S)", "用 Velmor 打开(用于自解压文件)",
                             "添加到压缩文件中(&A)...", "添加到<压缩文件名>(&T)",
                             "压缩到<压缩文件名>并 E-mail", "压缩并 E-mail...",
                             "测试压缩文件(&R)", "转换压缩文件格式(&V)..."};
    std::vector<Expect> v;
    v.push_back({-1, 7, 7, 229, 154, Button, "选择显示在资源管理器右键菜单中的项目"});
    for (int i = 0; i < 11; ++i)
        v.push_back({101 + i, 16, 21 + 12 * i, 210, 12, Button, items[i]});
    v.push_back({1, 35, 168, 50, 14, Button, "确定"});
    v.push_back({2, 97, 168, 50, 14, Button, "取消"});
    v.push_back({9, 158, 168, 50, 14, Button, "帮助"});
    return v;
}

std::vector<Expect> DoneControls()
{
    std::vector<Expect> v;
    v.push_back({1, 140, 209, 50, 14, Button, "完成"});
    v.push_back({-1, 17, 14, 122, 8, Static, "Velmor 已经成功地安装到文件夹"});
    v.push_back({5101, 142, 14, 172, 8, Static, ""});
    v.push_back({-1, 17, 33, 297, 16, Static, NULL});
    v.push_back({-1, 17, 53, 297, 16, Static, NULL});
    v.push_back({5108, 17, 74, 297, 22, Static, NULL});
    v.push_back({5109, 17, 101, 297, 16, Static, NULL});
    v.push_back({-1, 8, 2, 314, 125, Button, ""});
    v.push_back({5102, 11, 134, 70, 14, Button, "运行 Velmor(&R)"});
    v.push_back({5103, 84, 134, 60, 14, Button, "阅读帮助(&H)"});
    v.push_back({5104, 146, 134, 60, 14, Button, "查看许可(&L)"});
    v.push_back({5105, 208, 134, 60, 14, Button, "定购(&P)"});
    v.push_back({5106, 269, 134, 50, 14, Button, "主页(&M)"});
    v.push_back({-1, 8, 152, 314, 50, Button, ""});
    v.push_back({5107, 17, 173, 297, 8, Static, "感谢使用 Velmor 简体中文版!"});
    return v;
}

TEST(Resources, DialogTemplates)
{
    for (const Binary &b : Binaries)
    {
        SCOPED_TRACE(b.file);
        DataModule m(TestDir() + b.file);
        ASSERT_NE((HMODULE)NULL, m.Handle);
        const DWORD plain = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        {
            SCOPED_TRACE("SETUPDLG");
            CheckDialog(m.Handle, L"SETUPDLG", Centred, -1, -1, 331, 233, "Velmor 简体中文版安装",
                        SetupControls());
        }
        {
            SCOPED_TRACE("CONTEXTITEMS");
            CheckDialog(m.Handle, L"CONTEXTITEMS", plain, 42, 45, 243, 188, "关联菜单项目",
                        ContextItemControls());
        }
        {
            SCOPED_TRACE("DONEDLG");
            CheckDialog(m.Handle, L"DONEDLG", Centred, -1, -1, 331, 228, "Velmor 简体中文版安装",
                        DoneControls());
        }
    }
}

} // namespace
