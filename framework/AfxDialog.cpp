#include "afxwin.h"

// ---------------------------------------------------------------------------
// Data exchange

void CWnd::DoDataExchange(CDataExchange*)
{
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hCtrl = pDX->PrepareCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextA(hCtrl, value);
        return;
    }
    int nLength = ::GetWindowTextLengthA(hCtrl);
    LPSTR pBuf = value.GetBuffer(nLength);
    if (pBuf == nullptr)
        return;
    ::GetWindowTextA(hCtrl, pBuf, nLength + 1);
    value.ReleaseBuffer();
}

void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(hCtrl, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(hCtrl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

// ---------------------------------------------------------------------------
// Painting

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd), m_ps()
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

// ---------------------------------------------------------------------------
// The modal dialog

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

// -1 when the dialog cannot be made, 0 when the window library cannot be
// bound (afxlate.h): neither is IDOK, the one answer the program acts on.
INT_PTR CDialog::DoModal()
{
    HWND hWndParent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    INT_PTR nResult = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                                        hWndParent, DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return nResult;
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    // Commands the dialog does not handle go on to the application.
    CWinApp* pApp = AfxGetApp();
    return nCode == 0 && pApp != nullptr && pApp->OnCmdMsg(nID, nCode);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* pDlg;
    if (message == WM_INITDIALOG) {
        pDlg = reinterpret_cast<CDialog*>(lParam);
        pDlg->m_hWnd = hWnd;
        // Without the object behind it no button of the dialog would ever
        // answer: end it at once rather than leave it up for good.
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        if (::GetWindowLongPtrA(hWnd, DWLP_USER) != lParam) {
            ::EndDialog(hWnd, -1);
            return FALSE;
        }
    } else {
        pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
        if (pDlg == nullptr)
            return FALSE;
    }
    return pDlg->WindowProc(message, wParam, lParam);
}

INT_PTR CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        RECT rectBefore = {};
        ::GetWindowRect(m_hWnd, &rectBefore);
        BOOL bResult = OnInitDialog();
        CenterOnScreenIfUnplaced(rectBefore);
        if (bResult)
            bResult = !FocusFirstTabStop();
        return bResult;
    }
    if (message == WM_COMMAND)
        return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));

    const AFX_MSGMAP_ENTRY* pEntry = FindEntry(GetMessageMap(), message, 0, 0);
    if (pEntry == nullptr)
        return FALSE;
    // These messages answer through the dialog procedure's own result.
    if (pEntry->nSig == AfxSig_hv)
        return reinterpret_cast<INT_PTR>((this->*pEntry->fn.pfn_hv)());
    m_bDefault = FALSE;
    (this->*pEntry->fn.pfn)();
    return !m_bDefault;
}

// The focus that OnInitDialog leaves to the system: the first tab stop. It is
// given through the dialog manager, as Windows itself does, so that a push
// button there also becomes the button Enter presses; Wine's own first focus
// skips that step. TRUE when the focus was given.
BOOL CDialog::FocusFirstTabStop()
{
    HWND hWndFirst = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    if (hWndFirst == nullptr)
        return FALSE;
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hWndFirst), TRUE);
    return TRUE;
}

// A template placed at 0, 0 leaves the position to the framework: centre the
// dialog over its owner, or over the screen's work area when it has none,
// unless OnInitDialog has already shown or moved it.
void CDialog::CenterOnScreenIfUnplaced(const RECT& rectBefore)
{
    RECT rect = {};
    ::GetWindowRect(m_hWnd, &rect);
    if (::IsWindowVisible(m_hWnd) || rect.left != rectBefore.left || rect.top != rectBefore.top)
        return;

    RECT rectArea = {};
    HWND hWndOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hWndOwner != nullptr)
        ::GetWindowRect(hWndOwner, &rectArea);
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rectArea, 0);

    int x = rectArea.left + ((rectArea.right - rectArea.left) - (rect.right - rect.left)) / 2;
    int y = rectArea.top + ((rectArea.bottom - rectArea.top) - (rect.bottom - rect.top)) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
