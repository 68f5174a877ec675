#include "app/ImportText.h"

#include "app/FieldLabels.h"
#include "contacts/ContactRecord.h"

#include <QFileInfo>
#include <QStringList>

namespace {

using K = TImportProblemKind;

QString Quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// "4. satır", "2. kart"
QString RecordName(std::int64_t position, TContactFileKind kind)
{
    return QStringLiteral("%1. %2").arg(position).arg(kind == TContactFileKind::VCard ? QStringLiteral("kart") : QStringLiteral("satır"));
}

// The record a duplicate repeats, "ile" joined: "12 numaralı kişiyle", "4. satırla", "2. kartla".
QString WithOf(const TImportProblem &p, TContactFileKind kind)
{
    if (p.Of > 0)
        return QStringLiteral("%1 numaralı kişiyle").arg(p.Of);
    return QStringLiteral("%1. %2").arg(-p.Of).arg(kind == TContactFileKind::VCard ? QStringLiteral("kartla") : QStringLiteral("satırla"));
}

QString ProblemText(const TImportProblem &p, TContactFileKind kind)
{
    const QString value = QStringLiteral("%1. satırdaki %2 alınmadı").arg(p.Line).arg(p.Name);
    switch (p.Kind) {
    case K::ValueTooLong:
        return QStringLiteral("%1 alınmadı (%2 karakter, en çok %3)").arg(ContactFieldLabel(p.Field)).arg(p.Count).arg(p.Limit);
    case K::FaxOrPager: return QStringLiteral("faks ya da çağrı cihazı numarası %1 alınmadı").arg(Quoted(p.Text));
    case K::ExtraNumber: return QStringLiteral("fazladan numara %1 alınmadı").arg(Quoted(p.Text));
    case K::SecondNumber: return QStringLiteral("ikinci %1 %2 alınmadı").arg(ContactFieldLabel(p.Field), Quoted(p.Text));
    case K::SecondEmail: return QStringLiteral("ikinci %1 %2 alınmadı").arg(ContactFieldLabel(cfEmail), Quoted(p.Text));
    case K::SecondAddress: return QStringLiteral("adres %1 alınmadı").arg(Quoted(p.Text));
    case K::OtherData: return QStringLiteral("%1 alınmadı (rehberde yeri yok)").arg(p.Name);
    case K::MoreDetails: return QStringLiteral("başka ayrıntılar da alınmadı");
    case K::ValueCharsetNotRecognised: return value + QStringLiteral(" (karakter kümesi anlaşılamadı)");
    case K::ValueCharsetUnknown: return value + QStringLiteral(" (%1 karakter kümesi bilinmiyor)").arg(Quoted(p.Text));
    case K::ValueNotReadable: return value + QStringLiteral(" (%1 olarak okunamıyor)").arg(p.Text);
    case K::ValueHasNul: return value + QStringLiteral(" (NUL baytı içeriyor)");
    case K::NotVCardLine: return QStringLiteral("%1. satır bir vCard satırı değil, alınmadı").arg(p.Line);
    case K::TooManyProperties: return QStringLiteral("ilk %1 bilgiden sonrakiler alınmadı").arg(p.Limit);
    case K::CardNotClosed: return QStringLiteral("kart, sonraki kart başlamadan END:VCARD ile kapanmıyor");
    case K::LineNotReadable:
        return QStringLiteral("%1. satır %2 olarak okunamıyor (dosyanın kodlamasını \"Kodlama\" kutusundan seçin)").arg(p.Line).arg(p.Name);
    case K::LineHasNul: return QStringLiteral("%1. satırda NUL baytı var").arg(p.Line);
    case K::LineTooLong: return QStringLiteral("%1. satır %2 bayttan uzun").arg(p.Line).arg(p.Limit);
    case K::NothingToStore: return QStringLiteral("kaydedilecek bilgi yok: ad, telefon numarası ve e-posta yok");
    case K::QuotingBroken: return QStringLiteral("tırnaklar bozuk (alanın içinde tırnak ya da kapanan tırnaktan sonra metin var)");
    case K::QuoteNotClosed: return QStringLiteral("tırnakla başlayan alan hiç kapanmıyor");
    case K::TooManyFields: return QStringLiteral("başlıkta %1 alan varken %2 alan var").arg(p.Limit).arg(p.Count);
    case K::TextOutsideCard: return QStringLiteral("%1. satır: kartların dışında metin").arg(p.Line);
    case K::CardNotEnded: return QStringLiteral("dosya END:VCARD gelmeden bitiyor, kart yarım kalmış");
    case K::SameRecord: return QStringLiteral("%1 tümüyle aynı").arg(WithOf(p, kind));
    case K::SameNameAndNumber:
    case K::SameNameAndEmail:
        return QStringLiteral("ad ve %1 (%2) %3 aynı").arg(ContactFieldLabel(p.Field), Quoted(p.Text), WithOf(p, kind));
    case K::ColumnNotRead: return QStringLiteral("%1 (%2 satırda dolu)").arg(p.Name).arg(p.Count);
    case K::NotContactFile:
        return p.Line > 0
            ? QStringLiteral("bir vCard ya da CSV dosyası değil (%1. satır %2 olarak okunabilir bir metin değil)").arg(p.Line).arg(p.Name)
            : QStringLiteral("bir vCard ya da CSV dosyası değil");
    case K::FileEmpty: return QStringLiteral("dosya boş");
    case K::NoHeaderAfterSep: return QStringLiteral("\"sep=\" satırından sonra başlık satırı yok");
    case K::HeaderNotReadable: return QStringLiteral("%1. satırdaki başlık okunamıyor").arg(p.Line);
    case K::HeaderUnknown:
        return QStringLiteral(
                   "ilk satırdaki %1 başlığında tanınan bir sütun yok (Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres "
                   "ya da bir adres defterinin CSV başlıkları beklenir)")
            .arg(Quoted(p.Text));
    case K::RecordTooLong:
        return QStringLiteral(
                   "%1. satırda başlayan kayıt %2 baytı aşıyor: tırnakla başlayan bir alan kapanmıyor ya da bu bir CSV dosyası değil")
            .arg(p.Line)
            .arg(p.Limit);
    case K::FileLineTooLong:
        return QStringLiteral("%1. satır %2 bayttan uzun; bu okunabilecek bir %3 dosyası değil").arg(p.Line).arg(p.Limit).arg(p.Name);
    case K::EncodingUnknown: return QStringLiteral("%1 kodlaması bilinmiyor").arg(Quoted(p.Name));
    case K::EncodingNotRecognised: return QStringLiteral("dosyanın kodlaması anlaşılamadı");
    case K::EncodingNotRead:
        return QStringLiteral("dosyanın kodlaması %1 gibi görünüyor, içe aktarma bunu kendiliğinden okumuyor").arg(p.Name);
    case K::TextNotReadable: return QStringLiteral("%1. satır %2 olarak okunamıyor").arg(p.Line).arg(p.Name);
    }
    return QString();
}

QString Joined(const std::vector<TImportProblem> &problems, TContactFileKind kind)
{
    QStringList texts;
    for (const TImportProblem &p : problems)
        texts << ProblemText(p, kind);
    return texts.join(QStringLiteral("; "));
}

} // namespace

QString ImportMessageLine(const TImportMessage &message, TContactFileKind kind)
{
    QString text = Joined(message.Problems, kind);
    switch (message.Verdict) {
    case TImportVerdict::NotTaken: break;
    case TImportVerdict::Refused: text += message.Skipped ? QStringLiteral(" (atlandı)") : QStringLiteral(" (kayıt alınmadı)"); break;
    case TImportVerdict::Duplicate: text = QStringLiteral("rehberde olduğu için atlandı: ") + text; break;
    case TImportVerdict::File: text = QStringLiteral("okunmayan sütunlar: ") + text; break;
    }
    return message.Position > 0 ? RecordName(message.Position, kind) + QStringLiteral(": ") + text : text;
}

QString ContactFileErrorText(const EContactFileError &error)
{
    QString text = ProblemText(error.Problem, TContactFileKind::Csv);
    if (!error.Details.empty())
        text += QStringLiteral(": ") + Joined(error.Details, TContactFileKind::Csv);
    return QStringLiteral("%1 okunamadı: %2.").arg(Quoted(QFileInfo(error.File).fileName()), text);
}

QString MessagesLeftOutLine(const TImportReport &report)
{
    return report.MessagesLeftOut > 0 ? QStringLiteral("… ve listelenmeyen %1 sorun daha").arg(report.MessagesLeftOut) : QString();
}
