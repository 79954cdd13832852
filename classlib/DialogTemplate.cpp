#include "DialogTemplate.h"

#include <cstring>
#include <cwchar>

namespace {

// Reads a template field by field, never past `size` bytes.
class Reader {
public:
    Reader(const BYTE* p, size_t size) : m_p(p), m_size(size) {}

    size_t pos() const { return m_pos; }
    bool Skip(size_t n) {
        if (n > m_size - m_pos)
            return false;
        m_pos += n;
        return true;
    }
    bool Word(WORD& value) {
        if (m_size - m_pos < 2)
            return false;
        std::memcpy(&value, m_p + m_pos, 2);
        m_pos += 2;
        return true;
    }
    bool AlignTo(size_t n) {
        size_t aligned = (m_pos + n - 1) / n * n;
        if (aligned > m_size)
            return false;
        m_pos = aligned;
        return true;
    }
    // A name or an ordinal: 0 (none), 0xFFFF followed by a number, or text.
    bool NameOrOrdinal() {
        WORD first = 0;
        if (!Word(first))
            return false;
        if (first == 0xFFFF)
            return Skip(2);
        return first == 0 || String();
    }
    // The rest of a zero-terminated UTF-16 string whose first unit was read.
    bool String() {
        for (WORD unit = 1; unit;) {
            if (!Word(unit))
                return false;
        }
        return true;
    }
    bool WholeString() {
        WORD first = 0;
        return Word(first) && (first == 0 || String());
    }

private:
    const BYTE* m_p;
    size_t m_size;
    size_t m_pos = 0;
};

DWORD ReadDword(const BYTE* p) {
    DWORD value = 0;
    std::memcpy(&value, p, 4);
    return value;
}

size_t AlignUp(size_t n) {
    return (n + 3) & ~size_t(3);
}

constexpr size_t kHeaderSize = 18;      // DLGTEMPLATE
constexpr size_t kHeaderSizeEx = 26;    // DLGTEMPLATEEX up to its size fields
constexpr size_t kItemSize = 18;        // DLGITEMTEMPLATE
constexpr size_t kItemSizeEx = 24;      // DLGITEMTEMPLATEEX up to its id
constexpr size_t kFontExtraEx = 4;      // weight, italic and charset before the face

}  // namespace

bool CDialogTemplate::Parse(const BYTE* p, size_t available, Layout& layout) {
    if (!p || available < kHeaderSize)
        return false;
    WORD version = 0, signature = 0;
    std::memcpy(&version, p, 2);
    std::memcpy(&signature, p + 2, 2);
    layout.ex = version == 1 && signature == 0xFFFF;
    const size_t headerSize = layout.ex ? kHeaderSizeEx : kHeaderSize;
    if (available < headerSize)
        return false;
    layout.styleOffset = layout.ex ? 12 : 0;
    const DWORD style = ReadDword(p + layout.styleOffset);
    WORD count = 0;
    std::memcpy(&count, p + (layout.ex ? 16 : 8), 2);

    Reader r(p, available);
    if (!r.Skip(headerSize) || !r.NameOrOrdinal() || !r.NameOrOrdinal() || !r.WholeString())
        return false;
    layout.fontOffset = r.pos();
    if (style & DS_SETFONT) {
        if (!r.Skip(2 + (layout.ex ? kFontExtraEx : 0)) || !r.WholeString())
            return false;
    }
    layout.fontEnd = r.pos();
    layout.itemsOffset = AlignUp(layout.fontEnd);
    layout.end = layout.fontEnd;
    for (WORD i = 0; i < count; ++i) {
        WORD extra = 0;
        if (!r.AlignTo(4) || !r.Skip(layout.ex ? kItemSizeEx : kItemSize) || !r.NameOrOrdinal() ||
            !r.NameOrOrdinal() || !r.Word(extra) || !r.Skip(extra))
            return false;
        layout.end = r.pos();
    }
    if (count && layout.itemsOffset > available)
        return false;
    return true;
}

size_t CDialogTemplate::TemplateSize(const void* data, size_t available) {
    Layout layout;
    return Parse(static_cast<const BYTE*>(data), available, layout) ? layout.end : 0;
}

bool CDialogTemplate::SetTemplate(const void* data, size_t available) {
    const size_t size = TemplateSize(data, available);
    if (!size) {
        m_data.clear();
        return false;
    }
    const BYTE* p = static_cast<const BYTE*>(data);
    m_data.assign(p, p + size);
    return true;
}

bool CDialogTemplate::IsEx() const {
    Layout layout;
    return Parse(m_data.data(), m_data.size(), layout) && layout.ex;
}

bool CDialogTemplate::GetFont(CString& strFaceName, WORD& nFontSize) const {
    Layout layout;
    if (!Parse(m_data.data(), m_data.size(), layout) || layout.fontEnd == layout.fontOffset)
        return false;
    std::memcpy(&nFontSize, m_data.data() + layout.fontOffset, 2);
    const size_t face = layout.fontOffset + 2 + (layout.ex ? kFontExtraEx : 0);
    std::wstring name;
    for (size_t at = face; at + 2 <= layout.fontEnd; at += 2) {
        WORD unit = 0;
        std::memcpy(&unit, m_data.data() + at, 2);
        if (!unit)
            break;
        name += static_cast<wchar_t>(unit);
    }
    strFaceName = name.c_str();
    return true;
}

bool CDialogTemplate::SetFont(LPCWSTR lpszFaceName, WORD nFontSize) {
    Layout layout;
    if (!lpszFaceName || !Parse(m_data.data(), m_data.size(), layout))
        return false;
    const BYTE* old = m_data.data();

    // weight, italic, charset: kept from an extended template's old font
    BYTE extra[kFontExtraEx] = {0x90, 0x01, 0, DEFAULT_CHARSET};  // FW_NORMAL
    if (layout.ex && layout.fontEnd > layout.fontOffset)
        std::memcpy(extra, old + layout.fontOffset + 2, kFontExtraEx);

    std::vector<BYTE> out(old, old + layout.fontOffset);
    DWORD style = ReadDword(old + layout.styleOffset) | DS_SETFONT;
    std::memcpy(out.data() + layout.styleOffset, &style, 4);
    out.push_back(static_cast<BYTE>(nFontSize & 0xFF));
    out.push_back(static_cast<BYTE>(nFontSize >> 8));
    if (layout.ex)
        out.insert(out.end(), extra, extra + kFontExtraEx);
    for (const wchar_t* c = lpszFaceName;; ++c) {
        out.push_back(static_cast<BYTE>(*c & 0xFF));
        out.push_back(static_cast<BYTE>((*c >> 8) & 0xFF));
        if (!*c)
            break;
    }
    // Items start on a DWORD boundary; moving the whole block from one
    // boundary to another keeps every item's own alignment.
    if (layout.end > layout.fontEnd) {
        out.resize(AlignUp(out.size()), 0);
        out.insert(out.end(), old + layout.itemsOffset, old + layout.end);
    }
    m_data.swap(out);
    return true;
}

bool CDialogTemplate::WriteTo(void* buffer, size_t capacity) const {
    if (!buffer || m_data.empty() || m_data.size() > capacity)
        return false;
    std::memcpy(buffer, m_data.data(), m_data.size());
    return true;
}
