#include "app/IncomingCallForm.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TIncomingCallForm::TIncomingCallForm(QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("GelenArama"));
    setWindowTitle(QStringLiteral("Gelen Arama"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    CallerLabel = new QLabel(this);
    CallerLabel->setObjectName(QStringLiteral("callerLabel"));
    QFont bold = CallerLabel->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    CallerLabel->setFont(bold);
    NumberLabel = new QLabel(this);
    NumberLabel->setObjectName(QStringLiteral("numberLabel"));
    TimeLabel = new QLabel(this);
    TimeLabel->setObjectName(QStringLiteral("timeLabel"));
    ShowButton = new QPushButton(QStringLiteral("Kişiyi &Göster"), this);
    ShowButton->setObjectName(QStringLiteral("showContactButton"));
    AddButton = new QPushButton(QStringLiteral("Yeni Kişi Olarak &Ekle"), this);
    AddButton->setObjectName(QStringLiteral("addContactButton"));
    for (QPushButton *button : {ShowButton, AddButton})
        button->setFocusPolicy(Qt::NoFocus);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ShowButton);
    buttons->addWidget(AddButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(CallerLabel);
    layout->addWidget(NumberLabel);
    layout->addWidget(TimeLabel);
    layout->addLayout(buttons);
    setMinimumWidth(320);
}

QString TIncomingCallForm::CallerLine(const TIncomingCall &call, const TCallerMatch &caller)
{
    switch (call.Caller) {
    case TIncomingCall::icPending: return QStringLiteral("Arayan bekleniyor");
    case TIncomingCall::icWithheld: return QStringLiteral("Gizli numara");
    case TIncomingCall::icUnavailable: return QStringLiteral("Numara yok");
    case TIncomingCall::icUnreadable: return QStringLiteral("Numara okunamadı");
    case TIncomingCall::icNumber: break;
    }
    if (caller.Found)
        return caller.Name;
    return call.Name.isEmpty() ? QStringLiteral("Rehberde kayıtlı değil") : call.Name;
}

QString TIncomingCallForm::NumberLine(const TIncomingCall &call, const TCallerMatch &caller)
{
    if (call.Caller != TIncomingCall::icNumber)
        return QString();
    return caller.Found ? caller.FieldLabel + QStringLiteral(": ") + call.Number : call.Number;
}

void TIncomingCallForm::ShowCall(const TIncomingCall &call, const TCallerMatch &caller)
{
    CallerLabel->setText(CallerLine(call, caller));
    NumberLabel->setText(NumberLine(call, caller));
    NumberLabel->setVisible(!NumberLabel->text().isEmpty());
    TimeLabel->setText(call.Time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    ShowButton->setVisible(caller.Found);
    AddButton->setVisible(!caller.Found && call.Caller == TIncomingCall::icNumber);
    adjustSize();
    if (!isVisible())
        show();
    raise();
}

QString TIncomingCallForm::CallerText() const
{
    return CallerLabel->text();
}
QString TIncomingCallForm::NumberText() const
{
    return NumberLabel->text();
}

bool TIncomingCallForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate) {
        if (QWidget *owner = parentWidget(); owner && owner->isVisible())
            QTimer::singleShot(0, owner, [owner] { owner->activateWindow(); });
    }
    return QWidget::event(e);
}
