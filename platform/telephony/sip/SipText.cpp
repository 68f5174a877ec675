#include "platform/telephony/sip/SipText.h"

int SipfragStatus(const QByteArray &body)
{
    // "SIP/2.0" SP 3DIGIT SP reason, the first line of the body.
    const QByteArray line = body.left(body.indexOf('\n')).trimmed();
    if (!line.startsWith("SIP/2.0 ") || line.size() < 11)
        return 0;
    const QByteArray code = line.mid(8, 3);
    if (line.size() > 11 && line.at(11) != ' ')
        return 0;
    for (char c : code) {
        if (c < '0' || c > '9')
            return 0;
    }
    const int status = code.toInt();
    return status >= 100 && status <= 699 ? status : 0;
}
