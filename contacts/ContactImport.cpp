#include "contacts/ContactImport.h"

#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "store/ADOConnection.h"
#include "store/ContactsTable.h"
#include "store/Provider.h"
#include "contacts/BackgroundReader.h"
#include "contacts/BackgroundWriter.h"
#include "contacts/ContactRecord.h"
#include "contacts/ContactWriter.h"
#include "contacts/CsvReader.h"
#include "contacts/DuplicateCheck.h"
#include "contacts/TextInput.h"
#include "contacts/VCardReader.h"

#include <memory>
#include <optional>

namespace {

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

// A number without the visual separators of RFC 3966.
QByteArray WithoutSeparators(const QByteArray &number)
{
    QByteArray out;
    for (const char c : number)
        if (c != '-' && c != '.' && c != '(' && c != ')')
            out += c;
    return out;
}

// Takes the message in, up to the report's bound; the rest are counted.
void Say(TImportReport &report, TImportMessage message)
{
    if (report.Messages.size() < TImportReport::MostMessages)
        report.Messages.push_back(std::move(message));
    else
        ++report.MessagesLeftOut;
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
    TImportCounts &counts = report.Counts;
    const TContactsShape shape = ReadContactsShape(engine);

    // The write transaction before anything is read: a database in use
    // fails at once, and the contacts there are read under its lock, so
    // that another import's are all there or none.
    std::optional<TContactWriter> writer;
    if (write)
        writer.emplace(engine, shape);
    TDuplicateCheck duplicates(options.Place);
    if (!options.AllowDuplicates)
        duplicates.AddExisting(engine);
    // From here the connection is the writing thread's: the rows are
    // written while the next are read.
    std::optional<TBackgroundWriter> rows;
    if (writer)
        rows.emplace(*writer, int(shape.Columns.size()));

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

    TProgress progress(write ? QStringLiteral("Kişiler içe aktarılıyor") : QStringLiteral("Dosya okunuyor"), input.Size());
    std::int64_t accepted = 0;
    TContactRecord record;
    // The file is read on a thread of its own while its records are
    // checked here.
    TBackgroundReader reader([&](TContactRecord &next) { return vcard ? cards->Next(next) : lines->Next(next); },
                             [&] { return input.BytesRead(); });
    while (reader.Next(record)) {
        if ((++counts.Read % kRecordsPerStep) == 0)
            progress.StepOrAbort(input.Size() > 0 ? reader.BytesRead() : counts.Read);
        // A value longer than its column is not cut short: it is left out and listed.
        for (int i = 0; i < cfCount; ++i) {
            const int width = shape.Widths[std::size_t(i)];
            QByteArray &value = record.Values[i];
            OneLineBreak(value);
            if (value.isEmpty()) {
                value = QByteArray(); // written as NULL
                continue;
            }
            qsizetype n = Utf8Characters(value);
            if (width > 0 && n > width && i >= cfCTelefon && i <= cfITelefon && Utf8Characters(WithoutSeparators(value)) <= width) {
                value = WithoutSeparators(value);
                n = Utf8Characters(value);
            }
            if (width > 0 && n > width) {
                record.NotTake({.Kind = TImportProblemKind::ValueTooLong,
                                .Field = i,
                                .Text = QString::fromUtf8(value.left(800)).left(200),
                                .Count = n,
                                .Limit = width});
                value = QByteArray();
            }
        }
        TImportMessage message{.Position = record.Position};
        // A record with nothing to store is passed over; one that could not
        // be read as it stands fails the file, unless bad records are skipped.
        if (record.Problems.empty() && !record.HasSomethingToStore()) {
            ++counts.Refused;
            if (!record.Values[cfAdres].isEmpty())
                record.NotTake(
                    {.Kind = TImportProblemKind::SecondAddress, .Text = QString::fromUtf8(record.Values[cfAdres].left(800)).left(200)});
            message.Verdict = TImportVerdict::Refused;
            message.Skipped = true;
            message.Problems.push_back({.Kind = TImportProblemKind::NothingToStore});
            message.Problems.insert(message.Problems.end(), record.NotTaken.begin(), record.NotTaken.end());
            Say(report, std::move(message));
            continue;
        }
        if (!record.Problems.empty()) {
            ++counts.Refused;
            ++counts.Blocking;
            message.Verdict = TImportVerdict::Refused;
            message.Skipped = options.SkipBad;
            message.Blocking = true;
            message.Problems = std::move(record.Problems);
            Say(report, std::move(message));
            continue;
        }
        if (!options.AllowDuplicates) {
            if (const std::optional<TImportProblem> same = duplicates.FindOrAdd(record.Values, record.Position)) {
                ++counts.Duplicates;
                message.Verdict = TImportVerdict::Duplicate;
                message.Problems.push_back(*same);
                Say(report, std::move(message));
                continue;
            }
        }
        if (!record.NotTaken.empty()) {
            counts.DetailsLeftOut += std::int64_t(record.NotTaken.size());
            message.Verdict = TImportVerdict::NotTaken;
            message.Problems = std::move(record.NotTaken);
            Say(report, std::move(message));
        }
        ++accepted;
        if (std::int64_t(report.Preview.size()) < previewRows) {
            TImportedRow row;
            for (int i = 0; i < cfCount; ++i)
                row[std::size_t(i)] = QString::fromUtf8(record.Values[i]);
            report.Preview.push_back(row);
        }
        if (rows && (counts.Blocking == 0 || options.SkipBad))
            rows->Add(record.Values);
    }
    if (lines)
        if (std::vector<TImportProblem> unread = lines->UnreadColumnsWithData(); !unread.empty())
            Say(report, {.Verdict = TImportVerdict::File, .Problems = std::move(unread)});
    progress.StepOrAbort(input.Size() > 0 ? input.Size() : counts.Read);

    const bool ok = counts.Blocking == 0 || options.SkipBad;
    if (!write) {
        counts.Added = ok ? accepted : 0;
        return ok;
    }
    if (!ok)
        return false;
    rows->Finish();
    writer->Commit();
    counts.Added = accepted;
    return true;
}

// The file's error names the file.
bool Guarded(TADOConnection &connection, const TImportOptions &options, TImportReport &report, int previewRows, bool write)
{
    try {
        return Run(connection, options, report, previewRows, write);
    } catch (EContactFileError &e) {
        e.File = options.File;
        throw;
    }
}

} // namespace

bool CheckImport(TADOConnection &connection, const TImportOptions &options, TImportReport &report, int previewRows)
{
    return Guarded(connection, options, report, previewRows, false);
}

bool ImportContacts(TADOConnection &connection, const TImportOptions &options, TImportReport &report)
{
    return Guarded(connection, options, report, 0, true);
}
