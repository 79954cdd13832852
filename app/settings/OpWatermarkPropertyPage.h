// WATERMARK OPTIONS: the watermark laid on captures. The object lives for the
// whole run and is also the options sheet's watermark page.
#pragma once

#include "Afx.h"
#include "app/settings/Profile.h"

class COpWatermarkPropertyPage : public CPropertyPage {
public:
    enum { IDD = 227 };
    COpWatermarkPropertyPage();

    // Reloading drops unapplied edits, so the page counts as unchanged again.
    // The path is kept for the page's Apply.
    void LoadOptions(const wchar_t* settingsPath);
    // The built-in defaults, for a run whose settings file cannot be made.
    void LoadDefaults(const CString& executableFolder);
    // The 27 keys in table order; the hide colour from Red/Green/Blue.
    void SaveOptions(const wchar_t* settingsPath);

    int WaterMark = 0;
    CString ImageDir;
    int ImageWidth = 0;
    int ImageHeight = 0;
    int Location = 0;
    int LeftRightMargin = 0;
    int TopBottomMargin = 0;
    int Rotate = 0;
    int Rotation = 0;
    int Choice = 0;
    CString Text;
    CString FontFace;
    int FontSize = 0;
    int Alpha = 0;
    int HideColor = 0;
    int RedSlider = 0;
    int GreenSlider = 0;
    int BlueSlider = 0;
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    bool Modified = false;
    int TextBkR = 0;
    int TextBkG = 0;
    int TextBkB = 0;
    int TextColorR = 0;
    int TextColorG = 0;
    int TextColorB = 0;
    int RotateAngle = 0;  // degrees that Rotate gives; set by whoever builds a watermark bitmap

protected:
    CString m_strSettingsPath;

private:
    void Load(const profile::ValueReader& read);
};
