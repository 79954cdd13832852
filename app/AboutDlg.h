// The about box, opened from the main dialog's system menu.
#pragma once

#include "Afx.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    BOOL OnInitDialog() override;
};
