// Shows the activity log to the user.
#pragma once

// Opens the file that the log writer appends to in the desktop's default
// text editor and returns at once; a failure to start it is not reported.
void OpenActivityLogInNotepad();
