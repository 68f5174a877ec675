#include "tools/vcard/VCardWriter.h"

#include "tools/ContactRecord.h"
#include "tools/vcard/VCardValue.h"

void TVCardWriter::Append(QByteArray &out, const QByteArray *values) const
{
    out += FVersion4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    QByteArray line;
    line.reserve(256);
    line = "N:";
    AppendEscaped(line, values[cfSoyad]);
    line += ';';
    AppendEscaped(line, values[cfAd]);
    line += ";;;";
    AppendFolded(out, line);

    line = "FN:";
    AppendEscaped(line, values[cfAd]);
    if (!values[cfAd].isEmpty() && !values[cfSoyad].isEmpty())
        line += ' ';
    AppendEscaped(line, values[cfSoyad]);
    AppendFolded(out, line);

    static const char *const phones3[] = {"TEL;TYPE=CELL:", "TEL;TYPE=HOME:", "TEL;TYPE=WORK:"};
    static const char *const phones4[] = {"TEL;TYPE=cell:", "TEL;TYPE=home:", "TEL;TYPE=work:"};
    for (int i = 0; i < 3; ++i) {
        const QByteArray &number = values[cfCTelefon + i];
        if (number.isEmpty())
            continue;
        line = FVersion4 ? phones4[i] : phones3[i];
        AppendEscaped(line, number);
        AppendFolded(out, line);
    }
    if (!values[cfEmail].isEmpty()) {
        line = FVersion4 ? "EMAIL:" : "EMAIL;TYPE=INTERNET:";
        AppendEscaped(line, values[cfEmail]);
        AppendFolded(out, line);
    }
    if (!values[cfAdres].isEmpty()) {
        line = FVersion4 ? "ADR:;;" : "ADR;TYPE=HOME:;;";
        AppendEscaped(line, values[cfAdres]);
        line += ";;;;";
        AppendFolded(out, line);
    }
    out += "END:VCARD\r\n";
}
