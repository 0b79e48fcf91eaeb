// The program's one fatal error of its own making: memory for the language
// file's line index could not be had. The run ends there, with the code as
// the process exit code and no message.
#ifndef VELMOR_PLATFORM_FATAL_H
#define VELMOR_PLATFORM_FATAL_H

enum { FatalOutOfMemory = 8 };

class ErrorState
{
public:
    ErrorState() : Code(0) {}
    int Code;   // code of the fatal error raised, 0 while none
};

extern ErrorState ProgramErrorState;

// Records the code and ends the process; does not return.
[[noreturn]] void RaiseFatalError(int code);

#endif
