#include "dialer/TapiStatus.h"

#include "dialer/TapiDial.h"
#include "platform/widgets/Application.h"

#include <QFont>
#include <QListWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <cstring>

QString LastStatus;
TLanguage SharedLanguage = english;
QString SharedTelephonNo;
DWORD NegotiatedApiVersion = 0;
bool StatusWindowExists = false;
QPointer<QWidget> StatusForm;
QPointer<QListWidget> StatusList;
alignas(LINECALLINFO) unsigned char CallInfoBuffer[CallInfoBufferSize];

namespace {

void Report(const QString &englishText, const QString &croatianText)
{
    LastStatus = SharedLanguage == croatian ? croatianText : englishText;
    LogStatus(LastStatus);
}

// The application name the service reports for the call, or an empty text
// when the record cannot be read or holds none.
QString CallAppName(HCALL call)
{
    auto *info = reinterpret_cast<LINECALLINFO *>(CallInfoBuffer);
    info->dwTotalSize = CallInfoBufferSize;
    if (lineGetCallInfo(call, info) != 0 || LONG(info->dwAppNameSize) <= 0)
        return QString();
    return CallInfoText(CallInfoBuffer, info->dwAppNameSize, info->dwAppNameOffset);
}

} // namespace

QString CallInfoText(const unsigned char *buffer, DWORD size, DWORD offset)
{
    if (LONG(size) <= 0 || offset >= CallInfoBufferSize)
        return QString();
    const DWORD within = qMin<DWORD>(size, CallInfoBufferSize - offset);
    const char *start = reinterpret_cast<const char *>(buffer + offset);
    return QString::fromUtf8(start, qsizetype(strnlen(start, within)));
}

void LineCallback(DWORD hDevice, DWORD dwMsg, DWORD, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3)
{
    // The calls the modem offers go to the dialer whose line saw them.
    if (TTapiDial::TakeIncomingMessage(hDevice, dwMsg, dwParam1, dwParam2, dwParam3))
        return;
    if (dwMsg == LINE_REPLY) {
        if (LONG(dwParam2) < 0)
            Report(QStringLiteral("Reply error"), QStringLiteral("Linija nije odgovorila"));
        else
            Report(QStringLiteral("LINE_REPLY ok"), QStringLiteral("LINE_REPLY ok"));
        return;
    }
    if (dwMsg != LINE_CALLSTATE)
        return;
    const HCALL call = hDevice;
    switch (dwParam1) {
    case LINECALLSTATE_IDLE:
        if (call != 0) {
            lineDeallocateCall(call);
            Report(QStringLiteral("Idle - call deallocated"), QStringLiteral("Poziv je odbačen"));
        }
        break;
    case LINECALLSTATE_DIALING: Report(QStringLiteral("Dialing: ") + SharedTelephonNo, QStringLiteral("Zovem: ") + SharedTelephonNo); break;
    case LINECALLSTATE_BUSY: Report(QStringLiteral("Busy"), QStringLiteral("Linija je zauzeta")); break;
    case LINECALLSTATE_CONNECTED:
        if (call != 0) {
            const QString tail = SharedTelephonNo + u' ' + CallAppName(call);
            Report(QStringLiteral("Connected: ") + tail, QStringLiteral("Veza je uspostavljena: ") + tail);
        }
        break;
    case LINECALLSTATE_PROCEEDING: Report(QStringLiteral("Proceeding"), QStringLiteral("Nastavljam")); break;
    case LINECALLSTATE_DISCONNECTED: {
        QString englishText = QStringLiteral("Disconnected: ");
        QString croatianText = QStringLiteral("Linija je isključena: ");
        if (dwParam2 == LINEDISCONNECTMODE_NORMAL) {
            englishText += QStringLiteral("normal");
            croatianText += QStringLiteral("normalno");
        } else if (dwParam2 == LINEDISCONNECTMODE_BUSY) {
            englishText += QStringLiteral("busy");
            croatianText += QStringLiteral(" zbog zauzeća");
        }
        Report(englishText, croatianText);
        break;
    }
    default: break;
    }
}

void LogStatus(const QString &text)
{
    if (!StatusWindowExists || !StatusList)
        return;
    StatusList->addItem(QStringLiteral("-> ") + text);
    StatusList->setCurrentRow(StatusList->count() - 1);
}

void CreateStatusWindow()
{
    if (StatusWindowExists)
        return;
    auto *form = new QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    form->setObjectName(QStringLiteral("StatusForm"));
    if (Application)
        Application->Adopt(form);
    StatusForm = form;
    StatusWindowExists = true;
    form->setWindowTitle(SharedLanguage == croatian ? QStringLiteral("Status Linije") : QStringLiteral("Dial Stauts"));
    form->resize(230, 100);
    form->move(527, 419);

    auto *list = new QListWidget(form);
    list->setObjectName(QStringLiteral("StatusList"));
    list->setSortingEnabled(false);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list);
    StatusList = list;
}

void ReleaseStatusWindow()
{
    if (StatusForm)
        StatusForm->deleteLater();
    StatusWindowExists = false;
}
