#pragma once

#include "platform/core/Exception.h"

#include <QString>
#include <optional>

// Where the program's passwords are kept: the desktop keyring through the
// Secret Service (libsecret), else ~/.netrc ("machine HOST login USER
// password ..."), and only with the user's consent. One account is a
// service (each its own keyring schema), a host and a user.
enum class TPasswordService { CardDav, Sip };

struct TCredential {
    TPasswordService Service = TPasswordService::CardDav;
    QString Host; // the host the password belongs to, without a port
    QString User;
};

enum class TPasswordPlace { None, Keyring, NetRc };

// The password: the keyring, then ~/.netrc. std::nullopt when neither has
// one. Never logs it.
std::optional<QString> LookupPassword(const TCredential &credential, TPasswordPlace *foundIn = nullptr);

// True when a Secret Service keyring answers on the session bus.
bool KeyringAvailable();

// Stores it in the keyring; when no keyring answers and allowNetRc, in
// ~/.netrc (mode 0600). Returns where it went (None: nowhere, no keyring
// and netrc not allowed). Raises EKeyringError when the keyring refuses
// it, EFileError when ~/.netrc cannot be written.
TPasswordPlace StorePassword(const TCredential &credential, const QString &password, bool allowNetRc);

// Stores it in ~/.netrc (mode 0600) whatever the keyring would say: the
// user's choice after the keyring refused it. Raises EFileError.
void StoreNetRcPassword(const TCredential &credential, const QString &password);

// The keyring answered but refused: Message() is the Secret Service's own
// text (never the password).
class EKeyringError : public Exception {
public:
    using Exception::Exception;
};
