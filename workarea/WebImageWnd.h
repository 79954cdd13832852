// The web image window: a modeless top-level window from template 253,
// created hidden and shown on command. Its contents come with the web tools.
// The main dialog creates and deletes it; it never deletes itself.
#pragma once

#include "Afx.h"

class CWebImageWnd : public CDialog {
public:
    CWebImageWnd();
    ~CWebImageWnd() override;

    // Creates the window from its template, without a parent, hidden.
    BOOL Create();

protected:
    BOOL OnInitDialog() override;
    // Closing only hides the window; it lives as long as its owner.
    void OnOK() override;
    void OnCancel() override;
};
