#include "tools/ImportText.h"

#include "contacts/ContactRecord.h"
#include "store/ContactsTable.h"

#include <QStringList>

namespace {

using K = TImportProblemKind;

QString ColumnName(int field)
{
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    return field >= 0 && field < count ? QLatin1String(columns[field].Name) : QString();
}

QString Quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// "line 4", "card 2"
QString RecordName(std::int64_t position, TContactFileKind kind)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(kind == TContactFileKind::VCard ? "card" : "line")).arg(position);
}

QString Of(const TImportProblem &p, TContactFileKind kind)
{
    return p.Of > 0 ? QStringLiteral("contact No %1").arg(p.Of) : RecordName(-p.Of, kind);
}

QString ProblemText(const TImportProblem &p, TContactFileKind kind)
{
    const QString property = QStringLiteral("%1 on line %2: ").arg(p.Name).arg(p.Line);
    switch (p.Kind) {
    case K::ValueTooLong:
        return QStringLiteral("%1 %2: %3 characters, longer than the column's %4")
            .arg(ColumnName(p.Field), Quoted(p.Text))
            .arg(p.Count)
            .arg(p.Limit);
    case K::FaxOrPager: return QStringLiteral("the fax or pager number ") + Quoted(p.Text);
    case K::ExtraNumber: return QStringLiteral("the number ") + Quoted(p.Text);
    case K::SecondNumber:
        return QStringLiteral("the second %1 number %2")
            .arg(QLatin1String(p.Field == cfCTelefon       ? "mobile"
                                   : p.Field == cfETelefon ? "home"
                                                           : "work"),
                 Quoted(p.Text));
    case K::SecondEmail: return QStringLiteral("the e-mail ") + Quoted(p.Text);
    case K::SecondAddress: return QStringLiteral("the address ") + Quoted(p.Text);
    case K::OtherData: return p.Name;
    case K::MoreDetails: return QStringLiteral("more");
    case K::ValueCharsetNotRecognised: return property + QStringLiteral("the text's charset cannot be recognised");
    case K::ValueCharsetUnknown: return property + QStringLiteral("the charset %1 is not known").arg(Quoted(p.Text));
    case K::ValueNotReadable: return property + QStringLiteral("the text is not readable as ") + p.Text;
    case K::ValueHasNul: return property + QStringLiteral("the text holds a NUL byte");
    case K::NotVCardLine: return QStringLiteral("line %1, which is not a vCard line").arg(p.Line);
    case K::TooManyProperties: return QStringLiteral("the names, numbers, e-mails and addresses after the first %1").arg(p.Limit);
    case K::CardNotClosed: return QStringLiteral("the card has no END:VCARD before the next card");
    case K::LineNotReadable:
        return QStringLiteral("line %1 is not readable as %2 (name the file's encoding with --encoding)").arg(p.Line).arg(p.Name);
    case K::LineHasNul: return QStringLiteral("line %1 holds a NUL byte").arg(p.Line);
    case K::LineTooLong: return QStringLiteral("line %1 is longer than %2 bytes").arg(p.Line).arg(p.Limit);
    case K::NothingToStore: return QStringLiteral("nothing to store: no name, no telephone number and no e-mail");
    case K::QuotingBroken: return QStringLiteral("the quoting is broken (a quote inside a field, or text after a closing quote)");
    case K::QuoteNotClosed: return QStringLiteral("a quoted field is never closed");
    case K::TooManyFields: return QStringLiteral("%1 fields where the header has %2").arg(p.Count).arg(p.Limit);
    case K::TextOutsideCard: return QStringLiteral("line %1: text outside a card").arg(p.Line);
    case K::CardNotEnded: return QStringLiteral("the file ends before END:VCARD: the card is cut short");
    case K::SameRecord: return QStringLiteral("the same as ") + Of(p, kind);
    case K::SameNameAndNumber: return QStringLiteral("the same name and number %1 as %2").arg(Quoted(p.Text), Of(p, kind));
    case K::SameNameAndEmail: return QStringLiteral("the same name and e-mail %1 as %2").arg(Quoted(p.Text), Of(p, kind));
    case K::ColumnNotRead: return QStringLiteral("%1 (%2 lines)").arg(p.Name).arg(p.Count);
    case K::NotContactFile:
        return p.Line > 0 ? QStringLiteral("not a vCard or CSV file: line %1 is not readable text in %2").arg(p.Line).arg(p.Name)
                          : QStringLiteral("not a vCard or CSV file");
    case K::FileEmpty: return QStringLiteral("the file is empty");
    case K::NoHeaderAfterSep: return QStringLiteral("the file has no header after its \"sep=\" line");
    case K::HeaderNotReadable: return QStringLiteral("the header on line %1").arg(p.Line);
    case K::HeaderUnknown:
        return QStringLiteral(
                   "the file's first line %1 names none of the columns the import knows (Ad, Soyad, CTelefon, ETelefon, "
                   "ITelefon, Email, Adres, or the headers of an address book's CSV export)")
            .arg(Quoted(p.Text));
    case K::RecordTooLong:
        return QStringLiteral("the record beginning on line %1 runs past %2 bytes: a quoted field is not closed, or this is not a CSV file")
            .arg(p.Line)
            .arg(p.Limit);
    case K::FileLineTooLong:
        return QStringLiteral("line %1 is longer than %2 bytes; this is not a %3 file that can be read")
            .arg(p.Line)
            .arg(p.Limit)
            .arg(p.Name);
    case K::EncodingUnknown: return QStringLiteral("unknown encoding %1").arg(Quoted(p.Name));
    case K::EncodingNotRecognised: return QStringLiteral("the file's encoding cannot be recognised; name it with --encoding");
    case K::EncodingNotRead:
        return QStringLiteral(
                   "the file's encoding looks like %1, which is not one the import reads on its own; if it is right, name it "
                   "with --encoding")
            .arg(p.Name);
    case K::TextNotReadable: return QStringLiteral("line %1: the text is not readable as %2").arg(p.Line).arg(p.Name);
    }
    return QString();
}

QString Joined(const std::vector<TImportProblem> &problems, TContactFileKind kind, const QString &separator)
{
    QStringList texts;
    for (const TImportProblem &p : problems)
        texts << ProblemText(p, kind);
    return texts.join(separator);
}

} // namespace

QString ImportMessageLine(const TImportMessage &message, TContactFileKind kind)
{
    QString text;
    switch (message.Verdict) {
    case TImportVerdict::NotTaken: text = QStringLiteral("not taken: ") + Joined(message.Problems, kind, QStringLiteral(", ")); break;
    case TImportVerdict::Refused:
        text = Joined(message.Problems, kind, QStringLiteral("; ")) + (message.Skipped ? QStringLiteral(" (skipped)") : QString());
        break;
    case TImportVerdict::Duplicate: text = QStringLiteral("skipped as duplicate: ") + Joined(message.Problems, kind, QString()); break;
    case TImportVerdict::File: text = QStringLiteral("columns not read: ") + Joined(message.Problems, kind, QStringLiteral(", ")); break;
    }
    return message.Position > 0 ? RecordName(message.Position, kind) + QStringLiteral(": ") + text : text;
}

QString ContactFileErrorText(const EContactFileError &error)
{
    const QString text = ProblemText(error.Problem, TContactFileKind::Csv);
    return error.Details.empty() ? text : text + QStringLiteral(": ") + Joined(error.Details, TContactFileKind::Csv, QStringLiteral("; "));
}

QString MessagesLeftOutLine(const TImportReport &report)
{
    return report.MessagesLeftOut > 0 ? QStringLiteral("... and %1 more not listed").arg(report.MessagesLeftOut) : QString();
}
