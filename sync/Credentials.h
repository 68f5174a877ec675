#pragma once

#include "platform/core/Credentials.h"
#include "sync/SyncAccount.h"

// The CardDAV account's password, kept where the program keeps passwords.
inline TCredential CredentialOf(const TSyncAccount &account)
{
    return {TPasswordService::CardDav, account.Host(), account.User};
}
inline std::optional<QString> LookupPassword(const TSyncAccount &account, TPasswordPlace *foundIn = nullptr)
{
    return LookupPassword(CredentialOf(account), foundIn);
}
inline TPasswordPlace StorePassword(const TSyncAccount &account, const QString &password, bool allowNetRc)
{
    return StorePassword(CredentialOf(account), password, allowNetRc);
}
inline void StoreNetRcPassword(const TSyncAccount &account, const QString &password)
{
    StoreNetRcPassword(CredentialOf(account), password);
}
