// The GUI library defines the dialog pointers; these tests link only the
// core, and Clear Log reads the main dialog's as the owner of its question.
#include "workflow/repair_state.h"

CVelmorDlg* g_mainDlg = nullptr;
