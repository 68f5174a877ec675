#pragma once

#include <QByteArray>

// Writes contacts as vCards (UTF-8, CRLF, lines folded at 75 octets,
// values escaped): version 3.0, or 4.0. One card per contact:
//   BEGIN:VCARD / VERSION / N:Soyad;Ad;;; / FN:Ad Soyad / TEL (cell, home,
//   work) / EMAIL / ADR (the whole address as its street part) / END:VCARD
// Empty values are left out; FN is always there, and for a contact without
// a name it is the e-mail or the first number.
class TVCardWriter {
public:
    explicit TVCardWriter(bool version4 = false) : FVersion4(version4) {}
    // values: the seven text columns of DBASE in table order, UTF-8.
    void Append(QByteArray &out, const QByteArray *values) const;

private:
    bool FVersion4;
};
