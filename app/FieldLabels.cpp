#include "app/FieldLabels.h"

QString ContactFieldLabel(const QString &column)
{
    static const char *const labels[][2] = {
        {"Ad", "Ad"},        {"Soyad", "Soyad"}, {"CTelefon", "GSM No"}, {"ETelefon", "Ev Tlf."}, {"ITelefon", "İş Tlf."},
        {"Email", "E-Mail"}, {"Adres", "Adres"}};
    for (const auto &[name, label] : labels)
        if (column.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(label);
    return column;
}
