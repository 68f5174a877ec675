#include "contacts/ContactImport.h"

#include "store/ADOConnection.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactWriter.h"
#include "contacts/ContactsDatabase.h"
#include "contacts/CsvReader.h"
#include "contacts/DuplicateCheck.h"
#include "contacts/ProgressLine.h"
#include "contacts/ToolSummary.h"
#include "contacts/TextInput.h"
#include "contacts/VCardReader.h"

#include <memory>
#include <optional>

namespace {

// Characters of UTF-8 text (what the engine's length() counts).
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

} // namespace

bool ImportContacts(const TImportOptions &options, TToolSummary &summary, const TMessageSink &say)
{
    TADOConnection connection;
    OpenContactsDatabase(connection, options.Database);
    const std::vector<int> widths = ContactColumnWidths(connection.Handle());
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);

    // The write lock first: a file in use fails before any reading.
    std::optional<TContactWriter> writer;
    if (!options.DryRun)
        writer.emplace(connection.Handle());
    TDuplicateCheck duplicates;
    if (!options.AllowDuplicates)
        duplicates.AddExisting(connection.Handle());

    TTextInput input(options.File, options.Encoding);
    const bool vcard = IsVCard(input);
    std::unique_ptr<TVCardReader> cards;
    std::unique_ptr<TCsvReader> lines;
    if (vcard)
        cards = std::make_unique<TVCardReader>(input);
    else
        lines = std::make_unique<TCsvReader>(input);
    const QString recordWord = vcard ? QStringLiteral("card") : QStringLiteral("line");

    TProgressLine progress;
    const auto tell = [&](const QString &text) {
        progress.Clear();
        say(text);
    };
    std::int64_t accepted = 0;
    std::int64_t blocking = 0; // records refused for a problem, not for being empty
    TContactRecord record;
    while (vcard ? cards->Next(record) : lines->Next(record)) {
        ++summary.Read;
        if ((summary.Read & 0xff) == 0)
            progress.Show(input.Size() > 0 ? QStringLiteral("import: %1 %, %2 records")
                                                 .arg(std::min<std::int64_t>(100, input.BytesRead() * 100 / input.Size()))
                                                 .arg(summary.Read)
                                           : QStringLiteral("import: %1 records").arg(summary.Read));
        // A value longer than its column is not cut short: it is left out and listed.
        for (int i = 0; i < count; ++i) {
            OneLineBreak(record.Values[i]);
            if (record.Values[i].isEmpty()) {
                record.Values[i] = QByteArray(); // written as NULL
            } else if (const qsizetype n = Characters(record.Values[i]); widths[std::size_t(i)] > 0 && n > widths[std::size_t(i)]) {
                record.NotTake(QStringLiteral("%1 \"%2\": %3 characters, longer than the column's %4")
                                   .arg(QLatin1String(columns[i].Name), QString::fromUtf8(record.Values[i]))
                                   .arg(n)
                                   .arg(widths[std::size_t(i)]));
                record.Values[i] = QByteArray();
            }
        }
        const auto where = [&] {
            return record.Position > 0 ? QStringLiteral("%1 %2: ").arg(recordWord).arg(record.Position) : QString();
        };
        // A record with nothing to store is passed over; one that could not
        // be read as it stands fails the file, unless bad records are skipped.
        if (record.Problems.isEmpty() && !record.HasSomethingToStore()) {
            ++summary.Refused;
            if (!record.Values[cfAdres].isEmpty())
                record.NotTake(QStringLiteral("the address \"%1\"").arg(QString::fromUtf8(record.Values[cfAdres])));
            record.NotTaken.prepend(QString::fromLatin1(TContactRecord::NothingToStore));
            tell(where() + record.NotTaken.join(QStringLiteral("; ")) + QStringLiteral(" (skipped)"));
            continue;
        }
        if (!record.Problems.isEmpty()) {
            ++summary.Refused;
            ++blocking;
            tell(where() + record.Problems.join(QStringLiteral("; ")) + (options.SkipBad ? QStringLiteral(" (skipped)") : QString()));
            continue;
        }
        if (!options.AllowDuplicates) {
            if (const QString same = duplicates.Find(record.Values, recordWord); !same.isEmpty()) {
                ++summary.Duplicates;
                tell(where() + QStringLiteral("skipped as duplicate: ") + same);
                continue;
            }
            duplicates.Add(record.Values, record.Position);
        }
        if (!record.NotTaken.isEmpty())
            tell(where() + QStringLiteral("not taken: ") + record.NotTaken.join(QStringLiteral(", ")));
        ++accepted;
        if (writer && (blocking == 0 || options.SkipBad))
            writer->Add(record.Values);
    }
    if (lines)
        if (const QStringList unread = lines->UnreadColumnsWithData(); !unread.isEmpty())
            tell(QStringLiteral("columns not read: ") + unread.join(QStringLiteral(", ")));
    progress.Clear();

    const bool ok = blocking == 0 || options.SkipBad;
    if (options.DryRun) {
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
