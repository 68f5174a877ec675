#include "contacts/CsvHeader.h"

#include <QRegularExpression>
#include <map>

namespace {

// Lower case without the dot that a lower-cased "İ" keeps.
QString Key(const QString &name)
{
    QString k = name.trimmed().toLower();
    k.remove(QChar(0x0307));
    return k;
}

struct TNamedRole {
    const char *Name; // lower case, UTF-8
    int Role;
    int Group;
};

} // namespace

TCsvHeader::TColumn TCsvHeader::Recognise(const QString &name)
{
    static const TNamedRole known[] = {
        // the contacts table
        {"ad", rGiven, 0},
        {"soyad", rFamily, 0},
        {"ctelefon", rMobile, 0},
        {"etelefon", rHome, 0},
        {"itelefon", rWork, 0},
        {"email", rEmail, 0},
        {"adres", rAddress, 0},
        {"no", rIgnored, 0},
        // Outlook
        {"first name", rGiven, 0},
        {"middle name", rMiddle, 0},
        {"last name", rFamily, 0},
        {"mobile phone", rMobile, 0},
        {"home phone", rHome, 0},
        {"home phone 2", rHome, 0},
        {"business phone", rWork, 0},
        {"business phone 2", rWork, 0},
        {"primary phone", rPhone, 0},
        {"other phone", rPhone, 0},
        {"e-mail address", rEmail, 0},
        {"e-mail 2 address", rEmail, 0},
        {"e-mail 3 address", rEmail, 0},
        {"home street", rStreet, 1},
        {"home street 2", rStreet2, 1},
        {"home city", rCity, 1},
        {"home state", rRegion, 1},
        {"home postal code", rPostalCode, 1},
        {"home country/region", rCountry, 1},
        {"business street", rStreet, 2},
        {"business street 2", rStreet2, 2},
        {"business city", rCity, 2},
        {"business state", rRegion, 2},
        {"business postal code", rPostalCode, 2},
        {"business country/region", rCountry, 2},
        // Outlook in Turkish
        {"soyadı", rFamily, 0},
        {"ikinci ad", rMiddle, 0},
        {"cep telefonu", rMobile, 0},
        {"ev telefonu", rHome, 0},
        {"iş telefonu", rWork, 0},
        {"e-posta adresi", rEmail, 0},
        {"e-posta", rEmail, 0},
        // Thunderbird
        {"display name", rFullName, 0},
        {"primary email", rEmail, 0},
        {"secondary email", rEmail, 0},
        {"work phone", rWork, 0},
        {"mobile number", rMobile, 0},
        {"home address", rStreet, 1},
        {"home address 2", rStreet2, 1},
        {"home zipcode", rPostalCode, 1},
        {"home country", rCountry, 1},
        {"work address", rStreet, 2},
        {"work address 2", rStreet2, 2},
        {"work city", rCity, 2},
        {"work state", rRegion, 2},
        {"work zipcode", rPostalCode, 2},
        {"work country", rCountry, 2},
        // Google Contacts
        {"name", rFullName, 0},
        {"given name", rGiven, 0},
        {"additional name", rMiddle, 0},
        {"family name", rFamily, 0},
    };
    TColumn column;
    column.Name = name.trimmed();
    const QString key = Key(name);
    for (const TNamedRole &k : known)
        if (key == QString::fromUtf8(k.Name)) {
            column.Role = TRole(k.Role);
            column.Group = k.Group;
            return column;
        }
    // Google's numbered columns.
    static const QRegularExpression numbered(QStringLiteral(R"(^(phone|e-mail|address) (\d+) - (\w[\w ]*)$)"));
    const QRegularExpressionMatch m = numbered.match(key);
    if (!m.hasMatch())
        return column;
    const QString kind = m.captured(1), part = m.captured(3);
    column.Group = 10 + m.captured(2).toInt();
    if (kind == QLatin1String("phone"))
        column.Role = part == QLatin1String("value")                          ? rPhoneValue
            : part == QLatin1String("type") || part == QLatin1String("label") ? rPhoneType
                                                                              : rNone;
    else if (kind == QLatin1String("e-mail"))
        column.Role = part == QLatin1String("value")                          ? rEmail
            : part == QLatin1String("type") || part == QLatin1String("label") ? rIgnored
                                                                              : rNone;
    else
        column.Role = part == QLatin1String("formatted")                                                         ? rAddress
            : part == QLatin1String("street")                                                                    ? rStreet
            : part == QLatin1String("extended address")                                                          ? rStreet2
            : part == QLatin1String("city")                                                                      ? rCity
            : part == QLatin1String("region")                                                                    ? rRegion
            : part == QLatin1String("postal code")                                                               ? rPostalCode
            : part == QLatin1String("country")                                                                   ? rCountry
            : part == QLatin1String("type") || part == QLatin1String("label") || part == QLatin1String("po box") ? rIgnored
                                                                                                                 : rNone;
    return column;
}

TCsvHeader::TCsvHeader(const QList<QByteArray> &names)
{
    bool any = false;
    for (const QByteArray &n : names) {
        FColumns.push_back(Recognise(QString::fromUtf8(n)));
        any = any || (FColumns.back().Role != rNone && FColumns.back().Role != rIgnored);
    }
    if (!any) {
        QStringList shown;
        for (const QByteArray &n : names)
            shown << QString::fromUtf8(n).left(60);
        QString header = shown.join(u',').left(300);
        for (QChar &c : header)
            if (c.category() == QChar::Other_Control)
                c = u'?';
        throw EContactFileError({.Kind = TImportProblemKind::HeaderUnknown, .Text = header});
    }
}

namespace {

TPhoneKind KindOfLabel(const QByteArray &label)
{
    static const QRegularExpression separators(QStringLiteral(R"([^\w]+)"));
    const QStringList words = QString::fromUtf8(label).toLower().split(separators, Qt::SkipEmptyParts);
    const auto has = [&](std::initializer_list<const char *> list) {
        for (const char *w : list)
            if (words.contains(QString::fromUtf8(w)))
                return true;
        return false;
    };
    if (has({"mobile", "cell", "cep"}))
        return TPhoneKind::Mobile;
    if (has({"fax", "pager", "faks"}))
        return TPhoneKind::Other;
    if (has({"home", "ev"}))
        return TPhoneKind::Home;
    if (has({"work", "business", "iş"}))
        return TPhoneKind::Work;
    return TPhoneKind::Untyped;
}

// Google writes several values of one column as "a ::: b".
QList<QByteArray> Values(const QByteArray &field)
{
    if (!field.contains(" ::: "))
        return {field};
    QList<QByteArray> values;
    qsizetype from = 0;
    for (qsizetype at; (at = field.indexOf(" ::: ", from)) >= 0; from = at + 5)
        values << field.mid(from, at - from);
    values << field.mid(from);
    return values;
}

} // namespace

void TCsvHeader::Fill(const QList<QByteArray> &fields, TContactRecord &record)
{
    QByteArray given, middle, family, fullName;
    std::map<int, QByteArray> phoneTypes;
    std::map<int, std::vector<QByteArray>> addressParts; // group: street, street 2, city, region, code, country
    const std::size_t n = std::min(FColumns.size(), std::size_t(fields.size()));
    for (std::size_t i = 0; i < n; ++i)
        if (FColumns[i].Role == rPhoneType)
            phoneTypes[FColumns[i].Group] = fields[qsizetype(i)];
    for (std::size_t i = 0; i < n; ++i) {
        TColumn &column = FColumns[i];
        const QByteArray &field = fields[qsizetype(i)];
        if (field.isEmpty())
            continue;
        switch (column.Role) {
        case rNone:
            if (!field.trimmed().isEmpty())
                ++column.LinesWithData;
            break;
        case rIgnored:
        case rPhoneType: break;
        case rGiven: given = field.trimmed(); break;
        case rMiddle: middle = field.trimmed(); break;
        case rFamily: family = field.trimmed(); break;
        case rFullName: fullName = field.trimmed(); break;
        case rMobile: record.AddPhone(field, TPhoneKind::Mobile); break;
        case rHome: record.AddPhone(field, TPhoneKind::Home); break;
        case rWork: record.AddPhone(field, TPhoneKind::Work); break;
        case rPhone: record.AddPhone(field, TPhoneKind::Untyped); break;
        case rPhoneValue:
            for (const QByteArray &v : Values(field))
                record.AddPhone(v, KindOfLabel(phoneTypes[column.Group]));
            break;
        case rEmail:
            for (const QByteArray &v : Values(field))
                record.AddEmail(v);
            break;
        case rAddress: record.AddAddress(field); break;
        case rStreet:
        case rStreet2:
        case rCity:
        case rRegion:
        case rPostalCode:
        case rCountry: {
            std::vector<QByteArray> &parts = addressParts[column.Group];
            parts.resize(6);
            parts[std::size_t(column.Role - rStreet)] = field.trimmed();
            break;
        }
        }
    }
    if (fields.size() > qsizetype(FColumns.size()))
        for (qsizetype i = qsizetype(FColumns.size()); i < fields.size(); ++i)
            if (!fields[i].trimmed().isEmpty()) {
                record.Problems.push_back(
                    {.Kind = TImportProblemKind::TooManyFields, .Count = fields.size(), .Limit = qsizetype(FColumns.size())});
                break;
            }
    record.Values[cfAd] = given;
    if (!middle.isEmpty())
        record.Values[cfAd] += (given.isEmpty() ? "" : " ") + middle;
    record.Values[cfSoyad] = family;
    if (!record.HasName())
        record.Values[cfAd] = fullName;
    for (const auto &[group, parts] : addressParts) {
        QByteArray address;
        for (const QByteArray &p : parts)
            if (!p.isEmpty())
                address += (address.isEmpty() ? "" : "\n") + p;
        record.AddAddress(address);
    }
    record.Finish();
}

std::vector<TImportProblem> TCsvHeader::UnreadColumnsWithData() const
{
    std::vector<TImportProblem> list;
    for (const TColumn &c : FColumns)
        if (c.Role == rNone && c.LinesWithData > 0)
            list.push_back({.Kind = TImportProblemKind::ColumnNotRead, .Name = c.Name, .Count = c.LinesWithData});
    return list;
}
