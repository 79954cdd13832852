#include "app/capture/FallbackText.h"

#include "app/capture/ScopedGdi.h"

#include <algorithm>
#include <cwchar>
#include <mutex>

namespace {

int CALLBACK CollectFace(const LOGFONTW* logFont, const TEXTMETRICW*, DWORD, LPARAM param) {
    auto* list = reinterpret_cast<std::vector<std::wstring>*>(param);
    // '@' faces are the vertical forms of the same fonts.
    if (logFont->lfFaceName[0] != L'@' && std::find(list->begin(), list->end(), logFont->lfFaceName) == list->end())
        list->emplace_back(logFont->lfFaceName);
    return 1;
}

// Faces tried, in order, for a character the chosen face has no glyph for:
// the system's Korean UI faces, then every face that offers the Hangul
// character set, then every other face. Under Wine with our prefix the first
// two stand for NanumGothic, and DejaVu Sans (what Arial stands for)
// has no Hangul (measured with GetGlyphIndicesW).
const std::vector<std::wstring>& FallbackFaces() {
    static std::vector<std::wstring> faces;
    static std::once_flag once;
    std::call_once(once, [] {
        faces = {L"Malgun Gothic", L"Gulim"};
        ScopedMemoryDc dc(nullptr);
        if (!dc.Get())
            return;
        for (BYTE charset : {static_cast<BYTE>(HANGUL_CHARSET), static_cast<BYTE>(DEFAULT_CHARSET)}) {
            LOGFONTW wanted = {};
            wanted.lfCharSet = charset;
            EnumFontFamiliesExW(dc.Get(), &wanted, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
        }
    });
    return faces;
}

bool HasGlyph(HDC dc, HFONT font, wchar_t ch) {
    ScopedSelect select(dc, font);
    WORD index = 0xFFFF;
    return GetGlyphIndicesW(dc, &ch, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == 1 && index != 0xFFFF;
}

// Surrogates and controls stay in the line's own font: a pair must not be split.
bool MayFallBack(wchar_t ch) { return ch >= 0x20 && (ch < 0xD800 || ch > 0xDFFF); }

}  // namespace

CFallbackText::CFallbackText(HDC dc, HFONT font, const wchar_t* text, int length)
    : m_font(font ? font : static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT))),
      m_text(text && length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring()) {
    font = m_font;
    if (!dc || !font || m_text.empty() || !GetObjectW(font, sizeof m_logFont, &m_logFont))
        return;
    std::vector<WORD> indices(m_text.size(), 0xFFFF);
    {
        ScopedSelect select(dc, font);
        if (GetGlyphIndicesW(dc, m_text.c_str(), static_cast<int>(m_text.size()), indices.data(),
                             GGI_MARK_NONEXISTING_GLYPHS) != m_text.size())
            std::fill(indices.begin(), indices.end(), 0);  // cannot tell: all in the line's font
    }
    for (size_t i = 0; i < m_text.size(); ++i) {
        const wchar_t ch = m_text[i];
        const HFONT runFont = indices[i] == 0xFFFF && MayFallBack(ch) ? FontFor(dc, ch) : font;
        if (m_runs.empty() || m_runs.back().font != runFont)
            m_runs.push_back({static_cast<int>(i), 0, runFont, 0});
        ++m_runs.back().length;
    }

    // Runs stand on one baseline; the line is as high as its tallest ascent
    // and descent, the line's own font always counted.
    int descent = 0;
    const auto account = [&](HFONT runFont) {
        ScopedSelect select(dc, runFont);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        m_ascent = std::max<int>(m_ascent, metrics.tmAscent);
        descent = std::max<int>(descent, metrics.tmDescent);
        // An underline may lie below the descent (NanumGothic at -32: 2 px
        // thick about 8 px down, descent 7), and a line cut at the descent
        // loses it: the line reaches the underline's lower edge.
        OUTLINETEXTMETRICW outline = {};
        outline.otmSize = sizeof outline;
        if (m_logFont.lfUnderline && GetOutlineTextMetricsW(dc, sizeof outline, &outline))
            descent = std::max(descent, (static_cast<int>(outline.otmsUnderscoreSize) + 1) / 2 -
                                            outline.otmsUnderscorePosition);
    };
    account(font);
    if (!UsesFallback()) {
        ScopedSelect select(dc, font);
        GetTextExtentPoint32W(dc, m_text.c_str(), static_cast<int>(m_text.size()), &m_extent);
        if (m_ascent + descent <= m_extent.cy)
            return;
        // Deeper than DrawTextW's line: one run on a baseline of our own.
        m_extent.cy = m_ascent + descent;
        m_runs[0].width = m_extent.cx;
        m_drawnByRuns = true;
        return;
    }
    m_drawnByRuns = true;
    for (Run& run : m_runs) {
        account(run.font);
        ScopedSelect select(dc, run.font);
        SIZE size = {};
        GetTextExtentPoint32W(dc, m_text.c_str() + run.start, run.length, &size);
        run.width = size.cx;
        m_extent.cx += size.cx;
    }
    m_extent.cy = m_ascent + descent;
}

CFallbackText::~CFallbackText() {
    for (HFONT created : m_faceFonts)
        if (created)
            DeleteObject(created);
}

HFONT CFallbackText::FontFor(HDC dc, wchar_t ch) {
    if (m_missing.find(ch) != std::wstring::npos)
        return m_font;
    const std::vector<std::wstring>& faces = FallbackFaces();
    m_faceFonts.resize(faces.size(), nullptr);
    for (size_t i = 0; i < faces.size(); ++i) {
        if (!m_faceFonts[i]) {
            LOGFONTW logFont = m_logFont;
            logFont.lfCharSet = DEFAULT_CHARSET;
            std::wcsncpy(logFont.lfFaceName, faces[i].c_str(), LF_FACESIZE - 1);
            logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
            m_faceFonts[i] = CreateFontIndirectW(&logFont);
        }
        if (m_faceFonts[i] && HasGlyph(dc, m_faceFonts[i], ch))
            return m_faceFonts[i];
    }
    m_missing += ch;
    return m_font;
}

void CFallbackText::Draw(HDC dc, const RECT& rect) const {
    if (m_text.empty())
        return;
    if (!m_drawnByRuns) {
        ScopedSelect select(dc, m_font);
        RECT area = rect;
        DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    int x = rect.left + (rect.right - rect.left - m_extent.cx) / 2;
    const int baseline = rect.top + (rect.bottom - rect.top - m_extent.cy) / 2 + m_ascent;
    const UINT align = SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    for (const Run& run : m_runs) {
        ScopedSelect select(dc, run.font);
        ExtTextOutW(dc, x, baseline, 0, nullptr, m_text.c_str() + run.start, static_cast<UINT>(run.length), nullptr);
        x += run.width;
    }
    SetTextAlign(dc, align);
}
