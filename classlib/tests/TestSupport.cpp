#include "TestSupport.h"

#include "ThreadState.h"

#include <gtest/gtest.h>

namespace {

test::CTestApp theApp;

std::vector<std::wstring> g_boxes;

int RecordMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT type) {
    g_boxes.emplace_back(text);
    UINT kind = type & MB_TYPEMASK;
    return (kind == MB_YESNO || kind == MB_YESNOCANCEL) ? IDYES : IDOK;
}

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), 0xFF};
        ::InitCommonControlsEx(&icc);
        AfxSetMessageBoxHook(&RecordMessageBox);
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new Environment);

}  // namespace

namespace test {

CTestApp& App() { return theApp; }

const std::vector<std::wstring>& MessageBoxes() { return g_boxes; }
void ClearMessageBoxes() { g_boxes.clear(); }

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ADD_FAILURE() << "unexpected WM_QUIT";
            continue;
        }
        AfxDispatchQueuedMessage(msg);
    }
}

BOOL CHostWnd::CreateHost(int width, int height) {
    return CreateEx(0, nullptr, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 50, 50, width, height,
                    nullptr, nullptr);
}

size_t TemporaryCount() {
    return afx_detail::GetThreadState().temporaries.size();
}

DialogTemplate::DialogTemplate(DWORD style, int cx, int cy, const wchar_t* caption) {
    // DLGTEMPLATE: style, exstyle, count, x, y, cx, cy, then menu, class, title (and font).
    style |= DS_SETFONT;
    AddWord(LOWORD(style));
    AddWord(HIWORD(style));
    AddWord(0);
    AddWord(0);
    m_countIndex = m_data.size();
    AddWord(0);
    AddWord(10);
    AddWord(10);
    AddWord(static_cast<WORD>(cx));
    AddWord(static_cast<WORD>(cy));
    AddWord(0);
    AddWord(0);
    AddString(caption);
    AddWord(8);
    AddString(L"MS Shell Dlg");
}

void DialogTemplate::Align() {
    if (m_data.size() % 2)
        AddWord(0);  // items start on DWORD boundaries
}

void DialogTemplate::AddString(const wchar_t* s) {
    for (; s && *s; ++s)
        AddWord(*s);
    AddWord(0);
}

void DialogTemplate::AddControl(WORD classAtom, WORD id, DWORD style, int x, int y, int cx, int cy,
                                const wchar_t* text) {
    Align();
    style |= WS_CHILD | WS_VISIBLE;
    AddWord(LOWORD(style));
    AddWord(HIWORD(style));
    AddWord(0);
    AddWord(0);
    AddWord(static_cast<WORD>(x));
    AddWord(static_cast<WORD>(y));
    AddWord(static_cast<WORD>(cx));
    AddWord(static_cast<WORD>(cy));
    AddWord(id);
    AddWord(0xFFFF);
    AddWord(classAtom);
    AddString(text);
    AddWord(0);
    ++m_data[m_countIndex];
}

}  // namespace test
