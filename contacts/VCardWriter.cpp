#include "contacts/VCardWriter.h"

#include "contacts/ContactRecord.h"
#include "contacts/VCardValue.h"

void TVCardWriter::Append(QByteArray &out, const QByteArray *values) const
{
    out += FVersion4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    qsizetype start = out.size();
    out += "N:";
    AppendEscaped(out, values[cfSoyad]);
    out += ';';
    AppendEscaped(out, values[cfAd]);
    out += ";;;";
    AppendContentLine(out, start);

    // FN is never empty: a contact without a name goes by its e-mail or
    // its first number (which the reader does not take for a name).
    start = out.size();
    out += "FN:";
    AppendEscaped(out, values[cfAd]);
    if (!values[cfAd].isEmpty() && !values[cfSoyad].isEmpty())
        out += ' ';
    AppendEscaped(out, values[cfSoyad]);
    if (values[cfAd].isEmpty() && values[cfSoyad].isEmpty())
        for (const int stand : {int(cfEmail), int(cfCTelefon), int(cfETelefon), int(cfITelefon)})
            if (!values[stand].isEmpty()) {
                AppendEscaped(out, values[stand]);
                break;
            }
    AppendContentLine(out, start);

    static const char *const phones3[] = {"TEL;TYPE=CELL:", "TEL;TYPE=HOME:", "TEL;TYPE=WORK:"};
    static const char *const phones4[] = {"TEL;TYPE=cell:", "TEL;TYPE=home:", "TEL;TYPE=work:"};
    for (int i = 0; i < 3; ++i) {
        const QByteArray &number = values[cfCTelefon + i];
        if (number.isEmpty())
            continue;
        start = out.size();
        out += FVersion4 ? phones4[i] : phones3[i];
        AppendEscaped(out, number);
        AppendContentLine(out, start);
    }
    if (!values[cfEmail].isEmpty()) {
        start = out.size();
        out += FVersion4 ? "EMAIL:" : "EMAIL;TYPE=INTERNET:";
        AppendEscaped(out, values[cfEmail]);
        AppendContentLine(out, start);
    }
    if (!values[cfAdres].isEmpty()) {
        start = out.size();
        out += FVersion4 ? "ADR:;;" : "ADR;TYPE=HOME:;;";
        AppendEscaped(out, values[cfAdres]);
        out += ";;;;";
        AppendContentLine(out, start);
    }
    out += "END:VCARD\r\n";
}
