#include "app/SyncTexts.h"

#include <QStringList>

QString SyncErrorText(const TSyncError &e)
{
    switch (e.Kind) {
    case TSyncFailure::None: return {};
    case TSyncFailure::Cancelled: return QStringLiteral("Eşitleme durduruldu; o ana kadar yapılanlar kaydedildi.");
    case TSyncFailure::Unauthorized: return QStringLiteral("Kullanıcı adı ya da parola yanlış.");
    case TSyncFailure::NotCardDav:
        // A CardDAV server that has nothing at the path answers "not found".
        if (e.HttpStatus == 404)
            return QStringLiteral("%1 adresinde bir adres defteri yok: sunucu adresinin yolunu denetleyin.").arg(e.Url);
        return QStringLiteral("%1 adresindeki sunucu bir CardDAV sunucusu değil.").arg(e.Url);
    case TSyncFailure::NoAddressBook:
        if (!e.Url.isEmpty())
            return QStringLiteral("%1 adresinde bir adres defteri yok: sunucu adresinin yolunu denetleyin.").arg(e.Url);
        return QStringLiteral("Sunucuda bu kullanıcının bir adres defteri bulunamadı.");
    case TSyncFailure::Certificate:
        // No certificate at all: the other end does not speak https.
        if (e.Fingerprint.isEmpty())
            return QStringLiteral(
                "Sunucuyla şifreli (https) bağlantı kurulamadı. Sunucu https kullanmıyorsa adresi "
                "http:// ile başlayarak yazın.");
        return QStringLiteral("Sunucunun sertifikası doğrulanamadı. Sertifikanın SHA-256 parmak izi: %1").arg(e.Fingerprint);
    case TSyncFailure::InsecureHttp:
        return QStringLiteral("Parola şifrelenmeden gönderilmez: sunucu adresini http:// yerine https:// ile başlayarak yazın.");
    case TSyncFailure::ForeignRedirect:
        return QStringLiteral("Sunucu başka bir sunucuya (%1) yönlendiriyor; parola oraya gönderilmedi.").arg(e.RedirectHost);
    case TSyncFailure::Timeout: return QStringLiteral("Sunucu 30 saniyedir yanıt vermiyor.");
    case TSyncFailure::Network:
        return QStringLiteral("Sunucuya bağlanılamadı: sunucu adresini ve bilgisayarın ağ bağlantısını denetleyin.");
    case TSyncFailure::BadReply: return QStringLiteral("Sunucunun yanıtı anlaşılamadı: geçerli bir CardDAV yanıtı değil.");
    case TSyncFailure::ReplyTooLarge: return QStringLiteral("Sunucunun yanıtı okunamayacak kadar büyük.");
    case TSyncFailure::HrefOutside:
        return QStringLiteral("Sunucu adres defterinin dışında bir kart gösterdi (%1); kabul edilmedi.").arg(e.Url);
    case TSyncFailure::OtherAddressBook:
        return QStringLiteral("Bu rehber başka bir adres defteriyle eşitleniyor (%1); iki defter karıştırılmaz.").arg(e.LinkedBook);
    case TSyncFailure::SeveralBooks:
        return QStringLiteral("Sunucuda birden çok adres defteri var; \"Eşitleme Hesabı\" penceresinde birini seçin.");
    case TSyncFailure::Busy: return QStringLiteral("Bu rehber şu anda başka bir bilgisayardan eşitleniyor. Biraz sonra yeniden deneyin.");
    case TSyncFailure::MassDelete:
        return QStringLiteral("Eşitleme %1 kişiyi silecekti; onay verilmediği için hiçbiri silinmedi.").arg(e.MassDeleteCount);
    case TSyncFailure::Database: return QStringLiteral("Rehbere yazılamadı; hiçbir şey yarım kalmadı. Biraz sonra yeniden deneyin.");
    case TSyncFailure::ServerError: return QStringLiteral("Sunucu bir hata bildirdi (HTTP %1).").arg(e.HttpStatus);
    }
    return {};
}

QString SyncSummaryText(const TSyncResult &r)
{
    const QString counts = QStringLiteral("%1 alındı, %2 gönderildi, %3 silindi.").arg(r.Received).arg(r.Sent).arg(r.Deleted);
    QStringList text{r.Error.Kind == TSyncFailure::Cancelled ? QStringLiteral("Eşitleme durduruldu. Durmadan önce: ") + counts
                                                             : QStringLiteral("Eşitleme tamamlandı: ") + counts};
    if (!r.NewConflicts.empty())
        text << QStringLiteral("%1 çakışma var: İşlemler > Eşitleme Çakışmaları... ile bakabilirsiniz.").arg(r.NewConflicts.size());
    if (!r.Problems.empty())
        text << QStringLiteral("%1 kart ya da değer rehbere alınamadı; sunucuda olduğu gibi duruyor.").arg(r.Problems.size());
    return text.join(u' ');
}

QString AddressBookText(const TAddressBookInfo &book)
{
    const QString name = book.Name.isEmpty() ? book.Url : book.Name;
    if (book.CardCount < 0)
        return QStringLiteral("\"%1\" adres defteri").arg(name);
    return QStringLiteral("\"%1\" adres defteri, %2 kişi").arg(name).arg(book.CardCount);
}

QString AddressBooksText(const std::vector<TAddressBookInfo> &books)
{
    if (books.size() == 1)
        return QStringLiteral("Bağlantı kuruldu: %1.").arg(AddressBookText(books.front()));
    return QStringLiteral("Bağlantı kuruldu: %1 adres defteri bulundu. Eşitlenecek olanı listeden seçin.").arg(books.size());
}

QString TrustFingerprintQuestion(const QString &fingerprint)
{
    return QStringLiteral(
               "Sunucunun sertifikası doğrulanamadı.\n\nSHA-256 parmak izi:\n%1\n\n"
               "Parmak izini sunucunun yöneticisinden öğrendiğinizle karşılaştırın. Bu sertifikaya güvenilsin mi?")
        .arg(fingerprint);
}

QString MassDeleteQuestion(int count, TSyncSide side)
{
    return (side == TSyncSide::Local ? QStringLiteral("%1 kişi bu bilgisayardaki rehberden silinecek. Devam edilsin mi?")
                                     : QStringLiteral("%1 kişi sunucudaki adres defterinden silinecek. Devam edilsin mi?"))
        .arg(count);
}

QString NothingToSyncText()
{
    return QStringLiteral("Rehber sunucuyla zaten eşit: değişen bir şey yok.");
}
