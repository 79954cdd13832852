// Resource numbers of the saved-file and saved-DC panes and the web image
// window: the program's one table, so that an id has one number everywhere.
#pragma once

#include "resources/resource.h"
