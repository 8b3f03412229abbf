#include "PowerPromptDlg.h"

#include "../res/resource.h"

BEGIN_MESSAGE_MAP(CPowerPromptDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDYES, OnYes)
    ON_BN_CLICKED(IDNO, OnNo)
END_MESSAGE_MAP()

CPowerPromptDlg::CPowerPromptDlg(CWnd* pParent)
    : CDialog(IDD_POWERPROMPT, pParent),
      m_bDontShowAgain(0),
      m_nChoice(IDCANCEL),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

void CPowerPromptDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_MESSAGE, m_strMessage);
    DDX_Text(pDX, IDC_QUESTION, m_strQuestion);
    DDX_Check(pDX, IDC_DONT_SHOW_AGAIN, m_bDontShowAgain);
}

BOOL CPowerPromptDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // One template serves every language: the texts come from the string table.
    static const struct {
        int nID;
        UINT nString;
    } labels[] = {
        { IDC_DONT_SHOW_AGAIN, IDS_DONT_SHOW_AGAIN },
        { IDYES, IDS_YES },
        { IDNO, IDS_NO },
        { IDCANCEL, IDS_CANCEL },
    };
    CString strText;
    strText.LoadString(IDS_TITLE);
    SetWindowText(strText);
    for (const auto& label : labels) {
        strText.LoadString(label.nString);
        SetDlgItemText(label.nID, strText);
    }

    // TRUE leaves the first focus to the framework, which gives it to the
    // first tab stop, the No button, through the dialog manager as Windows
    // does: Wine's own first focus would not make No the button Enter presses.
    return TRUE;
}

// Draws the icon should the dialog be iconic: its template has no minimize
// box, so only another program could make it so.
void CPowerPromptDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect = {};
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CPowerPromptDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CPowerPromptDlg::OnYes()
{
    m_nChoice = IDYES;
    CDialog::OnOK();
}

void CPowerPromptDlg::OnNo()
{
    m_nChoice = IDNO;
    CDialog::OnOK();
}
