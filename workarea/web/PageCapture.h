// What the web page tab captures from (the loaded document) and where the
// picture goes (the capture engine, reached through a handler the main dialog
// installs, so the work area needs nothing of the dialog).
#pragma once

#include "AfxDefs.h"

#include <functional>

class IWebPageDocument {
public:
    virtual ~IWebPageDocument() = default;
    // Size of the whole page in pixels; false while there is no document.
    virtual bool GetPageSize(SIZE& size) = 0;
    // Draws the page's top-left size.cx x size.cy pixels at (0, 0) of dc.
    virtual bool DrawPage(HDC dc, const SIZE& size) = 0;
};

// Receives a memory DC holding the page, the rectangle (0, 0, width, height)
// and the bitmap selected in the DC; both handles become the receiver's.
using PageCaptureHandler = std::function<void(HDC dc, RECT rect, HBITMAP bitmap)>;

enum class PageCaptureResult {
    Captured,
    Capped,      // captured, but only the top-left part of a too large page
    NotLoaded,   // the document has not completed loading
    NoEngine,    // no document will ever come: the HTML engine is missing
    EmptyPage,   // width or height 0
    NoMemory,    // the DC or the page bitmap could not be made
    DrawFailed,
    NoReceiver,  // no capture handler installed
};
