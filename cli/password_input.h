// Where kvzip takes a password from: --password-file FILE (its first line;
// "-" reads standard input), else $KVZIP_PASSWORD, else a prompt without
// echo on the terminal. Never from an argument: the process list shows
// those to every user.
#pragma once

#include "engine/password.h"
#include "engine/password_choice.h"

#include <functional>
#include <string>

struct PasswordInput {
    // From the file or the environment: used as it is, never asked again.
    bool given = false;
    // No password given and a terminal to ask on.
    bool prompt = false;
    // The run's password: the one given, or the last answer that fitted.
    Password run;
    // Polled while the prompt waits: true (Ctrl+C seen by the command's
    // InterruptWatch) gives up the question.
    std::function<bool()> stopped;
};

// Fills `input` from the file (when `file` is not empty) or the
// environment. Returns an error text when the file cannot be read or its
// first line is empty.
std::string LoadPasswordInput(const std::string& file, PasswordInput& input);

// Asks on the terminal for the password of `archive` when allowed to. An
// interrupt gives up the question with the terminal's echo restored.
PasswordAsk CommandLineAsk(PasswordInput& input, const std::string& archive);
