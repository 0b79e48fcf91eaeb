// A file opened for reading: one Windows handle, closed when the object
// goes. Every Read is one request to the system; there is no buffer here.
#ifndef VELMOR_LANG_FILE_H
#define VELMOR_LANG_FILE_H

#include <stdint.h>
#include <windows.h>

class File
{
public:
    File() : Handle(INVALID_HANDLE_VALUE) {}
    virtual ~File() { Close(); }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // Opens an existing file for sequential reading; others may go on
    // reading and writing it meanwhile.
    bool Open(const char *name);
    // Bytes read, 0 at the end of the file, -1 on failure.
    int32_t Read(void *buffer, int32_t count) { return DirectRead(buffer, count); }
    int64_t Tell();
    bool Seek(int64_t position);
    bool Close();

protected:
    HANDLE Handle;

private:
    int32_t DirectRead(void *buffer, int32_t count);
    bool IsDevice() const;
};

#endif
