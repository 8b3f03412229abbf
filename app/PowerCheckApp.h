// The application: one pass from start to exit that checks this machine's
// battery-alarm settings and offers to set the ones that protect data best.
#pragma once

#include "../framework/afxwin.h"
#include "../system/PowerPolicy.h"

// Critical alarm on at 100 % with hibernation and event code 0; low alarm off.
constexpr DischargeSettings kOptimumDischargeSettings = { 1, 0, 100, 3, 0 };

// Running applications are closed without asking.
constexpr UINT kRestartFlags = EWX_REBOOT | EWX_FORCE;

class CPowerCheckApp : public CWinApp {
public:
    CPowerCheckApp() = default;

    // Runs the whole check; always FALSE, so no message loop follows.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
