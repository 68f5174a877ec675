#pragma once

#include <QString>

// The form's label of a DBASE column (a TContactField): "Ad", "Soyad",
// "GSM No", "Ev Tlf.", "İş Tlf.", "E-Mail", "Adres", as the window names
// them beside its boxes (without " =").
QString ContactFieldLabel(int field);
// The same by the column's name ("CTelefon": "GSM No", in any letter case);
// any other name as it is.
QString ContactFieldLabel(const QString &column);
