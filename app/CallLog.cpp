#include "app/CallLog.h"

#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/Provider.h"

TCallLog::TCallLog(TADOConnection *connection) : FConnection(connection) {}

TCallLog::~TCallLog() = default;

void TCallLog::Record(std::uint32_t call, const QString &time, const QString &number, const QString &name, const QString &outcome)
{
    if (!FConnection->Connected())
        return;
    const bool sameCall = call == FCall && FWriter && FWriter->Active() && !FWriter->IsEmpty();
    if (!sameCall) {
        FCall = 0;
        if (FConnection->PrepareCallLog() != TCallLogAccess::Writable)
            return;
        if (!FWriter) {
            FWriter = std::make_unique<TADOQuery>();
            FWriter->SetConnection(FConnection);
            FWriter->SQL.Add(QStringLiteral("SELECT * FROM GELENARAMA WHERE No IS NULL"));
        }
        FWriter->Close();
        FWriter->Open();
        FWriter->Append();
    } else {
        FWriter->Edit();
    }
    FWriter->FieldByName(QStringLiteral("Zaman"))->SetAsString(time);
    FWriter->FieldByName(QStringLiteral("Numara"))->SetAsString(number);
    FWriter->FieldByName(QStringLiteral("Ad"))->SetAsString(name);
    // A table that could not be given the column (another user's) has none.
    if (TField *field = FWriter->FindField(QStringLiteral("Durum")))
        field->SetAsString(outcome);
    FWriter->Post();
    FCall = call;
}

std::vector<TCallLog::TEntry> TCallLog::Entries() const
{
    std::vector<TEntry> entries;
    if (!FConnection->Connected() || FConnection->PrepareCallLog() == TCallLogAccess::Missing)
        return entries;
    TADOQuery query;
    query.SetConnection(FConnection);
    query.SQL.Add(QStringLiteral("SELECT * FROM GELENARAMA ORDER BY No DESC"));
    query.Open();
    for (; !query.Eof(); query.Next()) {
        const TField *outcome = query.FindField(QStringLiteral("Durum"));
        entries.push_back({query.FieldByName(QStringLiteral("Zaman"))->AsString(), query.FieldByName(QStringLiteral("Numara"))->AsString(),
                           query.FieldByName(QStringLiteral("Ad"))->AsString(), outcome ? outcome->AsString() : QString()});
    }
    return entries;
}
