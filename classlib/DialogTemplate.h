// CDialogTemplate: an editable copy of an in-memory dialog template, in either
// layout (DLGTEMPLATE or DLGTEMPLATEEX). Changing the font resizes the header,
// so the items that follow are moved to the next DWORD boundary again.
#pragma once

#include "AfxDefs.h"
#include "String.h"

#include <cstddef>
#include <vector>

class CDialogTemplate {
public:
    // The size in bytes of the template at `data`, items included, read no
    // further than `available` bytes; 0 when it is malformed or cut short.
    static size_t TemplateSize(const void* data, size_t available);

    // Copies a template; false (and nothing kept) when it is malformed.
    bool SetTemplate(const void* data, size_t available);

    // Gives the template the face and point size, adding DS_SETFONT when it
    // had no font. An extended template keeps its weight, italic and charset.
    bool SetFont(LPCWSTR lpszFaceName, WORD nFontSize);
    // False when the template names no font.
    bool GetFont(CString& strFaceName, WORD& nFontSize) const;

    bool IsEx() const;
    const BYTE* Data() const { return m_data.data(); }
    size_t Size() const { return m_data.size(); }

    // Copies the template over a buffer of `capacity` bytes; false (buffer
    // untouched) when it does not fit.
    bool WriteTo(void* buffer, size_t capacity) const;

private:
    struct Layout {
        bool ex = false;
        size_t styleOffset = 0;
        size_t fontOffset = 0;  // where the font block starts (or would start)
        size_t fontEnd = 0;     // == fontOffset when there is none
        size_t itemsOffset = 0; // first item, DWORD aligned
        size_t end = 0;         // end of the last item
    };
    static bool Parse(const BYTE* p, size_t available, Layout& layout);

    std::vector<BYTE> m_data;
};
