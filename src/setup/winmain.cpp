#include <windows.h>

#include "setup/program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunProgram(instance, commandLine);
}
