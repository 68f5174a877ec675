#include "app/DialogParts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QLineEdit *MakeDialogEdit(QWidget *parent, const char *name, const QString &accessibleName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    return edit;
}

QPushButton *MakeTestButton(QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("&Bağlantıyı Sına"), parent);
    button->setObjectName(QStringLiteral("TestButton"));
    button->setAccessibleName(QStringLiteral("Bağlantıyı Sına"));
    button->setAutoDefault(false);
    return button;
}

QLabel *MakeTestResult(QWidget *parent)
{
    auto *result = new QLabel(parent);
    result->setObjectName(QStringLiteral("Result"));
    result->setAccessibleName(QStringLiteral("Sınamanın sonucu"));
    result->setWordWrap(true);
    result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return result;
}

QDialogButtonBox *MakeOkCancel(QDialog *dialog)
{
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ta&mam"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("İpta&l"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}
