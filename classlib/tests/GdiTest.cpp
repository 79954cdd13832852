// GDI wrappers: ownership, selection, drawing checked by reading pixels back.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A 24-bit memory canvas, white to start with.
class Canvas {
public:
    explicit Canvas(int width = 64, int height = 64) {
        CClientDC screen(nullptr);
        dc.CreateCompatibleDC(&screen);
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        bitmap.Attach(::CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        old = dc.SelectObject(bitmap.m_hObject);
        dc.FillSolidRect(0, 0, width, height, kWhite);
    }
    ~Canvas() { dc.SelectObject(old); }

    int CountNot(COLORREF c, const CRect& area) {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += dc.GetPixel(x, y) != c;
        return n;
    }

    CDC dc;
    CBitmap bitmap;
    HGDIOBJ old = nullptr;
};

TEST(Gdi, ObjectsLeaveNoHandleBehind) {
    struct Case {
        const char* name;
        std::function<HGDIOBJ()> make;  // creates in a scope of its own and returns the handle
    } cases[] = {
        {"pen", [] { CPen p(PS_SOLID, 2, kRed); return p.m_hObject; }},
        {"brush", [] { CBrush b(kBlue); return b.m_hObject; }},
        {"hatch", [] { CBrush b(HS_CROSS, kBlue); return b.m_hObject; }},
        {"font", [] { CFont f; f.CreatePointFont(90, L"Tahoma"); return f.m_hObject; }},
        {"bitmap", [] { CClientDC s(nullptr); CBitmap b; b.CreateCompatibleBitmap(&s, 8, 8); return b.m_hObject; }},
        {"region", [] { CRgn r; r.CreateRectRgn(0, 0, 5, 5); return r.m_hObject; }},
        {"palette", [] { CClientDC s(nullptr); CPalette p; p.CreateHalftonePalette(&s); return p.m_hObject; }},
        {"attached", [] { CBitmap b; b.Attach(::CreateBitmap(4, 4, 1, 1, nullptr)); return b.m_hObject; }},
        {"memory dc", [] { CClientDC s(nullptr); CDC dc; dc.CreateCompatibleDC(&s); return static_cast<HGDIOBJ>(dc.m_hDC); }},
    };
    for (const Case& c : cases) {
        HGDIOBJ h = c.make();
        ASSERT_NE(h, nullptr) << c.name;
        EXPECT_EQ(::GetObjectType(h), 0u) << c.name;
    }
}

TEST(Gdi, BorrowedObjectsAreNeverDeleted) {
    CPen owned(PS_SOLID, 1, kRed);
    HGDIOBJ stock = ::GetStockObject(BLACK_BRUSH);
    {
        CPen* borrowedPen = CPen::FromHandle(owned);
        CBrush* borrowedStock = CBrush::FromHandle(static_cast<HBRUSH>(stock));
        EXPECT_FALSE(borrowedPen->IsOwned());
        EXPECT_FALSE(borrowedStock->IsOwned());
        EXPECT_TRUE(owned.IsOwned());
    }
    AfxDeleteTempMaps();
    EXPECT_EQ(::GetObjectType(owned), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(::GetObjectType(stock), static_cast<DWORD>(OBJ_BRUSH));

    HBITMAP hBitmap = ::CreateBitmap(4, 4, 1, 1, nullptr);
    {
        CBitmap bitmap;
        bitmap.Attach(hBitmap);
        EXPECT_EQ(bitmap.Detach(), hBitmap);
    }
    EXPECT_EQ(::GetObjectType(hBitmap), static_cast<DWORD>(OBJ_BITMAP));
    CBitmap::FromHandle(hBitmap)->DeleteObject();  // an explicit request deletes
    EXPECT_EQ(::GetObjectType(hBitmap), 0u);
}

TEST(Gdi, SelectObjectReturnsThePreviousObject) {
    Canvas canvas;
    HGDIOBJ originalPen = ::GetCurrentObject(canvas.dc, OBJ_PEN);
    HGDIOBJ originalBrush = ::GetCurrentObject(canvas.dc, OBJ_BRUSH);
    CPen pen(PS_SOLID, 1, kRed);
    CBrush brush(kBlue);

    CPen* oldPen = canvas.dc.SelectObject(&pen);
    ASSERT_NE(oldPen, nullptr);
    EXPECT_EQ(oldPen->m_hObject, originalPen);
    EXPECT_EQ(::GetCurrentObject(canvas.dc, OBJ_PEN), pen.m_hObject);
    canvas.dc.SelectObject(oldPen);
    EXPECT_EQ(::GetCurrentObject(canvas.dc, OBJ_PEN), originalPen);

    {
        CScopedSelectObject select(canvas.dc, brush);
        EXPECT_TRUE(select.Selected());
        EXPECT_EQ(::GetCurrentObject(canvas.dc, OBJ_BRUSH), brush.m_hObject);
    }
    EXPECT_EQ(::GetCurrentObject(canvas.dc, OBJ_BRUSH), originalBrush);

    CGdiObject* oldStock = canvas.dc.SelectStockObject(NULL_PEN);
    EXPECT_EQ(oldStock->m_hObject, originalPen);
    canvas.dc.SelectObject(oldStock);

    int saved = canvas.dc.SaveDC();
    canvas.dc.SetTextColor(kRed);
    canvas.dc.IntersectClipRect(10, 10, 20, 20);
    CRect clip;
    canvas.dc.GetClipBox(&clip);
    EXPECT_EQ(clip, CRect(10, 10, 20, 20));
    canvas.dc.RestoreDC(saved);
    EXPECT_NE(canvas.dc.GetTextColor(), kRed);
    canvas.dc.GetClipBox(&clip);
    EXPECT_EQ(clip, CRect(0, 0, 64, 64));
}

TEST(Gdi, DrawingLandsOnThePixels) {
    Canvas canvas;
    CDC& dc = canvas.dc;

    dc.Draw3dRect(CRect(2, 2, 12, 12), kRed, kBlue);
    struct Pixel {
        int x, y;
        COLORREF color;
    } edges[] = {{2, 2, kRed}, {10, 2, kRed}, {2, 10, kRed}, {11, 11, kBlue}, {11, 3, kBlue}, {3, 11, kBlue}, {6, 6, kWhite}};
    for (const Pixel& p : edges)
        EXPECT_EQ(dc.GetPixel(p.x, p.y), p.color) << p.x << "," << p.y;

    {
        CPen pen(PS_SOLID, 1, kBlack);
        CScopedSelectObject select(dc, pen);
        dc.MoveTo(20, 5);
        dc.LineTo(30, 5);
        POINT line[] = {{20, 8}, {25, 8}, {25, 12}};
        dc.Polyline(line, 3);
    }
    EXPECT_EQ(dc.GetPixel(25, 5), kBlack);
    EXPECT_EQ(dc.GetPixel(25, 10), kBlack);

    // Drawing the same line twice in NOTXOR mode leaves no trace.
    {
        CPen pen(PS_SOLID, 1, kRed);
        CScopedSelectObject select(dc, pen);
        int oldRop = dc.SetROP2(R2_NOTXORPEN);
        for (int i = 0; i < 2; ++i) {
            dc.MoveTo(40, 0);
            dc.LineTo(40, 20);
        }
        dc.SetROP2(oldRop);
    }
    EXPECT_EQ(canvas.CountNot(kWhite, CRect(38, 0, 42, 20)), 0);

    {
        CBrush brush(kBlue);
        CBrush* oldBrush = dc.SelectObject(&brush);
        dc.Rectangle(44, 2, 54, 12);
        dc.SelectObject(oldBrush);
    }
    EXPECT_EQ(dc.GetPixel(49, 7), kBlue);
    EXPECT_EQ(dc.GetPixel(44, 2), kBlack);

    CRgn region;
    region.CreateEllipticRgn(2, 30, 18, 46);
    CBrush red(kRed);
    dc.FillRgn(&region, &red);
    EXPECT_EQ(dc.GetPixel(10, 38), kRed);
    EXPECT_EQ(dc.GetPixel(2, 30), kWhite);

    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kBlack);
    dc.TextOut(20, 30, CString(L"Ag"));
    EXPECT_GT(canvas.CountNot(kWhite, CRect(20, 30, 40, 48)), 0);

    HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
    dc.DrawIcon(44, 30, icon);
    EXPECT_GT(canvas.CountNot(kWhite, CRect(44, 30, 64, 50)), 0);
}

TEST(Gdi, BlitsAndStateDrawing) {
    Canvas source(16, 16);
    source.dc.FillSolidRect(0, 0, 8, 16, kRed);
    Canvas target;

    target.dc.BitBlt(0, 0, 16, 16, &source.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(target.dc.GetPixel(3, 3), kRed);
    EXPECT_EQ(target.dc.GetPixel(12, 3), kWhite);

    target.dc.StretchBlt(0, 20, 32, 32, &source.dc, 0, 0, 16, 16, SRCCOPY);
    EXPECT_EQ(target.dc.GetPixel(14, 40), kRed);
    EXPECT_EQ(target.dc.GetPixel(18, 40), kWhite);

    HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
    target.dc.DrawState(CPoint(32, 0), CSize(32, 32), icon, DSS_NORMAL, static_cast<HBRUSH>(nullptr));
    EXPECT_GT(target.CountNot(kWhite, CRect(32, 0, 64, 32)), 0);
}

class CPaintedWnd : public test::CHostWnd {
protected:
    afx_msg void OnPaint() {
        CPaintDC dc(this);
        CRect rc;
        GetClientRect(&rc);
        dc.FillSolidRect(&rc, kRed);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPaintedWnd, test::CHostWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

TEST(Gdi, WindowDeviceContexts) {
    CPaintedWnd wnd;
    ASSERT_TRUE(wnd.CreateHost(200, 150));
    wnd.RedrawWindow();
    {
        CClientDC dc(&wnd);
        EXPECT_EQ(dc.GetPixel(20, 20), kRed);
    }
    CWindowDC screen(nullptr);
    EXPECT_EQ(screen.GetDeviceCaps(HORZRES), ::GetSystemMetrics(SM_CXSCREEN));
    wnd.DestroyWindow();
}

}  // namespace
