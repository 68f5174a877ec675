#pragma once

// The dialer's reporting side: the line callback that turns replies and
// call states into status texts, the latest status text, and the small
// always-on-top status window that lists the texts. All of it exists once
// in the program and is shared by every TTapiDial.

#include "platform/telephony/Tapi.h"

#include <QPointer>
#include <QString>
#include <cstdint>

class QListWidget;
class QWidget;

enum TCallDialog : std::uint8_t { None, Win95 };
enum TLanguage : std::uint8_t { english, croatian };

extern QString LastStatus;
extern TLanguage SharedLanguage;
extern QString SharedTelephonNo;
extern DWORD NegotiatedApiVersion;
extern bool StatusWindowExists;
extern QPointer<QWidget> StatusForm;
extern QPointer<QListWidget> StatusList;
constexpr int CallInfoBufferSize = 1024;
alignas(LINECALLINFO) extern unsigned char CallInfoBuffer[CallInfoBufferSize];

void LineCallback(DWORD hDevice, DWORD dwMsg, DWORD dwCallbackInstance, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3);

// The zero-terminated text of a call information record in buffer (of
// CallInfoBufferSize bytes) at offset, within size bytes; empty when it
// lies outside the buffer.
QString CallInfoText(const unsigned char *buffer, DWORD size, DWORD offset);

// Appends "-> " and the text to the status window, when there is one.
void LogStatus(const QString &text);
// Builds the status window, hidden, unless one exists.
void CreateStatusWindow();
// Releases the status window once the events queued for it are handled.
void ReleaseStatusWindow();
