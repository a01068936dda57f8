// Which password an opened archive is read with, for every front end: the
// run's password when it fits, else the one the user gives, asked again
// while it does not fit.
#pragma once

#include "engine/password.h"

#include <functional>

class CZipArchive;

// Asks the user for a password; `again` when the last one did not fit.
// Returns false when the user gives none (the encrypted entries are then
// left unsaved); `forAll` keeps the answer for the archives after this one.
using PasswordAsk = std::function<bool(bool again, Password& answer, bool& forAll)>;

// Gives `archive` its password when it holds encrypted entries. A password
// that fits (or that no entry can tell) becomes the run's when `forAll`.
// When the user gives up, the last password tried stays, so that its
// entries say "wrong password" rather than that none was given.
void ChoosePassword(CZipArchive& archive, Password& runPassword, const PasswordAsk& ask);
