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

// Looked at as the file's bytes, so that a vCard whose values name their
// own charsets is recognised whatever the rest of it is written in.
bool IsVCard(TTextInput &input)
{
    input.SetRaw(true);
    bool vcard = false;
    while (input.ReadLine()) {
        if (input.State() == TLineState::Ok && input.Text().trimmed().isEmpty())
            continue;
        input.Unread();
        vcard = input.State() == TLineState::Ok && input.Text().trimmed().toUpper().startsWith("BEGIN:VCARD");
        break;
    }
    input.SetRaw(vcard);
    return vcard;
}

// One convention for a line break inside a value: LF, as the export writes it.
void OneLineBreak(QByteArray &value)
{
    if (value.contains('\r'))
        value.replace("\r\n", "\n").replace('\r', '\n');
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
    std::int64_t blocking = 0; // records refused for a problem, not for being empty
    TContactRecord record;
    while (vcard ? cards->Next(record) : lines->Next(record)) {
        if ((++summary.Read % kRecordsPerStep) == 0)
            progress.StepOrAbort(input.Size() > 0 ? input.BytesRead() : summary.Read);
        // A value longer than its column is not cut short: it is left out and listed.
        for (int i = 0; i < cfCount; ++i) {
            const int width = shape.Widths[std::size_t(i)];
            OneLineBreak(record.Values[i]);
            if (record.Values[i].isEmpty()) {
                record.Values[i] = QByteArray(); // written as NULL
            } else if (const qsizetype n = Characters(record.Values[i]); width > 0 && n > width) {
                record.NotTake(QStringLiteral("%1 \"%2\": %3 characters, longer than the column's %4")
                                   .arg(QLatin1String(names[i].Name), QString::fromUtf8(record.Values[i]))
                                   .arg(n)
                                   .arg(width));
                record.Values[i] = QByteArray();
            }
        }
        const QString where = record.Position > 0 ? QStringLiteral("%1 %2").arg(recordWord).arg(record.Position) : QString();
        // A record with nothing to store is passed over; one that could not
        // be read as it stands fails the file, unless bad records are skipped.
        if (record.Problems.isEmpty() && !record.HasSomethingToStore()) {
            ++summary.Refused;
            if (!record.Values[cfAdres].isEmpty())
                record.NotTake(QStringLiteral("the address \"%1\"").arg(QString::fromUtf8(record.Values[cfAdres])));
            record.NotTaken.prepend(QString::fromLatin1(TContactRecord::NothingToStore));
            report.Messages.push_back({where, record.NotTaken.join(QStringLiteral("; ")) + QStringLiteral(" (skipped)")});
            continue;
        }
        if (!record.Problems.isEmpty()) {
            ++summary.Refused;
            ++blocking;
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
        if (writer && (blocking == 0 || options.SkipBad))
            writer->Add(record.Values);
    }
    if (lines)
        if (const QStringList unread = lines->UnreadColumnsWithData(); !unread.isEmpty())
            report.Messages.push_back({QString(), QStringLiteral("columns not read: ") + unread.join(QStringLiteral(", "))});
    progress.StepOrAbort(input.Size() > 0 ? input.Size() : summary.Read);

    const bool ok = blocking == 0 || options.SkipBad;
    if (!write) {
        summary.Added = ok ? accepted : 0;
        summary.Note = ok ? QStringLiteral("dry run: nothing written")
                          : QStringLiteral("dry run: nothing written; an import would write nothing either, without --skip-bad");
        return ok;
    }
    if (!ok) {
        summary.Note = QStringLiteral("nothing written: %1 records refused; --skip-bad adds the others").arg(blocking);
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
