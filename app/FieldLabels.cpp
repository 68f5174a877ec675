#include "app/FieldLabels.h"

#include "contacts/ContactRecord.h"

QString ContactFieldLabel(int field)
{
    static const char *const labels[cfCount] = {"Ad", "Soyad", "GSM No", "Ev Tlf.", "İş Tlf.", "E-Mail", "Adres"};
    return field >= 0 && field < cfCount ? QString::fromUtf8(labels[field]) : QString();
}
