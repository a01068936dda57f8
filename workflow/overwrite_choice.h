// The user's answer to the overwrite prompt in Save All; it lasts until the
// program ends and is never reset by the saving pass.
#pragma once

enum OverwriteChoice {
    OverwriteNotAsked = 0,
    OverwriteYes = 1,
    OverwriteNo = 2,
    OverwriteYesToAll = 3,
    OverwriteNoToAll = 4,
};

extern int g_overwriteChoice;
