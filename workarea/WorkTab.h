// Kinds of work-area tabs.
#pragma once

enum WorkTabKind : int {
    WorkTabToolList = 0,
    WorkTabSavedFile = 1,
    WorkTabSavedDc = 2,
    WorkTabWebPage = 3,
};
