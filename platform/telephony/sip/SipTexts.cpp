#include "platform/telephony/sip/SipTexts.h"

#include <QInputDialog>
#include <QLineEdit>

QString SipFailureText(TSipFailure failure)
{
    switch (failure) {
    case TSipFailure::None: return QStringLiteral("Santrale bağlanıldı.");
    case TSipFailure::NoPassword: return QStringLiteral("Santral parolası girilmedi.");
    case TSipFailure::WrongPassword: return QStringLiteral("Santral parolayı kabul etmedi: kullanıcı adını ve parolayı denetleyin.");
    case TSipFailure::NoAnswer: return QStringLiteral("Santral yanıt vermiyor: sunucu adresini ve ağ bağlantısını denetleyin.");
    case TSipFailure::Refused: return QStringLiteral("Santral kaydı reddetti.");
    case TSipFailure::Certificate: return QStringLiteral("Santralin sertifikası doğrulanamadı.");
    case TSipFailure::BadSettings: return QStringLiteral("Santral ayarları eksik: sunucuyu ve dahili numarayı girin.");
    }
    return QString();
}

bool AskSipPassword(const TSipConfig &config, QWidget *parent)
{
    bool ok = false;
    const QString password = QInputDialog::getText(parent, QStringLiteral("Santral Parolası"),
                                                   QStringLiteral("%1 dahilisinin parolası (%2):").arg(config.User, config.Server),
                                                   QLineEdit::Password, QString(), &ok);
    if (!ok || password.isEmpty())
        return false;
    KeepSipPassword(config, password, false);
    return true;
}
