#include "lang/localize.h"

// For now a dialog keeps its resource texts, size and direction.

void ApplyRtlLayout(HWND)
{
}

void LocalizeDialog(const char *, HWND)
{
}
