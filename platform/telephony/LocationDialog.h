#pragma once

#include "platform/telephony/ModemSettings.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;

// "Konum Seçenekleri": where the user dials from (country code, area code,
// the prefix for an outside line, tone or pulse), showing the given number
// and what the modem would dial for it.
//
// Object names: countryEdit, areaEdit, outsideEdit, toneButton,
// pulseButton, numberLabel, dialableLabel, buttonBox.
class TLocationDialog : public QDialog {
    Q_OBJECT
public:
    TLocationDialog(const TDialingLocation &location, const QString &number, QWidget *parent = nullptr);

    TDialingLocation Location() const;

private:
    void UpdateDialable();

    QString FNumber;
    QLineEdit *FCountry;
    QLineEdit *FArea;
    QLineEdit *FOutside;
    QRadioButton *FTone;
    QRadioButton *FPulse;
    QLabel *FDialable;
};
