// The language file uninstall.lng beside the program, read through File.
#include <string.h>

#include "lang/file.h"
#include "lang/langload.h"
#include "lang/langtable.h"
#include "lang/messages.h"
#include "platform/os.h"

void LanguageResources::ReadLanguageText(const char *name)
{
    char path[1024];
    // A cut program path, or one without a folder, gives no file to read.
    if (!GetProgramPath(path, sizeof(path)) || strchr(path, '\\') == NULL)
        return;
    if (!BuildPathBesideProgram(path, sizeof(path), path, name))
        return;
    ReadLanguageFileAt(path);
}

void LanguageResources::ReadLanguageFileAt(const char *path)
{
    File file;
    if (!file.Open(path))
        return;
    ReadLanguageSource(*this, file);
}
