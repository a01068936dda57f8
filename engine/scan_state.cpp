#include "engine/scan_state.h"

int g_repairMode = 0;
