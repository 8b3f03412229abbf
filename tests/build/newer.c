/* Programs Windows 2000 could not load, for the import checker to reject. */
#include <windows.h>

int main(void)
{
#ifdef CALL_VISTA_FUNCTION
    return (int)GetTickCount64();
#else
    return 0;
#endif
}
