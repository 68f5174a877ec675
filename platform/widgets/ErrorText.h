#pragma once

#include <QString>
#include <exception>

// How the window says what went wrong: the problems a user meets (a server
// out of reach, a right the user lacks, a file that cannot be read or
// written) in one Turkish sentence that says what happened and what to do,
// with the system's words in brackets when they have Turkish
// (SystemErrorText.h); every other error in its own text.
QString WindowErrorText(const std::exception &e);
