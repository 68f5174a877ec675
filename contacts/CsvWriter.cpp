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
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
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
