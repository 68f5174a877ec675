#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TADOConnection;
class TADOQuery;

// The calls received, kept in the table GELENARAMA of the contacts' own
// data source (created when first needed) and written through a record set
// of their own. For a user who may only read, nothing is written.
class TCallLog {
public:
    explicit TCallLog(TADOConnection *connection);
    ~TCallLog();

    // Writes the call's row: a new row for a call not seen before, the same
    // row again when the call is reported anew (its number arrived after
    // the first RING, or it ended). time "yyyy-MM-dd HH:mm:ss", name empty
    // when unknown, outcome ("Yanıtlandı", "Cevapsız") empty while the call
    // rings or when the line cannot tell. Nothing while the connection is
    // closed.
    void Record(std::uint32_t call, const QString &time, const QString &number, const QString &name, const QString &outcome);

    struct TEntry {
        QString Time, Number, Name, Outcome;
    };
    // The calls received, the newest first; none when the table is missing.
    std::vector<TEntry> Entries() const;

private:
    TADOConnection *FConnection;
    std::unique_ptr<TADOQuery> FWriter;
    std::uint32_t FCall = 0;
};
