#include "setup/program.h"

void RunUninstall()
{
}
