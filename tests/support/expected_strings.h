// The program's own string table as the tests expect it, in UTF-8.
#ifndef VELMOR_TESTS_EXPECTED_STRINGS_H
#define VELMOR_TESTS_EXPECTED_STRINGS_H

#include <string>

struct ExpectedString
{
    int id;
    const char *text;
};

const ExpectedString ExpectedStrings[] = {
    {5101, "Velmor 压缩文件管理器"},
    {5102, "Velmor 中文帮助"},
    {5103, "控制台 VMZ 中文手册"},
    {5104, "卸载 Velmor"},
    {5105, "卸载已完成"},
    {5106, "你应该手动删除 %s"},
    {5107, "确实要卸载 Velmor 吗?"},
    {5108, "无法打开列表文件 %s"},
    {5109, "Velmor 压缩文件"},
    {5110, "Velmor ZIP 压缩文件"},
    {5111, "VMZ 恢复卷"},
    {5112, "https://www.velmor.example/"},
    {5113, "处理 VMZ、ZIP 和其他压缩格式"},
    {5114, "你需要重新启动 Windows 来完全卸载 Velmor。"},
};

// The expected text of a string-table entry in the ANSI code page; empty
// for an unknown id.
std::string ExpectedAnsi(int id);

#endif
