// The prompt: the settings are not optimal; set them? Yes, No or Cancel, and
// a check box to stop the check at logon.
#pragma once

#include "../framework/afxwin.h"

class CPowerPromptDlg : public CDialog {
public:
    explicit CPowerPromptDlg(CWnd* pParent = nullptr);

    CString m_strMessage;
    CString m_strQuestion;
    BOOL m_bDontShowAgain;
    int m_nChoice;  // IDYES, IDNO, or IDCANCEL when neither button ended the dialog

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnYes();
    void OnNo();

    HICON m_hIcon;

    DECLARE_MESSAGE_MAP()
};
