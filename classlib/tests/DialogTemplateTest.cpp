// The template font editor, witnessed by the dialog manager: a dialog made
// from the edited template has the new font and every control it had.
#include "TestResources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK PlainDlgProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

struct Control {
    int id;
    std::wstring className;
    std::wstring text;
    RECT rect;  // in the dialog's client coordinates
};

// What the dialog manager made of a template.
struct Made {
    std::wstring face;
    LONG fontHeight = 0;
    int baseX = 0;  // horizontal dialog base unit
    std::vector<Control> controls;
    HWND hWnd = nullptr;
};

Made MakeDialog(const void* tmpl) {
    Made made;
    made.hWnd = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(tmpl), nullptr,
                                             PlainDlgProc, 0);
    if (!made.hWnd)
        return made;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(made.hWnd, WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    if (font && ::GetObjectW(font, sizeof lf, &lf)) {
        made.face = lf.lfFaceName;
        made.fontHeight = lf.lfHeight;
    }
    RECT unit = {0, 0, 4, 0};
    ::MapDialogRect(made.hWnd, &unit);
    made.baseX = unit.right;
    for (HWND child = ::GetWindow(made.hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        Control c;
        c.id = ::GetDlgCtrlID(child);
        WCHAR buffer[256] = {};
        ::GetClassNameW(child, buffer, 256);
        c.className = buffer;
        ::GetWindowTextW(child, buffer, 256);
        c.text = buffer;
        ::GetWindowRect(child, &c.rect);
        ::MapWindowPoints(nullptr, made.hWnd, reinterpret_cast<POINT*>(&c.rect), 2);
        made.controls.push_back(c);
    }
    ::DestroyWindow(made.hWnd);
    return made;
}

LONG HeightOf(int points) {
    HDC dc = ::GetDC(nullptr);
    const LONG height = -::MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, dc);
    return height;
}

std::vector<BYTE> ResourceTemplate(UINT id) {
    HINSTANCE inst = nullptr;
    return AfxLoadDialogTemplate(MAKEINTRESOURCEW(id), &inst);
}

// A hand-made standard template with text class names, so that item sizes
// are not all multiples of four.
std::vector<BYTE> StandardTemplate() {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION, 200, 100, L"Odd");
    t.AddControl(test::kButtonAtom, 11, BS_PUSHBUTTON, 5, 5, 50, 14, L"A");
    t.AddControl(test::kEditAtom, 12, ES_AUTOHSCROLL, 5, 25, 90, 13, L"text");
    t.AddControl(test::kStaticAtom, 13, SS_LEFT, 60, 5, 33, 9, L"label!");
    const BYTE* p = reinterpret_cast<const BYTE*>(t.Get());
    return std::vector<BYTE>(p, p + CDialogTemplate::TemplateSize(p, 4096));
}

TEST(DialogTemplateTest, NewFontKeepsEveryControlInBothLayouts) {
    struct Case {
        const char* name;
        std::vector<BYTE> bytes;
        bool ex;
    };
    const Case cases[] = {
        {"resource DIALOGEX", ResourceTemplate(IDD_DATA), true},
        {"standard", StandardTemplate(), false},
    };
    // Face lengths of both parities move the items by 2 and by 0 modulo 4.
    for (const wchar_t* face : {L"Microsoft Sans Serif", L"Arial", L"Tahoma"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " / face length " + std::to_string(std::wcslen(face)));
            ASSERT_FALSE(c.bytes.empty());
            const Made before = MakeDialog(c.bytes.data());
            ASSERT_TRUE(before.hWnd);

            CDialogTemplate editor;
            ASSERT_TRUE(editor.SetTemplate(c.bytes.data(), c.bytes.size()));
            EXPECT_EQ(c.ex, editor.IsEx());
            ASSERT_TRUE(editor.SetFont(face, 11));
            CString gotFace;
            WORD gotSize = 0;
            ASSERT_TRUE(editor.GetFont(gotFace, gotSize));
            EXPECT_EQ(std::wstring(face), std::wstring(gotFace));
            EXPECT_EQ(11, gotSize);

            std::vector<DWORD> aligned((editor.Size() + 3) / 4);
            ASSERT_TRUE(editor.WriteTo(aligned.data(), aligned.size() * 4));
            const Made after = MakeDialog(aligned.data());
            ASSERT_TRUE(after.hWnd);
            EXPECT_EQ(std::wstring(face), after.face);
            EXPECT_EQ(HeightOf(11), after.fontHeight);

            ASSERT_EQ(before.controls.size(), after.controls.size());
            for (size_t i = 0; i < before.controls.size(); ++i) {
                EXPECT_EQ(before.controls[i].id, after.controls[i].id);
                EXPECT_EQ(before.controls[i].className, after.controls[i].className);
                EXPECT_EQ(before.controls[i].text, after.controls[i].text);
            }
            // The first control (at 5 or 7 dialog units) stands where the new font's units put it.
            EXPECT_EQ(::MulDiv(c.ex ? 7 : 5, after.baseX, 4), after.controls[0].rect.left);
        }
    }
}

TEST(DialogTemplateTest, RefusesCutTemplatesAndSmallBuffers) {
    std::vector<BYTE> bytes = ResourceTemplate(IDD_DATA);
    const size_t size = CDialogTemplate::TemplateSize(bytes.data(), bytes.size());
    ASSERT_GT(size, 0u);
    CDialogTemplate editor;
    for (size_t cut : {size_t(0), size_t(10), size_t(30), size / 2, size - 1})
        EXPECT_FALSE(editor.SetTemplate(bytes.data(), cut)) << cut;
    EXPECT_FALSE(editor.SetFont(L"Arial", 8));  // nothing was kept

    ASSERT_TRUE(editor.SetTemplate(bytes.data(), bytes.size()));
    ASSERT_TRUE(editor.SetFont(L"Microsoft Sans Serif", 8));
    std::vector<BYTE> buffer(editor.Size() - 1, 0xAB);
    EXPECT_FALSE(editor.WriteTo(buffer.data(), buffer.size()));
    EXPECT_EQ(std::vector<BYTE>(buffer.size(), 0xAB), buffer);  // untouched
}

}  // namespace
