#pragma once

#include "sync/SyncAccount.h"
#include "sync/SyncSession.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

// Ayarlar > "Eşitleme Hesabı...": the CardDAV server's address, the user
// and password, a connection test that finds the address books (the user
// picks one when there are several), and the automatic sync's interval;
// for an account already kept, the address book it is linked to and the
// last sync, and "Hesabı Kaldır".
class TSyncAccountDialog final : public QDialog {
    Q_OBJECT
public:
    explicit TSyncAccountDialog(const TSyncAccount &current, QWidget *parent = nullptr);
    ~TSyncAccountDialog() override;

    // The account as the dialog leaves it: the chosen address book and a
    // certificate the user trusted with it.
    TSyncAccount Account() const;
    // What the user typed (empty: the stored password stays).
    QString Password() const;
    // True when the user removed the account (Account() is then empty).
    bool Removed() const { return FRemoved; }

    void accept() override;

    QLineEdit *Url, *User, *PasswordEdit;
    QCheckBox *ShowPassword;
    QPushButton *TestButton, *RemoveButton;
    QLabel *Hint, *Linked, *Result;
    QListWidget *AddressBooks;
    QSpinBox *Interval;

private:
    void TestConnection();
    void ProbeFinished();
    void ServerChanged();
    void ShowLinked();
    void Remove();

    TSyncAccount FCurrent;
    QString FAddressBook, FTrusted;
    bool FRemoved = false;
    QPointer<TSyncProbe> FProbe;
};
