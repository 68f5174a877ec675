#include "platform/telephony/LocationDialog.h"

#include "platform/telephony/DialogLayout.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

TLocationDialog::TLocationDialog(const TDialingLocation &location, const QString &number, QWidget *parent)
    : QDialog(parent), FNumber(number)
{
    setWindowTitle(QStringLiteral("Konum Seçenekleri"));
    setObjectName(QStringLiteral("LocationDialog"));
    setModal(true);

    auto *digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), this);
    FCountry = new QLineEdit(location.CountryCode, this);
    FCountry->setObjectName(QStringLiteral("countryEdit"));
    FCountry->setValidator(digits);
    FArea = new QLineEdit(location.AreaCode, this);
    FArea->setObjectName(QStringLiteral("areaEdit"));
    FArea->setValidator(digits);
    FOutside = new QLineEdit(location.OutsideLine, this);
    FOutside->setObjectName(QStringLiteral("outsideEdit"));
    FOutside->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9*#]{0,4}")), this));

    FTone = new QRadioButton(QStringLiteral("Ton"), this);
    FTone->setObjectName(QStringLiteral("toneButton"));
    FPulse = new QRadioButton(QStringLiteral("Darbe"), this);
    FPulse->setObjectName(QStringLiteral("pulseButton"));
    (location.Pulse ? FPulse : FTone)->setChecked(true);
    auto *dialing = new QHBoxLayout;
    dialing->addWidget(FTone);
    dialing->addWidget(FPulse);
    dialing->addStretch();

    auto *numberLabel = new QLabel(number, this);
    numberLabel->setObjectName(QStringLiteral("numberLabel"));
    numberLabel->setTextFormat(Qt::PlainText);
    FDialable = new QLabel(this);
    FDialable->setObjectName(QStringLiteral("dialableLabel"));
    FDialable->setTextFormat(Qt::PlainText);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Ülke kodu:"), FCountry);
    form->addRow(QStringLiteral("Alan kodu:"), FArea);
    form->addRow(QStringLiteral("Dış hat için:"), FOutside);
    form->addRow(QStringLiteral("Arama:"), dialing);
    form->addRow(QStringLiteral("Numara:"), numberLabel);
    form->addRow(QStringLiteral("Çevrilecek:"), FDialable);

    LayOutSettingsDialog(this, form);

    for (QLineEdit *edit : {FCountry, FArea, FOutside})
        connect(edit, &QLineEdit::textChanged, this, &TLocationDialog::UpdateDialable);
    connect(FPulse, &QRadioButton::toggled, this, &TLocationDialog::UpdateDialable);
    UpdateDialable();
}

TDialingLocation TLocationDialog::Location() const
{
    TDialingLocation l;
    l.CountryCode = FCountry->text();
    l.AreaCode = FArea->text();
    l.OutsideLine = FOutside->text();
    l.Pulse = FPulse->isChecked();
    return l;
}

void TLocationDialog::UpdateDialable()
{
    const QString dialable = DialableForm(FNumber, Location());
    FDialable->setText(dialable.isEmpty() ? QStringLiteral("(aranamaz)") : dialable);
}
