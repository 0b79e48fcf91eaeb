// What the Windows side of the program provides to the pure code, for the
// native builds (sanitizer checks and benchmarks): a lead-byte table that
// starts single-byte (callers may mark lead bytes), the error state and the
// fatal error, which ends the process with its code.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lang/langtable.h"
#include "platform/fatal.h"
#include "platform/text.h"

LeadByteInfo::LeadByteInfo()
{
    memset(Table, 0, sizeof(Table));
}

LeadByteInfo LeadByteTable;
ErrorState ProgramErrorState;
LanguageResources LanguageTable;

void RaiseFatalError(int code)
{
    ProgramErrorState.Code = code;
    fprintf(stderr, "fatal error %d\n", code);
    exit(code);
}
