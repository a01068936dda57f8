// Menu 135: the main dialog's menu, shared with the preview. The "&" marks
// each item's keyboard mnemonic (Alt+F opens File).
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using platform::MenuItemTemplate;

constexpr MenuItemTemplate kSeparator{0, nullptr};

const MenuItemTemplate kFile[] = {
    {ID_FILE_SELECTFILE, "&Select File"},
    {ID_FILE_SAVECURRENTFILE, "Save &Current File"},
    {ID_FILE_SAVEALL, "Save &All"},
    kSeparator,
    {ID_FILE_EXIT, "E&xit"},
};

const MenuItemTemplate kRepairMode[] = {
    {ID_REPAIRMODE_QUICKREPAIR, "&Quick Repair"},
    {ID_REPAIRMODE_ADVANCEREPAIR, "&Advance Repair"},
};

const MenuItemTemplate kOption[] = {
    {0, "&Repair Mode", kRepairMode}, {ID_OPTION_SKIPPREVIEW, "&Skip Preview"}, kSeparator,
    {ID_OPTION_VIEWLOG, "&View Log"}, {ID_OPTION_CLEARLOG, "C&lear Log"},
};

const MenuItemTemplate kHelp[] = {
    {ID_HELP_ABOUT, "&About"},
    {ID_HELP_CONTENTS, "&Contents"},
};

const MenuItemTemplate kBar[] = {
    {0, "&File", kFile},
    {0, "&Option", kOption},
    {0, "&Help", kHelp},
};

} // namespace

const platform::MenuTemplate kMainMenu{IDR_MAINMENU, kBar};

} // namespace res
