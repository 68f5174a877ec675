#include "platform/widgets/ErrorText.h"

#include "platform/core/Exception.h"
#include "platform/core/SystemErrorText.h"

namespace {

// The sentence, then the system's words in brackets in Turkish, then the
// sentence's full stop. A server's or a library's own words stay out: they
// are English, and the sentence already says what happened.
QString Sentence(const QString &text, const QString &detail = {})
{
    const QString words = SystemErrorText(detail);
    return words.isEmpty() ? text + u'.' : text + QStringLiteral(" (") + words + QStringLiteral(").");
}

const QString kDataSourceEntry = QStringLiteral("Ayarlar > Veri Kaynağı...");

} // namespace

QString WindowErrorText(const std::exception &e)
{
    const TErrorFacts f = ExceptionFacts(e);
    const QString &path = f.Subject;
    switch (f.Kind) {
    case TErrorKind::None: break;
    case TErrorKind::ServerUnreachable:
        return Sentence(QStringLiteral("Veritabanı sunucusuna bağlanılamadı: sunucunun çalıştığını ve adının doğru "
                                       "yazıldığını denetleyiniz ya da yöneticinize başvurunuz"),
                        f.Detail);
    case TErrorKind::ServerNoPassword:
        return Sentence(QStringLiteral("Sunucu parola istiyor, ancak bu sunucu için kayıtlı bir parola yok: parolayı %1 "
                                       "penceresinde yazınız")
                            .arg(kDataSourceEntry),
                        f.Detail);
    case TErrorKind::ServerAuthFailed:
        return Sentence(QStringLiteral("Sunucu kullanıcı adını ya da parolayı kabul etmedi: bunları %1 penceresinde "
                                       "denetleyiniz")
                            .arg(kDataSourceEntry),
                        f.Detail);
    case TErrorKind::ServerFull:
        return Sentence(QStringLiteral("Sunucuda bu bilgisayar için boş bağlantı kalmadı: yöneticinizden bağlantı "
                                       "sayısını (max_connections) artırmasını isteyiniz"),
                        f.Detail);
    case TErrorKind::ServerSilent:
        return Sentence(QStringLiteral("Veritabanı sunucusu %1 saniye içinde yanıt vermedi: ağ bağlantısını denetleyip "
                                       "yeniden deneyiniz")
                            .arg(f.Count));
    case TErrorKind::ServerLost:
        return Sentence(
            QStringLiteral("Veritabanı sunucusuyla bağlantı koptu: ağ bağlantısını denetleyip yeniden "
                           "deneyiniz; yazdıklarınız duruyor"));
    case TErrorKind::ServerSetting:
        return Sentence(QStringLiteral("Veri.ini dosyasındaki sunucu ayarı okunamıyor: sunucuyu %1 penceresinde yeniden "
                                       "giriniz")
                            .arg(kDataSourceEntry),
                        f.Subject.isEmpty() ? QString() : QStringLiteral("bilinmeyen ayar: %1").arg(f.Subject));
    case TErrorKind::ServerUnprepared:
        return Sentence(QStringLiteral("Bu sunucu veritabanı rehber için hazırlanmamış: yöneticiniz onu "
                                       "\"velmora-rehber-db create\" komutuyla hazırlamalıdır"),
                        f.Detail);
    case TErrorKind::PermissionDenied:
        return Sentence(QStringLiteral("Bu işlem için izniniz yok: yöneticinizden rehber için gereken izni isteyiniz"), f.Detail);
    case TErrorKind::RowLocked:
        return Sentence(QStringLiteral("Bu kişiyi şu anda başka bir bilgisayar düzenliyor: biraz sonra yeniden deneyiniz"), f.Detail);
    case TErrorKind::DatabaseInUse:
        return Sentence(
            QStringLiteral("Rehberi şu anda başka bir program kullanıyor ve zamanında bırakmadı, hiçbir şey "
                           "yazılmadı: biraz sonra yeniden deneyiniz"));
    case TErrorKind::NotADatabase:
        return Sentence(QStringLiteral("\"%1\" bir rehber veritabanı değil ya da bozulmuş: doğru dosyayı ya da bir yedeğini "
                                       "bu adla yerine koyunuz")
                            .arg(path));
    case TErrorKind::OldDatabase:
        return Sentence(QStringLiteral("\"%1\" programın eski Windows sürümünün veritabanı: açılabilmesi için önce "
                                       "dönüştürülmesi gerekir")
                            .arg(path));
    case TErrorKind::FileMissing:
        return Sentence(QStringLiteral("\"%1\" dosyası bulunamadı: dosyanın adını ve klasörünü denetleyiniz").arg(path));
    case TErrorKind::NotAFile:
        return Sentence(QStringLiteral("\"%1\" okunabilecek bir dosya değil (bir klasör, bir boru ya da bir aygıt): "
                                       "bir dosya seçiniz")
                            .arg(path));
    case TErrorKind::FileRead:
        return Sentence(QStringLiteral("\"%1\" dosyası okunamadı: dosyanın izinlerini denetleyiniz").arg(path), f.Detail);
    case TErrorKind::FileCreate:
        return Sentence(QStringLiteral("\"%1\" dosyası oluşturulamadı: yazabileceğiniz bir klasör seçiniz").arg(path), f.Detail);
    case TErrorKind::FileWrite:
        return Sentence(QStringLiteral("\"%1\" dosyasına yazılamadı: diskte yer olduğunu denetleyip yeniden deneyiniz").arg(path),
                        f.Detail);
    case TErrorKind::OfficeUnavailable:
        return Sentence(QStringLiteral("LibreOffice Calc başlatılamadı: libreoffice-calc paketinin kurulu olduğunu denetleyiniz"),
                        f.Detail);
    }
    return ExceptionText(e);
}
