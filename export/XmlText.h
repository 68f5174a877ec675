#pragma once

#include <QString>
#include <QStringView>

class TXmlFile;

// How text becomes the bytes of an ISO-8859-9 XML file.
//
// Letters of ISO-8859-9 (ASCII, Latin-1 less ÐÝÞðýþ, and ĞİŞğış) are their
// single bytes, and so are tab, line feed and carriage return: a memo's line
// breaks stay in the value as they are (a parser reads them as spaces inside
// an attribute). Everything else that XML allows is a numeric character
// reference: characters outside ISO-8859-9 ("€", "ł", Cyrillic, emoji ...)
// and the C1 controls (which readers treating the label as Windows-1254
// would misread as bytes). "&", "<", ">" and "\"" are entity references.
// What XML 1.0 forbids (NUL and the other C0 controls, lone surrogates,
// U+FFFE, U+FFFF) is left out, and the rest of the value goes on.

// Writes value as the text between an attribute's quotes.
void WriteXmlAttributeValue(TXmlFile &file, QStringView value);

// The single byte of a character in ISO-8859-9; -1 when it has none.
int Latin5Byte(char16_t c);

// A field name that can stand as an attribute name of the file: an XML name
// made only of ISO-8859-9 characters.
bool IsXmlAttributeName(QStringView name);

// Writes name in ISO-8859-9; only for names IsXmlAttributeName accepts.
void WriteXmlName(TXmlFile &file, QStringView name);
