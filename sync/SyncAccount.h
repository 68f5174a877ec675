#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

// The CardDAV account the directory keeps in step with: one for the window
// and the contacts tool alike.
struct TSyncAccount {
    QString Url; // as the user typed it: a server, a principal or an address book
    QString User;
    int IntervalMinutes = 15;   // automatic sync; 0 = only by hand
    QString AddressBook;        // the address book's URL once discovered or chosen; empty until then
    QString TrustedFingerprint; // SHA-256 (hex, lower case) of a certificate the user confirmed
    QDateTime LastSync;         // the end of the last sync that succeeded (UTC); invalid: none yet
    bool IsSet() const { return !Url.isEmpty(); }

    // Url as a URL: an address typed without a scheme ("dav.example.org/x")
    // is taken as https.
    QUrl ServerUrl() const;
    // The host the password belongs to (lower case; empty without an address).
    QString Host() const;
};

// Kept beside the data-source settings (~/.config/Velmora/Veri.ini, group
// [Sync]) so the window and the tool share one account. Never holds the
// password. Saving raises EFileError when the file cannot be written.
TSyncAccount LoadSyncAccount();
void SaveSyncAccount(const TSyncAccount &account);
