#include "afxwin.h"

namespace {
CWinApp* g_pApp = nullptr;
}

// ---------------------------------------------------------------------------
// Message maps

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, AfxSig_end, { nullptr } } };
    static const AFX_MSGMAP messageMap = { nullptr, &entries[0] };
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(const AFX_MSGMAP* pMap, UINT nMessage,
                                              UINT nCode, UINT nID)
{
    // The derived class's entries come first, so they override the base's.
    for (; pMap != nullptr; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* p = pMap->lpEntries; p->nSig != AfxSig_end; ++p) {
            if (p->nMessage == nMessage && p->nCode == nCode && p->nID == nID)
                return p;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    const AFX_MSGMAP_ENTRY* pEntry = FindEntry(GetMessageMap(), WM_COMMAND, nCode, nID);
    if (pEntry == nullptr || pEntry->nSig != AfxSig_vv)
        return FALSE;
    (this->*pEntry->fn.pfn)();
    return TRUE;
}

// ---------------------------------------------------------------------------
// The application

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp()
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

// The program ships no help file: a help request has nothing to open.
void CWinApp::OnHelp()
{
}

CWinApp* AFXAPI AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AFXAPI AfxGetInstanceHandle()
{
    return g_pApp != nullptr && g_pApp->m_hInstance != nullptr ? g_pApp->m_hInstance
                                                              : GetModuleHandleA(nullptr);
}

HINSTANCE AFXAPI AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->m_hInstance = hInstance;

    // This program does all its work in InitInstance and answers FALSE, so
    // no message loop of the application's own is ever needed.
    pApp->InitInstance();
    return pApp->ExitInstance();
}
