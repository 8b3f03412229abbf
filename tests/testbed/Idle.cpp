// idle.exe [FILE]: a program that only waits, to stand for the applications
// a forced restart must close. With FILE it first creates that file, so a
// script can wait for it to run.
#include <windows.h>

#include "tests/testbed/Holders.h"

int main(int argc, char** argv)
{
    if (argc > 1) {
        const CFileHolder file(CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file)
            return 1;
    }
    Sleep(INFINITE);
    return 0;
}
