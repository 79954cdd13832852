#include "app/settings/QuickBarHook.h"

namespace {
// Set and used on the user-interface thread only.
IQuickBarHook* g_quickBarHook = nullptr;
}  // namespace

void SetQuickBarHook(IQuickBarHook* hook) { g_quickBarHook = hook; }

void HandToQuickBar(QuickSwitch which, int value)
{
    if (g_quickBarHook)
        g_quickBarHook->SetSwitch(which, value);
}
