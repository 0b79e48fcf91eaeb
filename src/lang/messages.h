// Message strings: the language module holder, the module-handle globals
// and GetMsg.
#ifndef VELMOR_LANG_MESSAGES_H
#define VELMOR_LANG_MESSAGES_H

#include <windows.h>

enum { MsgBufferSize = 512, MsgRingSize = 8 };

// Holder of the optional language module vmzlng.dll beside the program.
class ExtResource
{
public:
    ExtResource() : Loaded(false) {}
    ~ExtResource() { FreeLangModule(); }
    ExtResource(const ExtResource &) = delete;
    ExtResource &operator=(const ExtResource &) = delete;

    // Loads vmzlng.dll from the program's folder; sets ResourceInstance
    // (the module, or exeInstance without one) and ExeInstance.
    void LoadLangModule(HINSTANCE exeInstance);
    // Releases the module; from then on ResourceInstance is ExeInstance.
    void FreeLangModule();

    bool Loaded;
};

extern ExtResource LanguageModule;
extern HINSTANCE ResourceInstance;   // dialogs, icon and (first choice) strings
extern HINSTANCE ExeInstance;        // the program's own resources

// The localized text of a string-table entry, in one of 8 ring buffers of
// 512 bytes: valid until 8 further calls.
const char *GetMsg(int id);

// Reads uninstall.lng beside the program into LanguageTable, then decides
// the text direction.
void LoadLanguageFile(const char *name);

// The path of a file beside this program; false (and dst empty) when the
// whole path does not fit.
bool BuildPathBesideProgram(char *dst, size_t size, const char *programPath,
                            const char *fileName);

#endif
