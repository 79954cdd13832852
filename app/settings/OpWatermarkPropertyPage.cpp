#include "app/settings/OpWatermarkPropertyPage.h"

#include "app/AppStrings.h"
#include "app/capture/GdiplusFlat.h"
#include "app/capture/Watermark.h"
#include "app/settings/OpWatermarkPreviewWnd.h"
#include "app/settings/Profile.h"
#include "app/settings/QuickBarHook.h"
#include "app/settings/WatermarkTextWnd.h"
#include "image/DibImage.h"
#include "resources/resource.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <map>
#include <string>

COpWatermarkPropertyPage::COpWatermarkPropertyPage() : CPropertyPage(IDD) {
    // The sheet puts the icon in its header itself: with PSP_USEICONID the
    // system sheet would load it too, and under Wine it leaks three bitmaps
    // per page at every opening.
    m_psp.pszIcon = MAKEINTRESOURCEW(IDI_OPTIONS_WATERMARK);
}

COpWatermarkPropertyPage::~COpWatermarkPropertyPage() {
    PreviewWnd.reset();
    ReplacePreviewBitmap(nullptr);
    if (m_previewSource)
        ::DeleteObject(m_previewSource);
    SampleFont.DeleteObject();
}

void COpWatermarkPropertyPage::LoadOptions(const wchar_t* path) {
    m_strSettingsPath = path;
    Load(profile::FileReader(path));
    Modified = false;
}

void COpWatermarkPropertyPage::LoadDefaults(const CString& executableFolder) {
    Load(profile::DefaultsReader(executableFolder));
}

void COpWatermarkPropertyPage::Load(const profile::ValueReader& read) {
    using namespace profile;
    std::map<std::wstring, CString> values;
    for (const KeyDefault& row : kWatermarkDefaults)
        values[row.key] = read(kWatermarkSection, row.key, kWholeValue);
    // A number that is not there reads as its default; one out of its range is brought into it.
    auto number = [&](const wchar_t* key, int low = INT_MIN, int high = INT_MAX) {
        return ParseNumber(values[key], ParseDecimal(DefaultValue(kWatermarkSection, key, CString())), low, high);
    };
    auto colour = [&](const wchar_t* key) { return number(key, 0, 255); };

    WaterMark = number(L"WaterMark");
    Choice = number(L"Choice", 0, 1);
    ImageDir = values[L"ImageDir"];
    ImageWidth = number(L"ImageWidth");
    ImageHeight = number(L"ImageHeight");
    Text = values[L"Text"];
    FontFace = values[L"FontFace"];
    FontSize = number(L"FontSize");
    FontBold = number(L"FontBold") != 0;
    FontItalic = number(L"FontItalic") != 0;
    FontUnderline = number(L"FontUnderline") != 0;
    TextBkR = colour(L"TextBkR");
    TextBkG = colour(L"TextBkG");
    TextBkB = colour(L"TextBkB");
    TextColorR = colour(L"TextColorR");
    TextColorG = colour(L"TextColorG");
    TextColorB = colour(L"TextColorB");
    Location = number(L"Location", 0, 8);
    LeftRightMargin = number(L"LeftRightMargin");
    TopBottomMargin = number(L"TopBottomMargin");
    Rotate = number(L"Rotate", 0, 5);
    // An angle outside a turn keeps its meaning: 720 is 0, -90 is 270.
    Rotation = number(L"Rotation");
    if (Rotation < 0 || Rotation > 360)
        Rotation = (Rotation % 360 + 360) % 360;
    Alpha = number(L"Alpha", 0, 100);
    HideColor = number(L"HideColor");
    RedSlider = Red = colour(L"Red");
    GreenSlider = Green = colour(L"Green");
    BlueSlider = Blue = colour(L"Blue");
}

void COpWatermarkPropertyPage::Store(const profile::ValueWriter& write) const {
    using namespace profile;
    auto put = [&](const wchar_t* key, int value) { write(kWatermarkSection, key, IntToString(value)); };
    put(L"WaterMark", WaterMark);
    put(L"Choice", Choice);
    write(kWatermarkSection, L"ImageDir", ImageDir);
    put(L"ImageWidth", ImageWidth);
    put(L"ImageHeight", ImageHeight);
    write(kWatermarkSection, L"Text", Text);
    write(kWatermarkSection, L"FontFace", FontFace);
    put(L"FontSize", FontSize);
    put(L"FontBold", FontBold ? 1 : 0);
    put(L"FontItalic", FontItalic ? 1 : 0);
    put(L"FontUnderline", FontUnderline ? 1 : 0);
    put(L"TextBkR", TextBkR);
    put(L"TextBkG", TextBkG);
    put(L"TextBkB", TextBkB);
    put(L"TextColorR", TextColorR);
    put(L"TextColorG", TextColorG);
    put(L"TextColorB", TextColorB);
    put(L"Location", Location);
    put(L"LeftRightMargin", LeftRightMargin);
    put(L"TopBottomMargin", TopBottomMargin);
    put(L"Rotate", Rotate);
    put(L"Rotation", Rotation);
    put(L"Alpha", Alpha);
    put(L"HideColor", HideColor);
    put(L"Red", Red);
    put(L"Green", Green);
    put(L"Blue", Blue);
}

void COpWatermarkPropertyPage::SaveOptions(const wchar_t* path) {
    profile::WriteWhole([this](const profile::ValueWriter& write) { Store(write); }, path);
}

void COpWatermarkPropertyPage::KeepForCancel() {
    m_kept.Keep([this](const profile::ValueWriter& write) { Store(write); }, Modified);
    m_keptState = {RedSlider, GreenSlider, BlueSlider, RotateAngle};
}

void COpWatermarkPropertyPage::RestoreKept() {
    if (!m_kept.Restore([this](const profile::ValueReader& read) { Load(read); }, Modified))
        return;
    RedSlider = m_keptState.redSlider;
    GreenSlider = m_keptState.greenSlider;
    BlueSlider = m_keptState.blueSlider;
    RotateAngle = m_keptState.rotateAngle;
}

// ---------------------------------------------------------------------------
// The page

const wchar_t* const COpWatermarkPropertyPage::kLocations[9] = {
    L"위 좌측", L"위 중앙", L"위 우측", L"중앙 좌측", L"정중앙", L"중앙 우측", L"아래 좌측", L"아래 중앙", L"아래 우측"};

const COpWatermarkPropertyPage::RotateChoice COpWatermarkPropertyPage::kRotateChoices[6] = {
    {L"회전", 0},
    {L"180도 회전", 180},
    {L"90도 시계 방향 회전", 90},
    {L"90도 반시계 방향 회전", -90},
    {L"수평 뒤집기", -1},
    {L"수직 뒤집기", 1},
};

namespace {

constexpr UINT kLabelIds[] = {IDC_WATERMARK_CHECK,        IDC_WATERMARK_PREVIEW,        IDC_WATERMARK_GROUP,
                              IDC_WATERMARK_USE_IMAGE,    IDC_WATERMARK_USE_TEXT,       IDC_WATERMARK_EDIT_TEXT,
                              IDC_WATERMARK_DETAIL_GROUP, IDC_WATERMARK_LOCATION_LABEL, IDC_WATERMARK_HMARGIN_LABEL,
                              IDC_WATERMARK_VMARGIN_LABEL, IDC_WATERMARK_ROTATE_LABEL,  IDC_WATERMARK_ROTATION_TEXT,
                              IDC_WATERMARK_ALPHA_LABEL,  IDC_WATERMARK_HIDE_COLOR,     IDC_WATERMARK_RED_LABEL,
                              IDC_WATERMARK_GREEN_LABEL,  IDC_WATERMARK_BLUE_LABEL};

// Enabled with the watermark switch; the colour controls also need HideColor.
constexpr UINT kWatermarkControls[] = {IDC_WATERMARK_PREVIEW,   IDC_WATERMARK_USE_IMAGE, IDC_WATERMARK_IMAGE_DIR,
                                       IDC_WATERMARK_BROWSE,    IDC_WATERMARK_USE_TEXT,  IDC_WATERMARK_EDIT_TEXT,
                                       IDC_WATERMARK_LOCATION,  IDC_WATERMARK_HMARGIN,   IDC_WATERMARK_VMARGIN,
                                       IDC_WATERMARK_ROTATE,    IDC_WATERMARK_ROTATION,  IDC_WATERMARK_ALPHA,
                                       IDC_WATERMARK_HIDE_COLOR};
constexpr UINT kColourControls[] = {IDC_WATERMARK_RED_SLIDER,  IDC_WATERMARK_RED,  IDC_WATERMARK_GREEN_SLIDER,
                                    IDC_WATERMARK_GREEN,       IDC_WATERMARK_BLUE_SLIDER, IDC_WATERMARK_BLUE};

bool IsColourEdit(UINT id) {
    return id == IDC_WATERMARK_RED || id == IDC_WATERMARK_GREEN || id == IDC_WATERMARK_BLUE;
}

// A whole decimal integer, blanks around it allowed; anything else (an empty
// field, a lone sign while typing, an overflow) is not one.
bool ParseInteger(const CString& text, int& value) {
    const wchar_t* begin = text.GetString();
    wchar_t* end = nullptr;
    errno = 0;
    const long parsed = std::wcstol(begin, &end, 10);
    if (end == begin || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    while (*end && std::iswspace(*end))
        ++end;
    if (*end)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

int ClampChannel(int value) { return std::clamp(value, 0, 255); }

}  // namespace

BEGIN_MESSAGE_MAP(COpWatermarkPropertyPage, CPropertyPage)
    ON_BN_CLICKED(IDC_WATERMARK_PREVIEW, OnPreview)
    ON_BN_CLICKED(IDC_WATERMARK_CHECK, OnWaterMarkCheck)
    ON_BN_CLICKED(IDC_WATERMARK_HIDE_COLOR, OnHideColorCheck)
    ON_BN_CLICKED(IDC_WATERMARK_BROWSE, OnBrowseImage)
    ON_BN_CLICKED(IDC_WATERMARK_EDIT_TEXT, OnEditText)
    ON_BN_CLICKED(IDC_WATERMARK_PICK, OnPickButton)
    ON_WM_HSCROLL()
    ON_EN_UPDATE(IDC_WATERMARK_HMARGIN, OnEditChange)
    ON_EN_UPDATE(IDC_WATERMARK_VMARGIN, OnEditChange)
    ON_EN_UPDATE(IDC_WATERMARK_RED, OnEditChange)
    ON_EN_UPDATE(IDC_WATERMARK_GREEN, OnEditChange)
    ON_EN_UPDATE(IDC_WATERMARK_BLUE, OnEditChange)
END_MESSAGE_MAP()

void COpWatermarkPropertyPage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_WATERMARK_TEXT_SAMPLE, TextSample);
    DDX_Control(pDX, IDC_WATERMARK_SWATCH, ColorSwatch);
    DDX_Control(pDX, IDC_WATERMARK_PICK, PickButton);
    DDX_Check(pDX, IDC_WATERMARK_CHECK, WaterMark);
    DDX_Text(pDX, IDC_WATERMARK_IMAGE_DIR, ImageDir);
    DDX_CBIndex(pDX, IDC_WATERMARK_LOCATION, Location);
    DDX_CBIndex(pDX, IDC_WATERMARK_ROTATE, Rotate);
    DDX_Slider(pDX, IDC_WATERMARK_ROTATION, Rotation);
    DDX_Slider(pDX, IDC_WATERMARK_ALPHA, Alpha);
    DDX_Check(pDX, IDC_WATERMARK_HIDE_COLOR, HideColor);
    DDX_Slider(pDX, IDC_WATERMARK_RED_SLIDER, RedSlider);
    DDX_Slider(pDX, IDC_WATERMARK_GREEN_SLIDER, GreenSlider);
    DDX_Slider(pDX, IDC_WATERMARK_BLUE_SLIDER, BlueSlider);
    DDX_Check(pDX, IDC_WATERMARK_PICK, PickColor);

    if (m_exchange == Exchange::Full) {
        DDX_Text(pDX, IDC_WATERMARK_HMARGIN, LeftRightMargin);
        DDX_Text(pDX, IDC_WATERMARK_VMARGIN, TopBottomMargin);
    }
    if (m_exchange == Exchange::Full || (m_exchange == Exchange::QuietWithColours && !pDX->m_bSaveAndValidate)) {
        DDX_Text(pDX, IDC_WATERMARK_RED, Red);
        DDX_Text(pDX, IDC_WATERMARK_GREEN, Green);
        DDX_Text(pDX, IDC_WATERMARK_BLUE, Blue);
        if (pDX->m_bSaveAndValidate) {
            Red = ClampChannel(Red);
            Green = ClampChannel(Green);
            Blue = ClampChannel(Blue);
        }
    }
}

void COpWatermarkPropertyPage::ReadControls() {
    m_exchange = Exchange::Quiet;
    UpdateData(TRUE);
    m_exchange = Exchange::Full;
}

void COpWatermarkPropertyPage::PushControls(bool withColourEdits) {
    m_exchange = withColourEdits ? Exchange::QuietWithColours : Exchange::Quiet;
    UpdateData(FALSE);
    m_exchange = Exchange::Full;
}

BOOL COpWatermarkPropertyPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    for (UINT id : kLabelIds)
        SetDlgItemText(id, LoadResString(id));

    TextSample.m_nMode = CDrawStaticWnd::kText;
    CreateSampleFont(SampleLogFont());
    ShowSample();

    CComboBox* location = static_cast<CComboBox*>(GetDlgItem(IDC_WATERMARK_LOCATION));
    location->ResetContent();
    for (const wchar_t* text : kLocations)
        location->AddString(text);
    location->SetCurSel(Location);
    CComboBox* rotate = static_cast<CComboBox*>(GetDlgItem(IDC_WATERMARK_ROTATE));
    rotate->ResetContent();
    for (const RotateChoice& choice : kRotateChoices) {
        const int index = rotate->AddString(choice.text);
        rotate->SetItemData(index, static_cast<DWORD_PTR>(static_cast<LONG_PTR>(choice.data)));
    }
    rotate->SetCurSel(Rotate);

    const struct {
        UINT id;
        int max;
    } sliders[] = {{IDC_WATERMARK_ROTATION, 360},   {IDC_WATERMARK_ALPHA, 100},     {IDC_WATERMARK_RED_SLIDER, 255},
                   {IDC_WATERMARK_GREEN_SLIDER, 255}, {IDC_WATERMARK_BLUE_SLIDER, 255}};
    for (const auto& slider : sliders) {
        const HWND hWnd = ::GetDlgItem(m_hWnd, slider.id);
        ::SendMessageW(hWnd, TBM_SETRANGEMIN, FALSE, 0);
        ::SendMessageW(hWnd, TBM_SETRANGEMAX, TRUE, slider.max);
        ::SendMessageW(hWnd, TBM_SETTICFREQ, 1, 0);
    }
    CString text;
    text.Format(L"%d°", Rotation);
    SetDlgItemText(IDC_WATERMARK_ROTATION_TEXT, text);
    text.Format(L"%d%%", Alpha);
    SetDlgItemText(IDC_WATERMARK_ALPHA_TEXT, text);

    ColorSwatch.m_nMode = CDrawStaticWnd::kSwatch;
    ShowSwatch();

    PreviewWnd.reset();
    PreviewWnd = std::make_unique<COpWatermarkPreviewWnd>(*this);
    PreviewWnd->Create(COpWatermarkPreviewWnd::IDD, this);

    SelectChoice(Choice);
    PickButton.SetIcon(IDI_EYEDROPPER);
    PickButton.OffsetColor();

    UpdateData(FALSE);
    UpdateControlStates();
    return TRUE;
}

LOGFONTW COpWatermarkPropertyPage::SampleLogFont() const {
    LOGFONTW logFont = {};
    CWnd* main = AfxGetMainWnd();
    CFont* base = main && main->m_hWnd ? main->GetFont() : GetFont();
    if (!base || !base->GetSafeHandle() || !base->GetLogFont(&logFont))
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
    logFont.lfHeight = FontSize;
    logFont.lfWidth = 0;
    logFont.lfWeight = FontBold ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = FontItalic ? TRUE : FALSE;
    logFont.lfUnderline = FontUnderline ? TRUE : FALSE;
    std::wcsncpy(logFont.lfFaceName, FontFace.GetString(), LF_FACESIZE - 1);
    logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
    return logFont;
}

void COpWatermarkPropertyPage::CreateSampleFont(const LOGFONTW& logFont) {
    // The sample keeps a pointer to the font: it is repainted with the new one at once.
    SampleFont.DeleteObject();
    SampleFont.CreateFontIndirect(&logFont);
}

void COpWatermarkPropertyPage::ShowSample() {
    if (!TextSample.m_hWnd)
        return;
    TextSample.SetText(Text, &SampleFont, TextBackColour(), TextColour());
}

COLORREF COpWatermarkPropertyPage::TextColour() const {
    return RGB(ClampChannel(TextColorR), ClampChannel(TextColorG), ClampChannel(TextColorB));
}

COLORREF COpWatermarkPropertyPage::TextBackColour() const {
    return RGB(ClampChannel(TextBkR), ClampChannel(TextBkG), ClampChannel(TextBkB));
}

void COpWatermarkPropertyPage::ShowSwatch() {
    ColorSwatch.m_crSwatch = RGB(ClampChannel(Red), ClampChannel(Green), ClampChannel(Blue));
    if (ColorSwatch.m_hWnd)
        ColorSwatch.Invalidate();
}

void COpWatermarkPropertyPage::SelectChoice(int choice) {
    CheckDlgButton(IDC_WATERMARK_USE_IMAGE, choice == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_WATERMARK_USE_TEXT, choice == 0 ? BST_UNCHECKED : BST_CHECKED);
}

void COpWatermarkPropertyPage::MarkModified() {
    SetModified(TRUE);
    Modified = true;
}

void COpWatermarkPropertyPage::UpdateControlStates() {
    ReadControls();
    for (UINT id : kWatermarkControls)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), WaterMark != 0);
    for (UINT id : kColourControls)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), WaterMark != 0 && HideColor != 0);
}

void COpWatermarkPropertyPage::ClearPickButton() {
    if (!PickButton.IsCheckBox())
        return;
    PickButton.SetCheck(BST_UNCHECKED);
    PickButton.Invalidate();
}

BOOL COpWatermarkPropertyPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (lParam) {  // from a control, not a menu or an accelerator
        const UINT id = LOWORD(wParam);
        const UINT code = HIWORD(wParam);
        if ((id == IDC_WATERMARK_USE_IMAGE || id == IDC_WATERMARK_USE_TEXT) && code == BN_CLICKED) {
            MarkModified();
            Choice = id == IDC_WATERMARK_USE_IMAGE ? 0 : 1;
            SelectChoice(Choice);
        } else if (id == IDC_WATERMARK_LOCATION && code == CBN_SELCHANGE) {
            ReadControls();
            MarkModified();
        } else if (id == IDC_WATERMARK_ROTATE && code == CBN_SELCHANGE) {
            OnRotateChange();
        }
    }
    return CPropertyPage::OnCommand(wParam, lParam);
}

void COpWatermarkPropertyPage::OnRotateChange() {
    MarkModified();
    ReadControls();
    ApplyRotateChoice();
}

void COpWatermarkPropertyPage::ApplyRotateChoice() {
    const bool known = Rotate >= 0 && Rotate < static_cast<int>(std::size(kRotateChoices));
    const int data = known ? kRotateChoices[Rotate].data : 0;
    const bool turnOver = data == -1 || data == 1;
    RotateAngle = turnOver ? 0 : data;
    // Without a source (no Preview yet) there is nothing to turn over.
    HBITMAP shown = CopyWatermarkBitmap(m_previewSource);
    if (shown && turnOver)
        shown = MirrorOrFlip(shown, data == -1);
    ReplacePreviewBitmap(shown);
}

void COpWatermarkPropertyPage::OnWaterMarkCheck() {
    MarkModified();
    UpdateControlStates();
}

void COpWatermarkPropertyPage::OnHideColorCheck() {
    MarkModified();
    // Off before the states are read, so the preview stops picking at once.
    ClearPickButton();
    UpdateControlStates();
}

void COpWatermarkPropertyPage::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
    const int id = pScrollBar && pScrollBar->m_hWnd ? ::GetDlgCtrlID(pScrollBar->m_hWnd) : 0;
    CString text;
    switch (id) {
    case IDC_WATERMARK_ROTATION:
        ReadControls();
        MarkModified();
        text.Format(L"%d°", Rotation);
        SetDlgItemText(IDC_WATERMARK_ROTATION_TEXT, text);
        PushControls();
        break;
    case IDC_WATERMARK_ALPHA:
        ReadControls();
        MarkModified();
        text.Format(L"%d%%", Alpha);
        SetDlgItemText(IDC_WATERMARK_ALPHA_TEXT, text);
        PushControls();
        break;
    case IDC_WATERMARK_RED_SLIDER:
    case IDC_WATERMARK_GREEN_SLIDER:
    case IDC_WATERMARK_BLUE_SLIDER:
        ReadControls();
        MarkModified();
        if (id == IDC_WATERMARK_RED_SLIDER)
            Red = RedSlider;
        else if (id == IDC_WATERMARK_GREEN_SLIDER)
            Green = GreenSlider;
        else
            Blue = BlueSlider;
        ShowSwatch();
        PushControls(true);
        break;
    default: break;
    }
    CPropertyPage::OnHScroll(nSBCode, nPos, pScrollBar);
}

void COpWatermarkPropertyPage::OnEditChange() {
    const MSG* message = AfxGetCurrentMessage();
    if (!message)
        return;
    const UINT id = LOWORD(message->wParam);
    int* field = nullptr;
    switch (id) {
    case IDC_WATERMARK_HMARGIN: field = &LeftRightMargin; break;
    case IDC_WATERMARK_VMARGIN: field = &TopBottomMargin; break;
    case IDC_WATERMARK_RED: field = &Red; break;
    case IDC_WATERMARK_GREEN: field = &Green; break;
    case IDC_WATERMARK_BLUE: field = &Blue; break;
    default: return;
    }
    // Only the edit being typed in, and silently: a half-typed number keeps the
    // last whole one until the page is left or applied.
    CString text;
    GetDlgItemText(id, text);
    int value = 0;
    if (ParseInteger(text, value))
        *field = IsColourEdit(id) ? ClampChannel(value) : value;
    MarkModified();
}

void COpWatermarkPropertyPage::OnPickButton() {
    CheckDlgButton(IDC_WATERMARK_HIDE_COLOR, BST_UNCHECKED);
    UpdateControlStates();
    ReadControls();
    PushControls();
}

void COpWatermarkPropertyPage::SetPickedColor(int red, int green, int blue) {
    if (!m_hWnd)
        return;
    red = ClampChannel(red);
    green = ClampChannel(green);
    blue = ClampChannel(blue);
    const struct {
        UINT id;
        int value;
    } sliders[] = {{IDC_WATERMARK_RED_SLIDER, red}, {IDC_WATERMARK_GREEN_SLIDER, green}, {IDC_WATERMARK_BLUE_SLIDER, blue}};
    for (const auto& slider : sliders)
        ::SendDlgItemMessageW(m_hWnd, slider.id, TBM_SETPOS, TRUE, slider.value);
    ReadControls();
    Red = red;
    Green = green;
    Blue = blue;
    ShowSwatch();
    PushControls(true);
}

void COpWatermarkPropertyPage::EndColorPick() {
    if (!m_hWnd)
        return;
    CheckDlgButton(IDC_WATERMARK_HIDE_COLOR, BST_CHECKED);
    ClearPickButton();
    UpdateControlStates();
    MarkModified();
}

void COpWatermarkPropertyPage::ReplacePreviewBitmap(HBITMAP bitmap) {
    if (PreviewBitmap && PreviewBitmap != bitmap)
        ::DeleteObject(PreviewBitmap);
    PreviewBitmap = bitmap;
}

void COpWatermarkPropertyPage::SetPreviewSource(HBITMAP unturned) {
    if (m_previewSource && m_previewSource != unturned)
        ::DeleteObject(m_previewSource);
    m_previewSource = unturned;
    ApplyRotateChoice();
}

bool COpWatermarkPropertyPage::LoadPreviewImage() {
    SetPreviewSource(nullptr);
    ImageWidth = ImageHeight = 0;
    if (ImageDir.IsEmpty())
        return false;
    CDibImage image;
    if (!image.Load(ImageDir.GetString(), CDibImage::kFormatUnknown))
        return false;
    SetPreviewSource(image.MakeBitmap());
    if (!PreviewBitmap)
        return false;
    ImageWidth = static_cast<int>(image.GetWidth());
    ImageHeight = static_cast<int>(image.GetHeight());
    return true;
}

void COpWatermarkPropertyPage::OnBrowseImage() {
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       L"JPG/JPEG Files(*.jpg;*.jpeg)|*.jpg;*.jpeg;|PNG Files(*.png)|*.png;|GIF Files(*.gif)|*.gif;|"
                       L"BMP Files(*.bmp)|*.bmp;|TIF/TIFF Files(*.tif;*.tiff)|*.tif;*.tiff|"
                       L"모든파일|*.jpg;*.jpeg;*.png;*.gif;*.bmp;*.tif;*.tiff||");
    if (dialog.DoModal() != IDOK)
        return;
    const CString path = dialog.GetPathName();
    if (path.IsEmpty())
        return;
    MarkModified();
    ImageDir = path;
    LoadPreviewImage();
    PushControls();
}

bool COpWatermarkPropertyPage::EditTextMark(CWnd* parent) {
    CWatermarkTextWnd editor(parent);
    editor.StartFrom(Text, SampleLogFont(), TextColour(), TextBackColour());
    if (editor.DoModal() != IDOK)
        return false;
    LOGFONTW logFont = {};
    editor.GetFont().GetLogFont(&logFont);
    FontSize = logFont.lfHeight;
    FontBold = logFont.lfWeight == FW_BOLD;
    FontItalic = logFont.lfItalic != 0;
    FontUnderline = logFont.lfUnderline != 0;
    FontFace = logFont.lfFaceName;
    Text = editor.GetText();
    const COLORREF back = editor.GetBackColor();
    TextBkR = GetRValue(back);
    TextBkG = GetGValue(back);
    TextBkB = GetBValue(back);
    const COLORREF colour = editor.GetTextColor();
    TextColorR = GetRValue(colour);
    TextColorG = GetGValue(colour);
    TextColorB = GetBValue(colour);
    return true;
}

void COpWatermarkPropertyPage::OnEditText() {
    if (!EditTextMark(this))
        return;
    MarkModified();
    CreateSampleFont(SampleLogFont());
    ShowSample();
}

void COpWatermarkPropertyPage::OnPreview() {
    ReadControls();
    if (Choice == 0 && ImageDir.IsEmpty()) {
        AfxMessageBox(L"워터마크에 사용될 이미지가 없습니다.\n이미지 선택 후 다시 시도 하세요");
        return;
    }
    if (Choice == 0) {
        LoadPreviewImage();
    } else {
        SetPreviewSource(nullptr);
        // A pending repaint renders the text the sample hands out.
        TextSample.UpdateWindow();
        SIZE size = {};
        HBITMAP text = nullptr;
        TextSample.TakeTextBitmap(size, text);
        ImageWidth = size.cx;
        ImageHeight = size.cy;
        gdip::ScopedBitmap argb;
        if (text && gdip::GdipCreateBitmapFromHBITMAP(text, nullptr, argb.Out()) == gdip::Ok) {
            HBITMAP copy = nullptr;
            if (gdip::GdipCreateHBITMAPFromBitmap(argb.Get(), &copy, 0xFF000000) == gdip::Ok)
                SetPreviewSource(copy);
        }
    }
    if (!PreviewBitmap) {
        AfxMessageBox(L"워터마크에 사용될 이미지가 없습니다.");
        return;
    }
    if (PreviewWnd && PreviewWnd->m_hWnd) {
        if (!PreviewWnd->IsWindowVisible())
            PlacePreviewBesideSheet();
        PreviewWnd->ShowWindow(SW_SHOW);
        PreviewWnd->SetTimer(COpWatermarkPreviewWnd::kRefreshTimer, COpWatermarkPreviewWnd::kRefreshMs);
    }
}

void COpWatermarkPropertyPage::PlacePreviewBesideSheet() {
    // The page's top-level parent would be the sheet's owner; the sheet is the page's root.
    const HWND sheetWnd = ::GetAncestor(m_hWnd, GA_ROOT);
    if (!sheetWnd || !PreviewWnd || !PreviewWnd->m_hWnd)
        return;
    CRect sheet, preview;
    ::GetWindowRect(sheetWnd, &sheet);
    PreviewWnd->GetWindowRect(&preview);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(sheetWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const int minimumWidth = PreviewWnd->HasMinTrackSize() ? PreviewWnd->GetMinTrackSize().cx : preview.Width();
    const PreviewPlacement place =
        PreviewBesideSheet(sheet, preview.Size(), minimumWidth, CRect(monitor.rcWork));
    if (place.sheetShift)
        ::SetWindowPos(sheetWnd, nullptr, sheet.left + place.sheetShift, sheet.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PreviewWnd->SetWindowPos(nullptr, place.preview.left, place.preview.top, place.preview.Width(),
                             place.preview.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL COpWatermarkPropertyPage::OnApply() {
    const BOOL result = CPropertyPage::OnApply();
    CPropertySheet* sheet = GetSheet();
    if (sheet && sheet->GetActivePage() == this) {
        // Typed numbers are checked here at the latest, with the exchange's message.
        if (!UpdateData(TRUE))
            return FALSE;
        Modified = false;
        const profile::SectionValues changed = m_kept.WriteChanges(
            profile::kWatermarkSection, [this](const profile::ValueWriter& write) { Store(write); }, m_strSettingsPath);
        KeepForCancel();
        if (changed.count(L"WaterMark"))
            HandToQuickBar(QuickSwitch::WaterMark, WaterMark ? 1 : 0);
    }
    return result;
}
