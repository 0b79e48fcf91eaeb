#include "lang/messages.h"

#include <string.h>

#include "lang/langtable.h"
#include "platform/os.h"
#include "platform/text.h"

HINSTANCE ResourceInstance = NULL;
HINSTANCE ExeInstance = NULL;

static char MsgRing[MsgRingSize][MsgBufferSize];
static int MsgRingPos = 0;

bool BuildPathBesideProgram(char *dst, size_t size, const char *programPath,
                            const char *fileName)
{
    if (!CopyWhole(dst, programPath, size))
        return false;
    *PointToName(dst) = 0;
    if (!AppendWhole(dst, fileName, size))
    {
        dst[0] = 0;
        return false;
    }
    return true;
}

void ExtResource::LoadLangModule(HINSTANCE exeInstance)
{
    FreeLangModule();
    char path[1024];
    HINSTANCE h = NULL;
    // A program path that fills the buffer is cut; a module name built on
    // it could name another file, so no module is loaded then.
    if (GetProgramPath(path, sizeof(path)) &&
        BuildPathBesideProgram(path, sizeof(path), path, "vmzlng.dll"))
        h = LoadLibraryA(path);
    ResourceInstance = h != NULL ? h : exeInstance;
    Loaded = h != NULL;
    ExeInstance = exeInstance;
}

void ExtResource::FreeLangModule()
{
    if (!Loaded)
        return;
    FreeLibrary(ResourceInstance);
    ResourceInstance = ExeInstance;
    Loaded = false;
}

const char *GetMsg(int id)
{
    MsgRingPos = (MsgRingPos + 1) % MsgRingSize;
    char *buf = MsgRing[MsgRingPos];
    buf[0] = 0;
    // While a language file is loaded its keys are the program's own
    // texts, so the language module's strings are not used then.
    if (LanguageTable.IsLoaded())
        LoadStringA(ExeInstance, (UINT)id, buf, MsgBufferSize);
    else if (LoadStringA(ResourceInstance, (UINT)id, buf, MsgBufferSize) == 0)
        LoadStringA(ExeInstance, (UINT)id, buf, MsgBufferSize);
    buf[MsgBufferSize - 1] = 0;
    LanguageTable.Translate(buf, buf, MsgBufferSize, NULL, KindMessage);
    return buf;
}

void LanguageResources::DetectTextDirection()
{
    // A language module declares a right-to-left language by a dialog
    // resource named "RTL"; a language file by the entry of "$LTRLTR".
    if (FindResourceA(ResourceInstance, "RTL", MAKEINTRESOURCEA(5)) != NULL)
    {
        Rtl = true;
        return;
    }
    char buf[1024];
    Translate("LTR", buf, sizeof(buf), "LTR", KindDialog);
    Rtl = strcmp(buf, "RTL") == 0;
}

void LoadLanguageFile(const char *name)
{
    LanguageTable.ReadLanguageText(name);
    LanguageTable.DetectTextDirection();
}
