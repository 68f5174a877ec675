#pragma once

#include "platform/telephony/Tapi.h"
#include "dialer/IncomingCall.h"
#include "dialer/TapiStatus.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>

class QWidget;

// The dialer component: owned by a form, it opens one outgoing telephone
// line when it is created (and again before dialling while it has none),
// dials its TelephonNo, drops the call, opens the line service's two dialogs, and reports every step as an English or
// Croatian status text (LastStatus, and the status window when shown).
//
// Only the constructor raises. A window holding a dialer creates it with
// itself as owner and then applies its stored properties in order:
//
//     TapiDial1 = new TTapiDial(this);
//     TapiDial1->ApplyStoredProperties(QStringLiteral("0"), None, false, english);
//
// and its dial buttons call DialFieldText(TapiDial1, DBEdit3->text()).
//
// Its line also watches the calls the modem offers: OnIncomingCall is
// called at every RING of such a call and when its caller ID arrives (the
// same Call handle is the same call, another handle a new call), and once
// more when its line tells how it ended (Outcome); a call that has stopped
// ringing is deallocated without a word.
class TTapiDial : public QObject {
    Q_OBJECT
public:
    // owner must be a window (a QWidget for which isWindow() is true) that
    // holds no other TTapiDial; it becomes the dialer's parent.
    explicit TTapiDial(QObject *owner);
    ~TTapiDial() override;

    void InitTapi();
    void ShutdownTapi();
    void Dial();
    void HangUp();
    void ConfigDialog();
    void TranslateDialog();

    QString TelephonNo() const { return FTelephonNo; }
    TCallDialog CallDialog() const { return FCallDialog; }
    bool StatusWindow() const { return FStatusWindow; }
    TLanguage Language() const { return FLanguage; }

    void SetTelephonNo(const QString &value);
    void SetCallDialog(TCallDialog value);
    void SetStatusWindow(bool value);
    void SetLanguage(TLanguage value);

    // The stored values of a form, applied through the setters in the
    // order of the properties.
    void ApplyStoredProperties(const QString &telephonNo, TCallDialog callDialog, bool statusWindow, TLanguage language);

    // The handles, for those who look at the line (0 when there is none).
    HLINEAPP LineAppHandle() const { return FLineApp; }
    HLINE LineHandle() const { return FLine; }
    HCALL CallHandle() const { return FCall; }
    const LINECALLPARAMS &CallParameters() const { return FCallParams; }

    std::function<void(const TIncomingCall &)> OnIncomingCall;

    // Hands a message of an offered call, or of the line about such calls,
    // to the dialer whose line it concerns; false for every other message.
    static bool TakeIncomingMessage(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3);

private:
    void Report(const QString &englishText, const QString &croatianText);
    void CallOffered(HCALL call);
    void CallerIdArrived(HCALL call);
    void Rang(DWORD rings);
    void ReportIncoming(TIncomingCall call);
    void CallEnded(HCALL call);
    void CallOutcome(HCALL call, DWORD disconnectMode);
    void ForgetIncomingCalls();

    QString FTelephonNo;
    TCallDialog FCallDialog = None;
    bool FStatusWindow = false;
    TLanguage FLanguage = english;

    QWidget *FOwnerWindow = nullptr;
    HLINEAPP FLineApp = 0;
    HLINE FLine = 0;
    HCALL FCall = 0;
    LINECALLPARAMS FCallParams{};
    std::map<HCALL, TIncomingCall> FIncoming;
    HCALL FRinging = 0; // the offered call that rings now
};

// What a window's dial button does with the text its number field shows:
// an empty text gives the message "Telefon Numarası Yok!" and nothing
// more; any other text becomes the dialer's TelephonNo and is dialled.
void DialFieldText(TTapiDial *dialer, const QString &text);
