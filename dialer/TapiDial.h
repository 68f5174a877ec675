#pragma once

#include "platform/telephony/Tapi.h"
#include "dialer/TapiStatus.h"

#include <QObject>
#include <QString>

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
    void ApplyStoredProperties(const QString &telephonNo, TCallDialog callDialog, bool statusWindow,
                               TLanguage language);

    // The handles, for those who look at the line (0 when there is none).
    HLINEAPP LineAppHandle() const { return FLineApp; }
    HLINE LineHandle() const { return FLine; }
    HCALL CallHandle() const { return FCall; }
    const LINECALLPARAMS &CallParameters() const { return FCallParams; }

private:
    void Report(const QString &englishText, const QString &croatianText);

    QString FTelephonNo;
    TCallDialog FCallDialog = None;
    bool FStatusWindow = false;
    TLanguage FLanguage = english;

    QWidget *FOwnerWindow = nullptr;
    HLINEAPP FLineApp = 0;
    HLINE FLine = 0;
    HCALL FCall = 0;
    LINECALLPARAMS FCallParams{};
};

// What a window's dial button does with the text its number field shows:
// an empty text gives the message "Telefon Numarası Yok!" and nothing
// more; any other text becomes the dialer's TelephonNo and is dialled.
void DialFieldText(TTapiDial *dialer, const QString &text);
