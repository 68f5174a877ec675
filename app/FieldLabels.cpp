#include "app/FieldLabels.h"

#include "contacts/ContactRecord.h"
#include "store/ContactsTable.h"

QString ContactFieldLabel(int field)
{
    static const char *const labels[cfCount] = {"Ad", "Soyad", "GSM No", "Ev Tlf.", "İş Tlf.", "E-Mail", "Adres"};
    return field >= 0 && field < cfCount ? QString::fromUtf8(labels[field]) : QString();
}

QString ContactFieldLabel(const QString &column)
{
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    for (int i = 0; i < count && i < cfCount; ++i)
        if (column.compare(QLatin1String(columns[i].Name), Qt::CaseInsensitive) == 0)
            return ContactFieldLabel(i);
    return column;
}
