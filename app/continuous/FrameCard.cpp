#include "app/continuous/FrameCard.h"

#include "app/capture/ScopedGdi.h"
#include "app/continuous/FrameFit.h"
#include "app/continuous/FrameTiming.h"

namespace {

constexpr COLORREF kSelectedBack = RGB(204, 218, 241);
constexpr COLORREF kFocusFrame = RGB(61, 149, 255);
constexpr COLORREF kUnselectedBack = RGB(128, 128, 128);
constexpr COLORREF kCardBack = RGB(237, 235, 228);
constexpr COLORREF kCellFrame = RGB(178, 178, 178);

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    ScopedBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF colour) {
    ScopedBrush brush(CreateSolidBrush(colour));
    FrameRect(dc, &rect, brush.Get());
}

// Top-left highlight, bottom-right shadow.
void Draw3dRaised(HDC dc, const RECT& r) {
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    FillSolid(dc, {r.left, r.top, r.right - 1, r.top + 1}, light);
    FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, light);
    FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, dark);
    FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, dark);
}

CString AfterLast(const CString& text, WCHAR separator) {
    const int at = text.ReverseFind(separator);
    return at < 0 ? text : text.Mid(at + 1);
}

}  // namespace

CString MillisecondsTimeLine(float tenths) {
    CString line;
    line.Format(L"시간:%d", frame_timing::TenthsToMilliseconds(tenths));
    return line;
}

void DrawFrameCard(const DRAWITEMSTRUCT& itemStruct, const FrameRecord& frame, HFONT font, const CString& timeLine) {
    HDC dc = itemStruct.hDC;
    const RECT item = itemStruct.rcItem;
    const bool selected = (itemStruct.itemState & ODS_SELECTED) != 0;
    FillSolid(dc, item, selected ? kSelectedBack : kUnselectedBack);
    if (selected && (itemStruct.itemState & ODS_FOCUS))
        FrameSolid(dc, item, kFocusFrame);

    RECT card = item;
    InflateRect(&card, -6, -6);
    FillSolid(dc, card, kCardBack);
    Draw3dRaised(dc, card);

    const RECT cell = {card.left + 5, card.top + 5, card.left + 127, card.bottom - 5};
    Rectangle(dc, cell.left, cell.top, cell.right, cell.bottom);
    FrameSolid(dc, cell, kCellFrame);

    const frame_fit::Placement place = frame_fit::FitCard(cell.left, cell.top, cell.right - cell.left,
                                                          cell.bottom - cell.top, frame.width, frame.height);
    if (frame.bitmap && place.cx > 0) {
        ScopedMemoryDc pictureDc(dc);
        ScopedSelect selectPicture(pictureDc.Get(), frame.bitmap);
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, place.x, place.y, place.cx, place.cy, pictureDc.Get(), 0, 0, frame.width, frame.height,
                   SRCCOPY);
    }

    const CString shortName = AfterLast(frame.name, L'\\');
    CString lines[4];
    lines[0].Format(L"이름:%s", static_cast<LPCWSTR>(shortName));
    lines[1].Format(L"형식:%s", static_cast<LPCWSTR>(AfterLast(shortName, L'.')));
    lines[2].Format(L"w:%d   h:%d", frame.width, frame.height);
    lines[3] = timeLine;
    SetBkMode(dc, TRANSPARENT);
    ScopedSelect selectFont(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    for (int i = 0; i < 4; ++i) {
        const frame_fit::LineSpan span = frame_fit::CardTextLine(item.top, metrics.tmHeight, i);
        RECT line = {cell.right + 10, span.top, card.right - 10, span.bottom};
        DrawTextW(dc, lines[i], lines[i].GetLength(), &line, DT_SINGLELINE | DT_WORD_ELLIPSIS);
    }
}
