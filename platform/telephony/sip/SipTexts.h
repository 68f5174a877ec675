#pragma once

#include "platform/telephony/sip/SipAgent.h"

class QWidget;

// What the user reads of a registration that failed, in Turkish.
QString SipFailureText(TSipFailure failure);

// Asks for the password of config's account ("Santral Parolası") and keeps
// it for the session; false when the user gave none.
bool AskSipPassword(const TSipConfig &config, QWidget *parent);
