// The control-site manager of the embedded browser. The application keeps
// it for the whole run (AfxEnableControlContainer).
#pragma once

#include "Afx.h"

class CCustomOccManager : public COccManager {
public:
    CCustomOccManager() = default;
    ~CCustomOccManager() override = default;
};
