// CCmdTarget: the root of everything with a message map.
#pragma once

#include "AfxDefs.h"
#include "MessageMap.h"

class CCmdTarget : public CObject {
public:
    // Routes a command (nCode CN_COMMAND or a control notification code) or a
    // notification (nCode = MAKELONG(code, WM_NOTIFY), pExtra an AFX_NOTIFY*)
    // to this object's message map. TRUE when a handler took it.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // The first entry along the map chain for which match(entry) holds.
    template <class Match>
    const AFX_MSGMAP_ENTRY* FindMessageEntry(Match match) const {
        for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
            for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfn; ++e) {
                if (match(*e))
                    return e;
            }
        }
        return nullptr;
    }
};
