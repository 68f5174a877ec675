#include "platform/widgets/Edit.h"

#include "platform/widgets/Application.h"

#include <QKeyEvent>

void TEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (OnKeyPress && typed.size() == 1)
        Application->Guard([&] { OnKeyPress(typed.at(0)); });
    QLineEdit::keyPressEvent(event);
}
