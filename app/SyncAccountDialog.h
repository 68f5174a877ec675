#pragma once

#include "sync/SyncAccount.h"
#include "sync/SyncSession.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

// Ayarlar > "Eşitleme Hesabı...": the CardDAV server's address, the user
// and password, a connection test that finds the address books (the user
// picks one when there are several), and the automatic sync's interval.
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

    void accept() override;

    QLineEdit *Url, *User, *PasswordEdit;
    QPushButton *TestButton;
    QLabel *Result;
    QListWidget *AddressBooks;
    QSpinBox *Interval;

private:
    void TestConnection();
    void ProbeFinished();
    void ServerChanged();

    TSyncAccount FCurrent;
    QString FAddressBook, FTrusted;
    QPointer<TSyncProbe> FProbe;
};
