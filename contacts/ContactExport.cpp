#include "contacts/ContactExport.h"

#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "platform/core/SaveFile.h"
#include "store/ADOQuery.h"
#include "store/ContactsTable.h"
#include "contacts/ContactRecord.h"
#include "contacts/CsvWriter.h"
#include "contacts/VCardWriter.h"

namespace {

constexpr qsizetype kFlushAt = 1 << 20;
constexpr int kRowsPerStep = 64;

} // namespace

std::int64_t ExportContacts(const TADOQuery &contacts, const TExportOptions &options)
{
    if (!contacts.Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    int index[cfCount];
    for (int i = 0; i < count; ++i) {
        index[i] = contacts.FieldIndex(QString::fromLatin1(columns[i].Name));
        if (index[i] < 0)
            throw EDatabaseError(QStringLiteral("the table DBASE has no column %1").arg(QLatin1String(columns[i].Name)));
    }

    TSaveFile file(options.File);
    const TVCardWriter cards(options.VCardVersion4);
    const TCsvWriter csv(options.Delimiter);
    QByteArray buffer;
    buffer.reserve(kFlushAt + 64 * 1024);
    if (options.Format == TExportOptions::Csv)
        csv.AppendHeader(buffer);
    const int rows = contacts.RecordCount();
    TProgress progress(QStringLiteral("Kişiler dışa aktarılıyor"), rows);
    QByteArray values[cfCount];
    for (int row = 0; row < rows; ++row) {
        if (row % kRowsPerStep == 0)
            progress.StepOrAbort(row);
        for (int i = 0; i < cfCount; ++i)
            values[i] = contacts.DisplayText(row, index[i]).toUtf8();
        if (options.Format == TExportOptions::Csv)
            csv.Append(buffer, values);
        else
            cards.Append(buffer, values);
        if (buffer.size() >= kFlushAt) {
            file.Write(buffer);
            buffer.clear();
        }
    }
    file.Write(buffer);
    progress.StepOrAbort(rows);
    file.Commit();
    return rows;
}
