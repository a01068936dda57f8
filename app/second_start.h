// A start of the desktop program while another instance runs for the same
// user: the archives it was given go to that instance, and the user is told
// only what did not happen.
#pragma once

#include <QStringList>
#include <chrono>

// How long a start that finds the name taken waits for its holder to
// listen: the holder may still be showing its splash. Tests shorten it.
extern std::chrono::milliseconds g_secondStartPatience;

// Hands `archives` to the running instance: it lists them when it shows
// step 1, or is busy with a repair (said here, naming them). False when no
// instance could be reached within `patience`.
bool HandOverToRunningInstance(const QStringList& archives, std::chrono::milliseconds patience);
