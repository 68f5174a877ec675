#pragma once

#include "contacts/ContactImport.h"

#include <QString>

// The window's Turkish for what the import reports, with the form's labels
// for the columns.

// One message as the import dialog lists it, e.g.
//   "2. satır: Ad alınmadı (60 karakter, en çok 50)"
QString ImportMessageLine(const TImportMessage &message, TContactFileKind kind);

// Why the file cannot be read, naming it:
//   "\"liste.json\" okunamadı: bir vCard ya da CSV dosyası değil."
QString ContactFileErrorText(const EContactFileError &error);

// The line after the listed messages when the report left some out; empty when none.
QString MessagesLeftOutLine(const TImportReport &report);
