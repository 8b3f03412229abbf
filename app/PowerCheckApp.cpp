#include "PowerCheckApp.h"

#include "../messages/Messages.h"
#include "../system/Probes.h"
#include "../system/RegistryEdits.h"
#include "../ui/PowerPromptDlg.h"

BEGIN_MESSAGE_MAP(CPowerCheckApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

namespace {

bool IsOptimum(const DischargeSettings& s)
{
    const DischargeSettings& o = kOptimumDischargeSettings;
    return s.dwCriticalAlarmEnabled == o.dwCriticalAlarmEnabled &&
           s.dwLowAlarmEnabled == o.dwLowAlarmEnabled &&
           s.dwCriticalLevel == o.dwCriticalLevel &&
           s.dwCriticalAction == o.dwCriticalAction &&
           s.dwCriticalEventCode == o.dwCriticalEventCode;
}

}  // namespace

BOOL CPowerCheckApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CString strTitle;
    strTitle.LoadString(IDS_TITLE);

    CServiceQuery serviceQuery;
    CString strDriverFile("DIVURUVA.dor");
    CString strServiceName("cmbatt");
    COSVersionInfo osVersion;
    bool bRestart = false;

    // Does this machine qualify? Each "no" ends the check silently.
    if (!osVersion.m_bWinNT || osVersion.m_osvi.dwMajorVersion != 5)
        return FALSE;
    if (!IsAdministrator())
        return FALSE;
    if (!serviceQuery.UsesDriverFile(strServiceName, strDriverFile))
        return FALSE;

    // Without hibernation the alarms cannot be optimal, whatever they hold.
    HibernateState hibernate = IsHibernateAllowed();
    if (hibernate == HibernateState::Failed)
        return FALSE;
    if (hibernate == HibernateState::Allowed) {
        DischargeSettings settings = {};
        if (!ReadDischargeSettings(settings))
            return FALSE;
        if (IsOptimum(settings))
            return FALSE;
    }

    CPowerPromptDlg dlg;
    dlg.m_strMessage.LoadString(IDS_NOT_OPTIMAL);
    dlg.m_strQuestion.LoadString(IDS_ASK_OPTIMUM);
    if (dlg.DoModal() != IDOK)
        return FALSE;

    // The Heuristics flag goes first, then the policy, then the question.
    if (dlg.m_nChoice == IDYES && SetHeuristicsFlag(TRUE) &&
        WriteDischargeSettings(kOptimumDischargeSettings)) {
        CString strAskRestart;
        strAskRestart.LoadString(IDS_ASK_RESTART);
        bRestart = ::MessageBoxA(nullptr, strAskRestart, strTitle, MB_ICONQUESTION | MB_YESNO) == IDYES;
    }

    // A value that cannot be removed would start the check again at the next
    // logon; the user has been told, and no restart follows.
    if (dlg.m_bDontShowAgain == 1 && !RemoveAutostartEntry())
        return FALSE;

    if (bRestart)
        RestartSystem(kRestartFlags);
    return FALSE;
}
