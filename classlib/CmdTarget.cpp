#include "CmdTarget.h"

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, 0, nullptr, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, void*) {
    UINT kind = AfxEntry_Command;
    UINT code = static_cast<WORD>(nCode);
    NMHDR* pNMHDR = nullptr;
    LRESULT dummy = 0;
    LRESULT* pResult = &dummy;
    if (HIWORD(static_cast<DWORD>(nCode)) == WM_NOTIFY) {
        kind = AfxEntry_Notify;
        auto* notify = static_cast<AFX_NOTIFY*>(pExtra);
        if (!notify)
            return FALSE;
        pNMHDR = notify->pNMHDR;
        if (notify->pResult)
            pResult = notify->pResult;
    } else if (HIWORD(static_cast<DWORD>(nCode)) != 0) {
        return FALSE;  // update-UI and other routing codes have no entries here
    }
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry([&](const AFX_MSGMAP_ENTRY& x) {
        return x.nKind == kind && x.nCode == code && nID >= x.nID && nID <= x.nLastID;
    });
    if (!e)
        return FALSE;
    return e->pfn(this, nID, reinterpret_cast<LPARAM>(pNMHDR), pResult) ? TRUE : FALSE;
}
