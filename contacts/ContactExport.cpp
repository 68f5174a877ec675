#include "contacts/ContactExport.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/Statement.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactsDatabase.h"
#include "contacts/CsvWriter.h"
#include "contacts/ProgressLine.h"
#include "contacts/ToolSummary.h"
#include "contacts/VCardWriter.h"

#include <QSaveFile>
#include <sqlite3.h>

namespace {

constexpr qsizetype kFlushAt = 1 << 20;

void Write(QSaveFile &file, QByteArray &buffer)
{
    if (file.write(buffer) != buffer.size())
        throw EFileError(QStringLiteral("%1 cannot be written: %2").arg(file.fileName(), file.errorString()));
    buffer.clear();
}

} // namespace

void ExportContacts(const TExportOptions &options, TToolSummary &summary)
{
    summary.AddedWord = QStringLiteral("written");
    TADOConnection connection;
    OpenContactsDatabase(connection, options.Database);
    TStatement rows(connection.Handle(), ContactsInOrderSql());
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    int index[cfCount];
    for (int i = 0; i < count; ++i) {
        index[i] = -1;
        for (int c = 0; c < rows.ColumnCount(); ++c)
            if (QString::fromUtf8(sqlite3_column_name(rows.Handle(), c)).compare(QLatin1String(columns[i].Name), Qt::CaseInsensitive) == 0)
                index[i] = c;
        if (index[i] < 0)
            throw EDatabaseError(QStringLiteral("the table DBASE has no column %1").arg(QLatin1String(columns[i].Name)));
    }

    QSaveFile file(options.File);
    if (!file.open(QIODevice::WriteOnly))
        throw EFileError(QStringLiteral("%1 cannot be written: %2").arg(options.File, file.errorString()));
    const TVCardWriter cards(options.VCardVersion4);
    const TCsvWriter csv(options.Delimiter);
    QByteArray buffer;
    buffer.reserve(kFlushAt + 64 * 1024);
    if (options.Format == TExportOptions::Csv)
        csv.AppendHeader(buffer);
    TProgressLine progress;
    QByteArray values[cfCount];
    while (rows.Step()) {
        for (int i = 0; i < cfCount; ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(rows.Handle(), index[i]));
            values[i] = QByteArray::fromRawData(text ? text : "", text ? sqlite3_column_bytes(rows.Handle(), index[i]) : 0);
        }
        if (options.Format == TExportOptions::Csv)
            csv.Append(buffer, values);
        else
            cards.Append(buffer, values);
        ++summary.Read;
        ++summary.Added;
        if ((summary.Read & 0xff) == 0)
            progress.Show(QStringLiteral("export: %1 records").arg(summary.Read));
        if (buffer.size() >= kFlushAt)
            Write(file, buffer);
    }
    Write(file, buffer);
    progress.Clear();
    if (!file.commit())
        throw EFileError(QStringLiteral("%1 cannot be written: %2").arg(options.File, file.errorString()));
}
