// What the desktop hands the window: tel: links to dial, contact files to
// take in. A later start of the program hands its arguments here too.
#include "app/CallerLookup.h"
#include "app/TelLink.h"
#include "app/Unit1.h"

#include "dialer/TapiDial.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/telephony/PhoneApplication.h"
#include "platform/core/Exception.h"
#include "platform/widgets/Application.h"
#include "store/ADOConnection.h"

#include <QFileInfo>
#include <QUrl>

namespace {

// Whether the desktop's application for tel: links is this program: a
// line device that hands links to it would hand them back here.
bool TelLinksComeHere()
{
    return QFileInfo(TelHandlerDesktopFile()).completeBaseName() == u"velmora-rehber";
}

} // namespace

void TForm1::HandleArguments(const QStringList &arguments)
{
    QStringList files, links;
    for (const QString &argument : arguments) {
        if (IsTelLink(argument))
            links << argument;
        else if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
            files << QUrl(argument).toLocalFile();
        else if (!argument.isEmpty())
            files << QFileInfo(argument).absoluteFilePath();
    }
    // A later start brings the window forward.
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (!files.isEmpty())
        Application->Guard([&] { ImportContactFiles(files); });
    for (const QString &link : links)
        Application->Guard([&] { OpenTelLink(link); });
}

// The link's number is shown at its contact when it is one, then dialled
// after a question, exactly as a dial button dials it.
void TForm1::OpenTelLink(const QString &link)
{
    const QString number = TelLinkNumber(link, LoadDialingLocation());
    if (number.isEmpty())
        throw Exception(QStringLiteral("\"%1\" aranabilecek bir telefon numarası değil").arg(link));
    if (LoadLineDevice() == TLineDevice::PhoneApplication && TelLinksComeHere()) {
        Application->ShowMessage(
            QStringLiteral("Telefon bağlantıları bu programa geliyor ve hat aygıtı masaüstünün "
                           "telefon uygulaması: numara ona verilirse yine buraya döner. "
                           "\"Modem Ayarları\" içinden bir modem seçin."));
        return;
    }
    if (!ADOConnection1->Connected())
        Application->Guard([this] { FormActivate(this); });
    if (ADOConnection1->Connected()) {
        const TCallerMatch match = FindCaller(ADOConnection1.get(), number, PhonePlaceOf(LoadDialingLocation()));
        if (match.Found)
            SelectContact(match.ContactNo);
    }
    if (Application->MessageBox(number + QStringLiteral(" aransın mı?"), Application->Title(), TMessageKind::Question) != IDYES)
        return;
    DialFieldText(TapiDial1, number);
}
