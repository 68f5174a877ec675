#include "contacts/ContactImport.h"

#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "store/ADOConnection.h"
#include "store/ContactsTable.h"
#include "store/Provider.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactWriter.h"
#include "contacts/CsvReader.h"
#include "contacts/DuplicateCheck.h"
#include "contacts/TextInput.h"
#include "contacts/VCardReader.h"

#include <memory>
#include <optional>

namespace {

// Characters of UTF-8 text (what the engines count a width in).
qsizetype Characters(const QByteArray &utf8)
{
    qsizetype n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool IsVCard(TTextInput &input)
{
    while (input.ReadLine()) {
        if (input.State() == TLineState::Ok && input.Text().trimmed().isEmpty())
            continue;
        input.Unread();
        return input.State() == TLineState::Ok && input.Text().trimmed().toUpper().startsWith("BEGIN:VCARD");
    }
    return false;
}

// Progress reaches the sink every so many records (TProgress itself keeps
// to one update every 50 ms).
constexpr std::int64_t kRecordsPerStep = 64;

// The one pass of a check and of an import: every record read, checked and
// (when writing) added.
bool Run(TADOConnection &connection, const TImportOptions &options, TImportReport &report, int previewRows, bool write)
{
    connection.Open();
    TProvider &engine = *connection.Engine();
    TToolSummary &summary = report.Summary;
    const TContactsShape shape = ReadContactsShape(engine);
    int count = 0;
    const TContactColumn *names = ContactColumns(&count);
    TDuplicateCheck duplicates;
    if (!options.AllowDuplicates)
        duplicates.AddExisting(engine);

    // The write transaction before the file is read: a database in use
    // fails before anything else.
    std::optional<TContactWriter> writer;
    if (write)
        writer.emplace(engine, shape);

    TTextInput input(options.File, options.Encoding);
    const bool vcard = IsVCard(input);
    report.Kind = vcard ? TContactFileKind::VCard : TContactFileKind::Csv;
    report.Encoding = input.Encoding();
    std::unique_ptr<TVCardReader> cards;
    std::unique_ptr<TCsvReader> lines;
    if (vcard)
        cards = std::make_unique<TVCardReader>(input);
    else
        lines = std::make_unique<TCsvReader>(input);
    const QString recordWord = vcard ? QStringLiteral("card") : QStringLiteral("line");

    TProgress progress(write ? QStringLiteral("Kişiler içe aktarılıyor") : QStringLiteral("Dosya okunuyor"), input.Size());
    std::int64_t accepted = 0;
    TContactRecord record;
    while (vcard ? cards->Next(record) : lines->Next(record)) {
        if ((++summary.Read % kRecordsPerStep) == 0)
            progress.StepOrAbort(input.Size() > 0 ? input.BytesRead() : summary.Read);
        for (int i = 0; i < cfCount; ++i) {
            const int width = shape.Widths[std::size_t(i)];
            if (record.Values[i].isEmpty())
                record.Values[i] = QByteArray(); // written as NULL
            else if (const qsizetype n = Characters(record.Values[i]); width > 0 && n > width)
                record.Problems << QStringLiteral("%1: %2 characters, longer than the column's %3")
                                       .arg(QLatin1String(names[i].Name))
                                       .arg(n)
                                       .arg(width);
        }
        const QString where = record.Position > 0 ? QStringLiteral("%1 %2").arg(recordWord).arg(record.Position) : QString();
        if (!record.Problems.isEmpty()) {
            ++summary.Refused;
            report.Messages.push_back(
                {where, record.Problems.join(QStringLiteral("; ")) + (options.SkipBad ? QStringLiteral(" (skipped)") : QString())});
            continue;
        }
        if (!options.AllowDuplicates) {
            if (const QString same = duplicates.Find(record.Values, recordWord); !same.isEmpty()) {
                ++summary.Duplicates;
                report.Messages.push_back({where, QStringLiteral("skipped as duplicate: ") + same});
                continue;
            }
            duplicates.Add(record.Values, record.Position);
        }
        if (!record.NotTaken.isEmpty())
            report.Messages.push_back({where, QStringLiteral("not taken: ") + record.NotTaken.join(QStringLiteral(", "))});
        ++accepted;
        if (std::int64_t(report.Preview.size()) < previewRows) {
            TImportedRow row;
            for (int i = 0; i < cfCount; ++i)
                row[std::size_t(i)] = QString::fromUtf8(record.Values[i]);
            report.Preview.push_back(row);
        }
        if (writer && (summary.Refused == 0 || options.SkipBad))
            writer->Add(record.Values);
    }
    if (lines)
        if (const QStringList unread = lines->UnreadColumnsWithData(); !unread.isEmpty())
            report.Messages.push_back({QString(), QStringLiteral("columns not read: ") + unread.join(QStringLiteral(", "))});
    progress.StepOrAbort(input.Size() > 0 ? input.Size() : summary.Read);

    const bool ok = summary.Refused == 0 || options.SkipBad;
    if (!write) {
        summary.Added = ok ? accepted : 0;
        summary.Note = ok ? QStringLiteral("dry run: nothing written")
                          : QStringLiteral("dry run: nothing written; an import would write nothing either, without --skip-bad");
        return ok;
    }
    if (!ok) {
        summary.Note = QStringLiteral("nothing written: %1 records refused; --skip-bad adds the others").arg(summary.Refused);
        return false;
    }
    writer->Commit();
    summary.Added = accepted;
    return true;
}

} // namespace

bool CheckImport(TADOConnection &connection, const TImportOptions &options, TImportReport &report, int previewRows)
{
    return Run(connection, options, report, previewRows, false);
}

bool ImportContacts(TADOConnection &connection, const TImportOptions &options, TImportReport &report)
{
    return Run(connection, options, report, 0, true);
}
