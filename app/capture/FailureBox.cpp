#include "app/capture/FailureBox.h"

#include "app/capture/ScopedGdi.h"

namespace {
// How many characters of `text` fit into maxWidth pixels, at least one.
int FittingLength(HDC dc, const wchar_t* text, int length, int maxWidth) {
    int fit = 0;
    SIZE size = {};
    if (!GetTextExtentExPointW(dc, text, length, maxWidth, &fit, nullptr, &size))
        return length;
    return fit < 1 ? 1 : fit;
}

// Appends `line` to `out`, broken into pieces no wider than maxWidth.
void AppendWrapped(HDC dc, const CString& line, int maxWidth, CString& out) {
    const wchar_t* text = line.GetString();
    const int length = line.GetLength();
    int start = 0;
    for (;;) {
        const int fit = FittingLength(dc, text + start, length - start, maxWidth);
        if (fit >= length - start)
            break;
        int cut = start + fit;
        for (int i = cut; i > start + 1; --i)
            if (text[i - 1] == L'\\' || text[i - 1] == L' ') {
                cut = i;
                break;
            }
        out += line.Mid(start, cut - start);
        out += L'\n';
        start = cut;
    }
    out += line.Mid(start);
}
}  // namespace

CString WrapLongLines(const CString& text, HFONT font, int maxWidth) {
    ScopedMemoryDc dc(nullptr);
    if (!dc.Get() || maxWidth <= 0)
        return text;
    ScopedSelect select(dc.Get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    CString out;
    int start = 0;
    for (;;) {
        const int newline = text.Find(L'\n', start);
        const CString line = text.Mid(start, newline < 0 ? text.GetLength() - start : newline - start);
        AppendWrapped(dc.Get(), line, maxWidth, out);
        if (newline < 0)
            break;
        out += L'\n';
        start = newline + 1;
    }
    return out;
}

CString FitMessageToScreen(const CString& text) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ScopedFont font;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        font.Reset(CreateFontIndirectW(&metrics.lfMessageFont));
    RECT work = {};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // Half the width leaves room for the icon, the margins and the frame.
    return WrapLongLines(text, font.Get(), (work.right - work.left) / 2);
}

void ShowFailureBox(LPCWSTR message) {
    // A capture window may still hold the mouse as it hands its capture over
    // (the region's hidden pointer window, the control finder); the box gets
    // the clicks that answer it. A window that still wants the mouse takes it
    // back afterwards.
    if (::GetCapture())
        ::ReleaseCapture();
    AfxMessageBox(FitMessageToScreen(message), MB_OK | MB_ICONERROR);
}
