#include "export/XmlExport.h"

#include "export/XmlFile.h"
#include "export/XmlText.h"
#include "platform/core/Exception.h"
#include "platform/core/Progress.h"
#include "platform/core/WindowsPath.h"
#include "store/ADOQuery.h"
#include "store/Field.h"

#include <chrono>
#include <cmath>

namespace {

// The fixed pieces, in ISO-8859-9: 0xFD is "ı", 0xF6 "ö", 0xFE "ş".
constexpr std::string_view XmlHeader =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-9\"?>"
    "<TelRehberi SirketAd\xFD=\"Velmora\" G\xF6nderenProgram=\"Velmora_TelRehberi\">";
constexpr std::string_view XmlRowStart = "<Ki\xFEi";
constexpr std::string_view XmlRowEnd = "/>";
constexpr std::string_view XmlFooter = "</TelRehberi>";

constexpr long long MSecsPerDay = 86400000;
// 1 January 0001 and 31 December 9999 as days since 30 December 1899.
constexpr long long FirstDay = -693593;
constexpr long long LastDay = 2958465;

struct TDateTimeParts {
    int Year;
    unsigned Month, Day;
    unsigned Hour, Minute, Second, MSec;
};

// Splits a date-time value (days since 30 December 1899, the fraction the
// time of day) into its parts, rounded to the millisecond. The fraction is
// the time of day before 1899 too: -0.75 is 29 December 1899, 06:00.
TDateTimeParts DecodeDateTime(const TField *field)
{
    const double value = field->AsDateTime();
    const double msecs = std::round(value * double(MSecsPerDay));
    if (!std::isfinite(msecs) || msecs < double(FirstDay) * MSecsPerDay || msecs >= double(LastDay + 1) * MSecsPerDay)
        throw EDatabaseError(QStringLiteral("Field '%1' holds no valid date").arg(field->FieldName()));
    const long long total = (long long)msecs;
    const long long days = total >= 0 ? total / MSecsPerDay : -((-total + MSecsPerDay - 1) / MSecsPerDay);
    const long long time = total - days * MSecsPerDay;

    using namespace std::chrono;
    const year_month_day date{sys_days{year{1899} / December / 30} + std::chrono::days{days}};
    return {int(date.year()),           unsigned(date.month()), unsigned(date.day()), unsigned(time / 3600000), unsigned(time / 60000 % 60),
            unsigned(time / 1000 % 60), unsigned(time % 1000)};
}

QString DateText(const TDateTimeParts &t)
{
    return ZeroPad(quint16(t.Year), 4) + ZeroPad(quint16(t.Month), 2) + ZeroPad(quint16(t.Day), 2);
}

// Field names are attribute names: a name that XML or ISO-8859-9 cannot
// carry stops the export before any record is written.
void CheckFieldNames(const TADOQuery &recordSet)
{
    for (int i = 0; i < recordSet.FieldCount(); ++i) {
        const QString name = recordSet.Fields(i)->FieldName();
        if (!IsXmlAttributeName(name))
            throw EFileError(QStringLiteral("Field name \"%1\" cannot be written as an XML attribute").arg(name));
    }
}

// The pass over the record set with its controls disabled, the cursor back
// on the bookmarked record afterwards. On a failure the controls are enabled
// and the cursor returned before the error goes on.
void WriteRecords(TADOQuery &recordSet, TXmlFile &file)
{
    recordSet.DisableControls();
    TBookmark bookmark;
    try {
        bookmark = recordSet.GetBookmark();
        recordSet.First();
        CheckFieldNames(recordSet);
        const int fieldCount = recordSet.FieldCount();
        // Stopping here leaves the previous export in place: the file is
        // replaced only when it is complete.
        TProgress progress(QStringLiteral("XML dosyası yazılıyor"), recordSet.RecordCount());
        qint64 written = 0;
        while (!recordSet.Eof()) {
            WriteRowStart(file);
            for (int i = 0; i < fieldCount; ++i) {
                const TField *field = recordSet.Fields(i);
                WriteFieldAttribute(file, field, CutXmlValue(FieldToXmlText(field)));
            }
            WriteRowEnd(file);
            progress.StepOrAbort(++written);
            recordSet.Next();
        }
        if (bookmark)
            recordSet.GotoBookmark(bookmark);
    } catch (...) {
        // The first error is the one the user sees; tidying up after it
        // must not replace it.
        try {
            if (bookmark && recordSet.Active() && recordSet.BookmarkValid(bookmark))
                recordSet.GotoBookmark(bookmark);
        } catch (...) {
        }
        try {
            recordSet.EnableControls();
        } catch (...) {
        }
        throw;
    }
    recordSet.EnableControls();
}

} // namespace

QString ZeroPad(quint16 value, quint16 width)
{
    QString text = QString::number(value);
    if (text.size() < width)
        text.prepend(QString(width - text.size(), u'0'));
    return text;
}

QString CutXmlValue(const QString &text)
{
    if (text.size() <= XmlValueMaxLength)
        return text;
    qsizetype i = 0;
    for (int chars = 0; chars < XmlValueMaxLength && i < text.size(); ++chars) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            i += 2;
        else
            i += 1;
    }
    return text.left(i);
}

QString FieldToXmlText(const TField *field)
{
    switch (field->DataType()) {
    case ftBoolean: {
        QString text = field->AsString();
        for (QChar &c : text)
            if (c >= u'a' && c <= u'z')
                c = QChar(c.unicode() - u'a' + u'A');
        return text;
    }
    case ftDate: return DateText(DecodeDateTime(field));
    case ftTime: {
        const TDateTimeParts t = DecodeDateTime(field);
        return ZeroPad(quint16(t.Hour), 2) + ZeroPad(quint16(t.Minute), 2) + ZeroPad(quint16(t.Second), 2);
    }
    case ftDateTime: {
        const TDateTimeParts t = DecodeDateTime(field);
        QString text = DateText(t);
        if (t.Hour != 0 || t.Minute != 0 || t.Second != 0 || t.MSec != 0)
            text += u'T' + ZeroPad(quint16(t.Hour), 2) + u':' + ZeroPad(quint16(t.Minute), 2) + u':' + ZeroPad(quint16(t.Second), 2)
                + ZeroPad(quint16(t.MSec), 3);
        return text;
    }
    default: return field->AsString();
    }
}

void WriteXmlText(TXmlFile &file, std::string_view text)
{
    file.Write(text);
}

void WriteXmlHeader(TXmlFile &file)
{
    WriteXmlText(file, XmlHeader);
}

void WriteRowStart(TXmlFile &file)
{
    WriteXmlText(file, XmlRowStart);
}

void WriteRowEnd(TXmlFile &file)
{
    WriteXmlText(file, XmlRowEnd);
}

void WriteXmlFooter(TXmlFile &file)
{
    WriteXmlText(file, XmlFooter);
}

void WriteFieldAttribute(TXmlFile &file, const TField *field, const QString &valueText)
{
    if (valueText.isEmpty())
        return;
    file.Put(' ');
    WriteXmlName(file, field->FieldName());
    WriteXmlText(file, "=\"");
    WriteXmlAttributeValue(file, valueText);
    file.Put('"');
}

// The export's file cannot be created: its error is the one the export has
// always given, in the same words wherever it is shown.
static TXmlFile CreateXmlFile(const QString &path)
{
    try {
        return TXmlFile(path);
    } catch (const EFileError &e) {
        throw EFileError(e.Message());
    }
}

void DataSetToXml(TADOQuery *recordSet, const QString &fileName, const std::function<void()> &completed)
{
    TXmlFile file = CreateXmlFile(LocalPathFor(fileName)); // creates the file and its buffer
    WriteXmlHeader(file);
    WriteRecords(*recordSet, file);
    WriteXmlFooter(file);
    file.Commit(); // closes, releases the buffer, replaces the previous export
    if (completed)
        completed();
}
