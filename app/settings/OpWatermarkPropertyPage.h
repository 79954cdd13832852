// WATERMARK OPTIONS: the watermark laid on captures. The object lives for the
// whole run and is also the options sheet's watermark page, with a live
// preview window and a colour picker for the hide colour.
#pragma once

#include "Afx.h"
#include "app/continuous/DrawStaticWnd.h"
#include "app/settings/KeptSection.h"
#include "app/settings/Profile.h"
#include "widgets/FlatButton.h"

#include <memory>

class COpWatermarkPreviewWnd;

class COpWatermarkPropertyPage : public CPropertyPage {
public:
    enum { IDD = 227 };
    COpWatermarkPropertyPage();
    ~COpWatermarkPropertyPage() override;

    // Reloading drops unapplied edits, so the page counts as unchanged again.
    // The path is kept for the page's Apply.
    void LoadOptions(const wchar_t* settingsPath);
    // The built-in defaults, for a run whose settings file cannot be made.
    void LoadDefaults(const CString& executableFolder);
    // The 27 keys in table order; the hide colour from Red/Green/Blue.
    void SaveOptions(const wchar_t* settingsPath);

    // The options sheet keeps the settings when it opens and whenever this
    // page applies them, and puts them back when it is cancelled.
    void KeepForCancel();
    void RestoreKept();

    // Runs the text editor at this object's text, font and colours; after its
    // OK takes what it gives back and returns true.
    bool EditTextMark(CWnd* parent);

    // Called by the preview window while colours are picked.
    void SetPickedColor(int red, int green, int blue);
    void EndColorPick();

    BOOL OnApply() override;

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
    CDrawStaticWnd TextSample;  // 1180, text mode
    CFont SampleFont;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    bool Modified = false;
    CDrawStaticWnd ColorSwatch;  // 1206, colour-swatch mode
    int TextBkR = 0;
    int TextBkG = 0;
    int TextBkB = 0;
    int TextColorR = 0;
    int TextColorG = 0;
    int TextColorB = 0;
    HBITMAP PreviewBitmap = nullptr;  // owned: the watermark as the preview shows it
    std::unique_ptr<COpWatermarkPreviewWnd> PreviewWnd;
    int RotateAngle = 0;  // degrees that Rotate gives; set by whoever builds a watermark bitmap
    CFlatButton PickButton;  // 1209
    int PickColor = 0;       // the pick button's check state: the preview window picks colours

    // The combos' texts, in item order.
    static const wchar_t* const kLocations[9];
    struct RotateChoice {
        const wchar_t* text;
        int data;  // degrees to add; -1 mirrors, 1 flips
    };
    static const RotateChoice kRotateChoices[6];

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnPreview();
    afx_msg void OnWaterMarkCheck();
    afx_msg void OnHideColorCheck();
    afx_msg void OnBrowseImage();
    afx_msg void OnEditText();
    afx_msg void OnPickButton();
    afx_msg void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg void OnEditChange();

    DECLARE_MESSAGE_MAP()

    CString m_strSettingsPath;

private:
    void Load(const profile::ValueReader& read);
    void Store(const profile::ValueWriter& write) const;

    // Everything but the integer edits, which are exchanged on their own while
    // typing and checked (with the exchange's message) when the page is left
    // or applied. A push may also write the colour edits.
    void ReadControls();
    void PushControls(bool withColourEdits = false);
    void MarkModified();
    void UpdateControlStates();
    void SelectChoice(int choice);
    void OnRotateChange();
    void CreateSampleFont(const LOGFONTW& logFont);
    LOGFONTW SampleLogFont() const;
    COLORREF TextColour() const;
    COLORREF TextBackColour() const;
    void ShowSample();
    void ShowSwatch();
    void ClearPickButton();
    void ReplacePreviewBitmap(HBITMAP bitmap);
    // Takes `unturned` as the preview's source and shows the rotate choice on it.
    void SetPreviewSource(HBITMAP unturned);
    // RotateAngle and PreviewBitmap exactly as the rotate choice says, from the
    // unturned source, whatever was chosen before.
    void ApplyRotateChoice();
    void PlacePreviewBesideSheet();
    // Loads ImageDir into PreviewBitmap with its size; false when it cannot be read.
    bool LoadPreviewImage();

    // Beside the section, what the settings do not hold but captures or the page use.
    struct KeptState {
        int redSlider = 0, greenSlider = 0, blueSlider = 0;
        int rotateAngle = 0;
    };
    HBITMAP m_previewSource = nullptr;  // owned: PreviewBitmap before any mirror or flip
    profile::KeptSection m_kept;
    KeptState m_keptState;

    enum class Exchange { Full, Quiet, QuietWithColours };
    Exchange m_exchange = Exchange::Full;
};
