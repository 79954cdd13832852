// One vesk.exe under test: a fresh folder holding a copy of the program and its
// settings file, the process started there, its main dialog found, and its way
// out. Every wait is bounded so that a broken program fails the test instead of
// hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CDibImage;

namespace vesk_test {

constexpr const wchar_t* kMainTitle = L"베스크캡쳐V0.6";
constexpr UINT kExitCommand = 32946;
constexpr UINT kFullScreenCommand = 32773;
constexpr DWORD kPatienceMs = 60000;  // a hang guard, not a measurement
// Exit's result when the program's question about captures was not the expected one.
constexpr DWORD kWrongQuestion = 0xA5C0;

// The build tree's vesk.exe as Wine sees it, shipped or built for the tests.
std::wstring BuiltExePath(bool trial = false);
bool Exists(const std::wstring& path);
// A whole file's bytes (empty when it cannot be read); writing one anew.
std::string FileBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The same `size` bytes of noise on every call: a file that holds no settings.
std::string NoiseBytes(size_t size);
// Polls until pred() holds, dispatching this thread's messages meanwhile.
bool WaitFor(const std::function<bool()>& pred, DWORD patienceMs = kPatienceMs);
// What the screen shows at one point.
COLORREF ScreenPixel(int x, int y);
// A descendant of `parent` with this control id, or null.
HWND FindControl(HWND parent, int id);
// What the screen shows over a rectangle, row by row from the top.
std::vector<COLORREF> GrabScreen(const RECT& r);
// Pixels of an image that differ from `expected` (row by row from the top);
// -1 when the sizes differ.
int WrongPixels(const CDibImage& image, const std::vector<COLORREF>& expected);

// Answers a common open or save dialog as a user typing would: first into
// `folder`, then `names` (one name, or several quoted for a multiple choice).
// Returns once the dialog has gone.
bool AnswerFileDialog(HWND dialog, const std::wstring& folder, const std::wstring& names);

// The text of a message box (of any process).
std::wstring MessageBoxText(HWND box);

// Paints bands of colour over `r`: a control whose pixels are all its own.
void PaintBands(HDC dc, const RECT& r);

// A window of the test's own, of a class registered for it alone: a topmost
// popup at `rect` on the screen, or a child at `rect` in `parent`'s client
// area. The class keeps its background brush, so each test registers it
// afresh; window, class and brush go with Destroy or the object.
class TestWindow {
public:
    TestWindow() = default;
    ~TestWindow() { Destroy(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // `background`: CLR_INVALID when the procedure paints everything itself.
    HWND Create(const wchar_t* className, const wchar_t* title, WNDPROC proc, COLORREF background, const RECT& rect,
                DWORD style, HWND parent = nullptr);
    void Destroy();
    HWND get() const { return m_hWnd; }

private:
    std::wstring m_class;
    HWND m_hWnd = nullptr;
    HBRUSH m_brush = nullptr;
};

class VeskRun {
public:
    // `tag` names the temporary folder, so leftovers tell which test made them.
    explicit VeskRun(const wchar_t* tag);
    ~VeskRun();
    VeskRun(const VeskRun&) = delete;
    VeskRun& operator=(const VeskRun&) = delete;

    // Copies vesk.exe into a new folder, or into its subfolder `programIn`;
    // the program is started in the new folder. False when that fails.
    bool Prepare(const std::wstring& programIn = std::wstring());
    // Starts once to write the defaults, then turns off the cursor, sound,
    // balloon and editor, which would change or slow what captures show.
    bool PrepareQuiet();
    // Starts the program and returns its shown main dialog, null when none came.
    // With `notice`, a message box shown before the dialog is answered with OK
    // and its text kept there (empty when none came).
    HWND Start(std::wstring* notice = nullptr);
    // Posts the exit command and waits for the process; returns its exit code.
    // Its question about captures kept in memory is answered Yes if it holds
    // `question`, else No and kWrongQuestion is returned (so too if none came).
    // With `notice`, as Start: another box shown on the way out is answered.
    DWORD Exit(HWND main, std::wstring* notice = nullptr, const wchar_t* question = nullptr);
    // Waits for a message box, closes it with OK and returns its text; empty when none came.
    std::wstring AnswerMessageBox(DWORD patienceMs = kPatienceMs) const;
    // Ends a process still running (a test that failed half way).
    void Kill();

    // A window of the program with this exact title, or null.
    HWND FindOwnWindow(const wchar_t* title) const;
    // One of the program's top-level windows for which pred holds, or null.
    HWND FindWindowIf(const std::function<bool(HWND)>& pred) const;
    // A message box of the program on show, or null.
    HWND FindMessageBox() const;
    // Returns once the program has handled everything sent to it so far.
    void WaitUntilIdle(HWND hWnd) const;

    const std::wstring& folder() const { return m_folder; }
    const std::wstring& exe() const { return m_exe; }
    const std::wstring& ini() const { return m_ini; }
    HANDLE process() const { return m_pi.hProcess; }
    // folder\Vesk_n.type, the program's numbered capture names with default settings.
    std::wstring Numbered(int n, const wchar_t* type = L"bmp") const;
    // Waits for a capture file to appear and load completely.
    bool LoadWhenWritten(const std::wstring& path, CDibImage& image) const;

private:
    std::wstring m_tag, m_folder, m_exe, m_ini;
    PROCESS_INFORMATION m_pi = {};
};

}  // namespace vesk_test
