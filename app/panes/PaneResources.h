// Resource numbers of the saved-file and saved-DC panes: the program's one
// table, so that an id has one number everywhere (the work area, a lower
// layer, includes that table itself).
#pragma once

#include "resources/resource.h"
