// One line of text in a font that may have no glyph for some of its
// characters (Hangul in a Latin face, say): each run the font cannot show is
// drawn with a face that can, so the text never comes out as empty boxes.
// GDI does not do this for us: under Wine, Arial draws every Hangul syllable
// as the same box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CFallbackText {
public:
    // Measures `text` in `font` (null: the DC's current one) on `dc`; the DC's
    // selected font is left as it was.
    CFallbackText(HDC dc, HFONT font, const wchar_t* text, int length);
    ~CFallbackText();
    CFallbackText(const CFallbackText&) = delete;
    CFallbackText& operator=(const CFallbackText&) = delete;

    // The line's size; in one font it is GetTextExtentPoint32W's unless an
    // underline lies deeper than the descent.
    SIZE GetExtent() const { return m_extent; }
    // Draws the line centred in `rect` in the DC's colours and background
    // mode; text the font shows whole, with no underline below its descent,
    // is drawn by DrawTextW with DT_CENTER | DT_VCENTER | DT_SINGLELINE.
    void Draw(HDC dc, const RECT& rect) const;
    // True when some characters are drawn with another face.
    bool UsesFallback() const { return m_runs.size() > 1 || (!m_runs.empty() && m_runs[0].font != m_font); }

private:
    struct Run {
        int start = 0;
        int length = 0;
        HFONT font = nullptr;
        int width = 0;
    };
    // The font of a face that has a glyph for `ch`, or the line's own font.
    HFONT FontFor(HDC dc, wchar_t ch);

    HFONT m_font;
    LOGFONTW m_logFont = {};
    std::wstring m_text;
    std::vector<Run> m_runs;
    std::vector<HFONT> m_faceFonts;  // owned; by index into the face list, made when first tried
    std::wstring m_missing;          // characters no face has
    SIZE m_extent = {0, 0};
    int m_ascent = 0;
    bool m_drawnByRuns = false;  // else by DrawTextW
};
