// A store file reaching up into the window layer: the include-graph check must refuse it.
#include "app/quillbrookdlg.h"
