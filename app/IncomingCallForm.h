#pragma once

#include "app/CallerLookup.h"
#include "dialer/IncomingCall.h"

#include <QWidget>

class QLabel;
class QPushButton;

// "Gelen Arama": who is calling, beside the main window. It is shown
// without being activated, so that an edit in progress keeps the keyboard.
// Each report of a call fills it anew; the owner decides whether it is the
// same call.
class TIncomingCallForm : public QWidget {
    Q_OBJECT
public:
    explicit TIncomingCallForm(QWidget *owner);

    // The call and the contact its number belongs to (not Found for an
    // unknown, withheld or missing number).
    void ShowCall(const TIncomingCall &call, const TCallerMatch &caller);

    // What the window says of the caller, in one line each: the name (or
    // what stands in for one) and, for a known contact, "GSM No: 0505 ...".
    QString CallerText() const;
    QString NumberText() const;

    // "Gelen Arama" once, then what the window shows, for a notification.
    static QString CallerLine(const TIncomingCall &call, const TCallerMatch &caller);
    static QString NumberLine(const TIncomingCall &call, const TCallerMatch &caller);

    QLabel *CallerLabel, *NumberLabel, *TimeLabel;
    QPushButton *ShowButton, *AddButton;

protected:
    // A desktop that activates the window all the same (some window
    // managers ignore the request) gets the activation handed back to the
    // owner at once; the buttons work with the mouse alone.
    bool event(QEvent *event) override;
};
