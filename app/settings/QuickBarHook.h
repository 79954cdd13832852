// The option pages hand a few switches to the quick options bar, which lives in
// the panes library that the settings cannot link. The bar installs itself here;
// without a bar the hand-off does nothing.
#pragma once

enum class QuickSwitch { EditedChecked, WaterMark, MouseCursor };

class IQuickBarHook {
public:
    // Shows `value` (0 or 1) on the switch's check static, which also writes its key.
    virtual void SetSwitch(QuickSwitch which, int value) = 0;

protected:
    ~IQuickBarHook() = default;
};

// The bar registers on creation and unregisters (nullptr) before it is destroyed.
void SetQuickBarHook(IQuickBarHook* hook);
void HandToQuickBar(QuickSwitch which, int value);
