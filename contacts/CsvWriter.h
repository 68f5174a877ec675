#pragma once

#include <QByteArray>

// Writes contacts as CSV (RFC 4180): UTF-8 with a byte order mark (so that
// spreadsheets read Turkish letters right), CRLF between records, the
// contacts table's column names as the header; a field is quoted when it
// holds the delimiter, a quote or a line break.
class TCsvWriter {
public:
    explicit TCsvWriter(char delimiter = ',') : FDelimiter(delimiter) {}
    void AppendHeader(QByteArray &out) const;
    // values: the seven text columns of DBASE in table order, UTF-8.
    void Append(QByteArray &out, const QByteArray *values) const;

private:
    void AppendField(QByteArray &out, const QByteArray &field) const;
    char FDelimiter;
};
