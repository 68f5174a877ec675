#pragma once

// sofia-sip's user agent with the program's handles: the agent is the
// stack's magic, and a handle's magic is its TSipHandleOwner.

#include <sofia-sip/nua.h>
#include <sofia-sip/nta_tag.h>
#include <sofia-sip/nua_tag.h>
#include <sofia-sip/sip_extra.h>
#include <sofia-sip/sip_header.h>
#include <sofia-sip/sip_status.h>
#include <sofia-sip/su_glib.h>

#include <QByteArray>
#include <QString>

// The process's one sofia root, on the GLib main context that Qt's event
// loop runs; made on first use.
su_root_t *SipRoot();

// The host part of "host[:port]".
QString SipServerHost(const QString &server);
// The local address the server is reached from, for the stack to bind to
// ("*", every address, for a server named by its host name).
QString SipLocalAddress(const QString &server);
