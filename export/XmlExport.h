#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <string_view>

class TADOQuery;
class TField;
class TXmlFile;

// The XML export: every record of the record set, every field, into one
// file of the program's own format, ISO-8859-9 bytes, no line breaks or
// indentation of its own:
//
//   <?xml version="1.0" encoding="ISO-8859-9"?><TelRehberi SirketAdı="Velmora"
//   GönderenProgram="Velmora_TelRehberi"><Kişi Ad="..." .../>...</TelRehberi>
//
// fileName is the program's name for the file ("C:\VelmoraTelReh.xml"); it is
// written where LocalPathFor puts it. The file is replaced only when the
// whole export succeeded; then completed is called, the export's last step
// (the window shows its message). Failures raise (EFileError, or the record
// set's own error) and leave the previous export in place, the controls
// enabled and the cursor where it was; completed is not called.
void DataSetToXml(TADOQuery *recordSet, const QString &fileName, const std::function<void()> &completed);

// The value text of one field of the current record, by its data type:
// Booleans TRUE/FALSE, dates yyyymmdd, times hhnnss, date-times yyyymmdd with
// "Thh:nn:sszzz" when the time of day is not midnight, other types as the
// record set's text.
QString FieldToXmlText(const TField *field);

// The decimal digits of value with "0" put in front up to width characters.
QString ZeroPad(quint16 value, quint16 width);

// A value is written with at most this many characters (code points).
constexpr int XmlValueMaxLength = 255;
// The first XmlValueMaxLength characters of text; a surrogate pair is one
// character and is never split.
QString CutXmlValue(const QString &text);

// The pieces of the file, each written through the file's buffer.
void WriteXmlText(TXmlFile &file, std::string_view text);
void WriteXmlHeader(TXmlFile &file);
void WriteRowStart(TXmlFile &file);
void WriteRowEnd(TXmlFile &file);
void WriteXmlFooter(TXmlFile &file);
// " Name=\"value\"" for a non-empty valueText (already cut); nothing for an
// empty one. The value is escaped and encoded by WriteXmlAttributeValue.
void WriteFieldAttribute(TXmlFile &file, const TField *field, const QString &valueText);
