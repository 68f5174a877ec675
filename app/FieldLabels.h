#pragma once

#include <QString>

// A contact column as the form labels it, without the " =" ("CTelefon":
// "GSM No"); any other name as it is.
QString ContactFieldLabel(const QString &column);
