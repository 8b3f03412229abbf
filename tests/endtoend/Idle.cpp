// idle.exe: a program that only waits, to stand for the applications a
// forced restart must close.
#include <windows.h>

int main()
{
    Sleep(INFINITE);
    return 0;
}
