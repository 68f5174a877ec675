#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>

class TProvider;

// Finds contacts that are already there: two contacts are the same when
// one of their telephone numbers is (digits only, "+90 532", "0090 532" and
// "0532" being the same number) or their e-mail is (letter case aside).
class TDuplicateCheck {
public:
    // Takes in the numbers and e-mails of the contacts in the database.
    void AddExisting(TProvider &engine);
    // What the record (seven values in table order) repeats, in words:
    // "the number \"0532 111 22 33\" of contact No 15"; empty when nothing.
    QString Find(const QByteArray *values, const QString &recordWord) const;
    // Takes in a record of the file, known by its position ("line 4", "card 2").
    void Add(const QByteArray *values, std::int64_t position);

    static QByteArray PhoneKey(const QByteArray &number);
    static QByteArray EmailKey(const QByteArray &email);

private:
    QHash<QByteArray, std::int64_t> FPhones; // key -> No (> 0), or -position in the file
    QHash<QByteArray, std::int64_t> FEmails;
};
