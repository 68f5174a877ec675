#include "contacts/CsvWriter.h"

#include "contacts/ContactRecord.h"
#include "contacts/ContactsDatabase.h"

#include <cstring>

void TCsvWriter::AppendHeader(QByteArray &out) const
{
    out += "\xEF\xBB\xBF";
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    for (int i = 0; i < count; ++i) {
        if (i)
            out += FDelimiter;
        out += columns[i].Name;
    }
    out += "\r\n";
}

void TCsvWriter::AppendField(QByteArray &out, const QByteArray &field) const
{
    const char special[] = {FDelimiter, '"', '\n', '\r', '\0'};
    bool quote = false;
    for (const char c : field)
        if (std::strchr(special, c) && c) {
            quote = true;
            break;
        }
    if (!quote) {
        out += field;
        return;
    }
    // A line break inside a value is written as LF, as the vCard export and
    // the import have it.
    out += '"';
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '"')
            out += '"';
        if (c == '\r') {
            out += '\n';
            if (i + 1 < field.size() && field.at(i + 1) == '\n')
                ++i;
            continue;
        }
        out += c;
    }
    out += '"';
}

void TCsvWriter::Append(QByteArray &out, const QByteArray *values) const
{
    for (int i = 0; i < cfCount; ++i) {
        if (i)
            out += FDelimiter;
        AppendField(out, values[i]);
    }
    out += "\r\n";
}
