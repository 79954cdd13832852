#include "app/settings/OpWatermarkPropertyPage.h"

#include "app/settings/Profile.h"
#include "resources/resource.h"

#include <map>
#include <string>

COpWatermarkPropertyPage::COpWatermarkPropertyPage() : CPropertyPage(IDD) {
    m_psp.dwFlags |= PSP_USEICONID;
    m_psp.pszIcon = MAKEINTRESOURCEW(IDI_OPTIONS_WATERMARK);
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
        values[row.key] = read(kWatermarkSection, row.key, 260);
    auto number = [&](const wchar_t* key) { return ParseDecimal(values[key]); };

    WaterMark = number(L"WaterMark");
    Choice = number(L"Choice");
    ImageDir = values[L"ImageDir"];
    ImageWidth = number(L"ImageWidth");
    ImageHeight = number(L"ImageHeight");
    Text = values[L"Text"];
    FontFace = values[L"FontFace"];
    FontSize = number(L"FontSize");
    FontBold = number(L"FontBold") != 0;
    FontItalic = number(L"FontItalic") != 0;
    FontUnderline = number(L"FontUnderline") != 0;
    TextBkR = number(L"TextBkR");
    TextBkG = number(L"TextBkG");
    TextBkB = number(L"TextBkB");
    TextColorR = number(L"TextColorR");
    TextColorG = number(L"TextColorG");
    TextColorB = number(L"TextColorB");
    Location = number(L"Location");
    LeftRightMargin = number(L"LeftRightMargin");
    TopBottomMargin = number(L"TopBottomMargin");
    Rotate = number(L"Rotate");
    Rotation = number(L"Rotation");
    Alpha = number(L"Alpha");
    HideColor = number(L"HideColor");
    RedSlider = Red = number(L"Red");
    GreenSlider = Green = number(L"Green");
    BlueSlider = Blue = number(L"Blue");
}

void COpWatermarkPropertyPage::SaveOptions(const wchar_t* path) {
    using namespace profile;
    auto put = [&](const wchar_t* key, int value) { WriteValue(kWatermarkSection, key, value, path); };
    put(L"WaterMark", WaterMark);
    put(L"Choice", Choice);
    WriteValue(kWatermarkSection, L"ImageDir", ImageDir, path);
    put(L"ImageWidth", ImageWidth);
    put(L"ImageHeight", ImageHeight);
    WriteValue(kWatermarkSection, L"Text", Text, path);
    WriteValue(kWatermarkSection, L"FontFace", FontFace, path);
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
