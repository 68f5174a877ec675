#pragma once

#include "platform/core/Exception.h"
#include "sync/SyncAccount.h"

#include <QString>
#include <optional>

enum class TPasswordPlace { None, Keyring, NetRc };

// The password for account.User at the account's host: the desktop keyring
// through the Secret Service (libsecret), then ~/.netrc. std::nullopt when
// neither has one. Never logs it.
std::optional<QString> LookupPassword(const TSyncAccount &account, TPasswordPlace *foundIn = nullptr);

// True when a Secret Service keyring answers on the session bus.
bool KeyringAvailable();

// Stores it in the keyring; when no keyring answers and allowNetRc, in
// ~/.netrc (mode 0600). Returns where it went (None: nowhere, no keyring
// and netrc not allowed). Raises EKeyringError when the keyring refuses
// it, EFileError when ~/.netrc cannot be written.
TPasswordPlace StorePassword(const TSyncAccount &account, const QString &password, bool allowNetRc);

// Stores it in ~/.netrc (mode 0600) whatever the keyring would say: the
// user's choice after the keyring refused it. Raises EFileError.
void StoreNetRcPassword(const TSyncAccount &account, const QString &password);

// The keyring answered but refused: Message() is the Secret Service's own
// text (never the password).
class EKeyringError : public Exception {
public:
    using Exception::Exception;
};
