#include "app/AppStrings.h"

CString LoadResString(UINT nID) {
    CString text;
    if (HINSTANCE module = AfxFindStringResourceHandle(nID))
        text.LoadString(module, nID);
    return text;
}

CString IntToString(int value) {
    CString text;
    text.Format(L"%d", value);
    return text;
}
