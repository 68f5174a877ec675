#pragma once

#include "contacts/ContactImport.h"

#include <QString>

// The contacts tool's English for what the import reports.

// One message as the tool prints it, e.g.
//   "line 2: not taken: Ad "AAAA...": 60 characters, longer than the column's 50"
//   "card 3: skipped as duplicate: the same name and number "0532 111 22 33" as contact No 12"
QString ImportMessageLine(const TImportMessage &message, TContactFileKind kind);

// Why the file cannot be read ("not a vCard or CSV file"), without the
// file's name, which the tool puts before it.
QString ContactFileErrorText(const EContactFileError &error);

// The line after the messages when the report left some out; empty when none.
QString MessagesLeftOutLine(const TImportReport &report);
