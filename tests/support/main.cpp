#include <stdio.h>

#include <gtest/gtest.h>

#include "support/testutil.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof(v);
    GetVersionExA(&v);
    printf("test group: Wine version %s, ANSI code page %u, Windows %lu.%lu platform %lu\n",
           ExpectedWinVersion().c_str(), GetACP(), (unsigned long)v.dwMajorVersion,
           (unsigned long)v.dwMinorVersion, (unsigned long)v.dwPlatformId);
    return RUN_ALL_TESTS();
}
