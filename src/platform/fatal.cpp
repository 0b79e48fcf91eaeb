#include "platform/fatal.h"

#include <windows.h>

void RaiseFatalError(int code)
{
    ProgramErrorState.Code = code;
    ExitProcess((UINT)code);
}
