// The work area's string-table texts (it sits below the application, whose
// LoadResString it cannot reach).
#pragma once

#include "Afx.h"

// The text of string `nID`; empty when there is none.
inline CString LoadText(UINT nID) {
    CString text;
    text.LoadString(nID);
    return text;
}
