// trust_probe FILE...: what WinVerifyTrust answers for each file, one
// line each in hex (0x00000000: a good signature), asked as Explorer asks
// it: the generic Authenticode action, no window, no revocation check.
#include <windows.h>

#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        wchar_t path[MAX_PATH] = {};
        if (!MultiByteToWideChar(CP_ACP, 0, argv[i], -1, path, MAX_PATH))
            return 2;
        WINTRUST_FILE_INFO file = {};
        file.cbStruct = sizeof(file);
        file.pcwszFilePath = path;
        WINTRUST_DATA data = {};
        data.cbStruct = sizeof(data);
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &file;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
        std::printf("0x%08lX\n", static_cast<unsigned long>(result));
    }
    return 0;
}
