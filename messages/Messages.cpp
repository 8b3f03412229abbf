#include "Messages.h"

#include "../framework/afxwin.h"
#include "../res/resource.h"
#include "Holders.h"

void ShowErrorBox(LPCSTR text)
{
    CString strCaption;
    strCaption.LoadString(IDS_TITLE);
    ::MessageBoxA(nullptr, text, strCaption, MB_ICONERROR);
}

void ShowRegistryError()
{
    CString strText;
    strText.LoadString(IDS_REGISTRY_ERROR);
    ShowErrorBox(strText);
}

void ReportError(DWORD code)
{
    CString strText;
    if (code == 0) {
        strText.LoadString(IDS_DRIVER_NOT_FOR_DEVICE);
        ShowErrorBox(strText);
        return;
    }

    CLocalHolder<LPSTR> buffer;
    DWORD nChars = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, reinterpret_cast<LPSTR>(buffer.Put()),
                                    0, nullptr);
    if (nChars == 0 || buffer.Get() == nullptr || buffer.Get()[0] == '\0') {
        strText.Format("Unknown Error 0x%X", code);
        ShowErrorBox(strText);
        return;
    }
    // The system's buffer lives until the box is dismissed.
    ShowErrorBox(buffer.Get());
}
