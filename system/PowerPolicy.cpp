#include "PowerPolicy.h"

// Placeholders until the power policy access is built.

HibernateState IsHibernateAllowed()
{
    return HibernateState::Failed;
}

BOOL ReadDischargeSettings(DischargeSettings&)
{
    return FALSE;
}

BOOL WriteDischargeSettings(const DischargeSettings&)
{
    return FALSE;
}
