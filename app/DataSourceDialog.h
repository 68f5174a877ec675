#pragma once

#include "store/ServerSettings.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// What "Bağlantıyı Sına" found, in words for the user.
QString ServerAccessText(TServerAccess access);

// Ayarlar > "Veri Kaynağı...": the contacts file on this computer, or the
// office's PostgreSQL server by a libpq service name or by host, port,
// database and user, with an optional password and a connection test.
class TDataSourceDialog final : public QDialog {
    Q_OBJECT
public:
    // current: the server the program uses now (none: the file).
    explicit TDataSourceDialog(const std::optional<TServerSettings> &current, QWidget *parent = nullptr);

    // The choice: no server for the file.
    std::optional<TServerSettings> Choice() const;
    QString Password() const;

    void accept() override;

    QRadioButton *FileChoice, *ServerChoice, *ServiceChoice, *HostChoice;
    QLineEdit *Service, *Host, *Port, *Database, *User, *PasswordEdit;
    QPushButton *TestButton;
    QLabel *Result;

private:
    void UpdateEnabled();
    void TestConnection();

    QWidget *FServerBox;
    std::vector<std::pair<QString, QString>> FKept; // other libpq keywords of the setting
};
