// A small stand-in for the parts of MFC 4.2 this program uses: the application
// object and its entry, the modal dialog with data exchange and message map,
// and the 8-bit string with string-table loading. Names and semantics follow
// MFC for exactly those parts, with one limit MFC lacks (see Format); nothing
// else of MFC is here.
#pragma once

#include <windows.h>

#define AFXAPI __stdcall
#define ID_HELP 0xE146

class CWinApp;
class CWnd;

// ---------------------------------------------------------------------------
// CString: an owning 8-bit string in the ANSI code page.
class CString {
public:
    CString();
    CString(LPCSTR psz);
    CString(const CString& other);
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(LPCSTR psz);

    operator LPCSTR() const { return m_pchData; }
    int GetLength() const;

    // Loads string-table entry nID of the user's language, converted to the
    // ANSI code page. Empty and FALSE when there is no such entry.
    BOOL LoadString(UINT nID);
    // MFC grows the string to fit; this one keeps the first 1,023 bytes, more
    // than any of the program's texts with an error code in it needs.
    void Format(LPCSTR pszFormat, ...);

    LPSTR GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    void Assign(LPCSTR psz, int nLength);
    void Release();

    LPSTR m_pchData;
};

// Compare contents, as MFC does: without these a comparison with a literal
// would quietly compare pointers.
inline bool operator==(const CString& s1, LPCSTR s2) { return lstrcmpA(s1, s2) == 0; }
inline bool operator!=(const CString& s1, LPCSTR s2) { return !(s1 == s2); }

// ---------------------------------------------------------------------------
// Message maps.
class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

enum AfxSig {
    AfxSig_end = 0,
    AfxSig_vv,  // void (void)
    AfxSig_hv,  // HCURSOR (void), the answer to WM_QUERYDRAGICON
};

union AfxMessageMapFunctions {
    AFX_PMSG pfn;                   // AfxSig_vv
    HCURSOR (CCmdTarget::*pfn_hv)();  // AfxSig_hv
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;  // notification code of WM_COMMAND, 0 otherwise
    UINT nID;    // control or command id of WM_COMMAND, 0 otherwise
    AfxSig nSig;
    AfxMessageMapFunctions fn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                        \
protected:                                           \
    static const AFX_MSGMAP* GetThisMessageMap();    \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                  \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                             \
    {                                                                           \
        typedef theClass ThisClass;                                             \
        typedef baseClass TheBaseClass;                                         \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                  \
            { 0, 0, 0, AfxSig_end, { nullptr } }                           \
        };                                                                 \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, \
                                               &_messageEntries[0] };      \
        return &messageMap;                                                \
    }

#define AFX_VV(memberFxn) { static_cast<AFX_PMSG>(&ThisClass::memberFxn) }

#define ON_COMMAND(id, memberFxn) { WM_COMMAND, 0, (UINT)(id), AfxSig_vv, AFX_VV(memberFxn) },
#define ON_BN_CLICKED(id, memberFxn) { WM_COMMAND, BN_CLICKED, (UINT)(id), AfxSig_vv, AFX_VV(memberFxn) },
#define ON_WM_PAINT() { WM_PAINT, 0, 0, AfxSig_vv, AFX_VV(OnPaint) },
#define ON_WM_QUERYDRAGICON()                                                     \
    { WM_QUERYDRAGICON, 0, 0, AfxSig_hv,                                          \
      { .pfn_hv = static_cast<HCURSOR (CCmdTarget::*)()>(&ThisClass::OnQueryDragIcon) } },

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Runs the handler that the message map has for a command; FALSE if none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    CCmdTarget() = default;
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    static const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* pMap, UINT nMessage,
                                             UINT nCode, UINT nID);
};

// ---------------------------------------------------------------------------
// The application object and its entry.
class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    HINSTANCE m_hInstance = nullptr;

    void OnHelp();

protected:
    // Turning on 3-D controls took a separate library on the oldest systems;
    // on Windows 2000 every control is three-dimensional already.
    BOOL Enable3dControls() { return TRUE; }

    DECLARE_MESSAGE_MAP()
};

CWinApp* AFXAPI AfxGetApp();
HINSTANCE AFXAPI AfxGetInstanceHandle();
HINSTANCE AFXAPI AfxGetResourceHandle();
int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// The program hosts no ActiveX controls, so there is no container to set up.
inline void AfxEnableControlContainer() {}

// ---------------------------------------------------------------------------
// Windows and the modal dialog.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    HWND PrepareCtrl(int nIDC);

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value);

class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    void SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
    void SetDlgItemText(int nID, LPCSTR lpszString) { ::SetDlgItemTextA(m_hWnd, nID, lpszString); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return (HICON)SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, (LPARAM)hIcon);
    }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    void OnPaint() { Default(); }

    // Leaves the message being handled to the system's default processing.
    void Default() { m_bDefault = TRUE; }
    BOOL m_bDefault = FALSE;
};

// Paints inside BeginPaint and EndPaint for the lifetime of the object.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();

    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps;
    HDC m_hDC;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // IDOK or IDCANCEL (or what EndDialog was given); -1 when the dialog
    // could not be created; 0 when the window library could not be loaded
    // (the late-bound thunk answers zero, not -1).
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    BOOL OnCmdMsg(UINT nID, int nCode) override;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void CenterOnScreenIfUnplaced(const RECT& rectBefore);
    BOOL FocusFirstTabStop();
};
