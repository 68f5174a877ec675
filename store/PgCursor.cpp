#include "store/PgCursor.h"

#include "platform/core/Exception.h"
#include "store/PgErrors.h"
#include "store/PgSql.h"
#include "store/PgWait.h"
#include "store/RowArena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Rows a read takes without a turn: a search's result, mostly.
constexpr std::size_t kRowsWithoutTurn = 16384;
// Rows a read takes at once while it holds a turn: fewer, larger reads cost
// the server less, and the turn ends sooner.
constexpr std::size_t kRowsInTurn = 16384;
// The longest wait on one slot before looking whether its holder reads on,
// and the rounds of waiting (each for the slot with the fewest desktops
// then).
constexpr int kTurnSeconds = 2;
constexpr int kTurnRounds = 10;

bool LockNotAvailable(const PGresult *r)
{
    const char *state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    return state && std::strcmp(state, "55P03") == 0;
}

} // namespace

TPgProvider::TCursor::~TCursor()
{
    if (FTurn == TTurn::Picking || FTurn == TTurn::Waiting) {
        try {
            // Cancelled before anything else is sent: a cancel that comes
            // later than the wait's end is dropped by the server.
            if (FTurn == TTurn::Waiting && !FProvider->Lost())
                PgCancelNow(FProvider->FConn);
            while (PGresult *r = FProvider->NextResult(false))
                PQclear(r);
        } catch (...) {
        }
    }
    if (!FDone)
        FProvider->EndTransaction();
}

bool TPgProvider::TCursor::Read(std::size_t count)
{
    // Only a wait that has an end: the server's lock timeout, the answer bound.
    while (!Admitted(std::chrono::milliseconds(50))) {
    }
    if (FTurn == TTurn::Holding)
        count = std::max(count, kRowsInTurn);
    const TResult r = FProvider->Simple(PgSql::FetchCursor(count));
    PgAddRows(r.R.get(), *FRows, FScratch);
    if (std::size_t(PQntuples(r.R.get())) < count)
        Complete();
    return FDone;
}

void TPgProvider::TCursor::Complete()
{
    FProvider->Simple(PgSql::Commit());
    FRows->ShrinkToFit();
    FDone = true;
}

bool TPgProvider::TCursor::Admitted(std::chrono::milliseconds wait)
{
    if (FTurn == TTurn::NotAsked) {
        if (FDone || FRows->RowCount() < kRowsWithoutTurn)
            return true;
        Send(PgSql::PickReadSlot(-1));
        FTurn = TTurn::Picking;
    }
    while (FTurn == TTurn::Picking || FTurn == TTurn::Waiting) {
        if (FProvider->Lost())
            throw PgErrors::Lost();
        switch (PgPoll(FProvider->FConn, wait)) {
        case TPgWaitEnd::Ready:
            if (Gathered())
                Answered();
            break;
        case TPgWaitEnd::Broken: FProvider->Raise(nullptr);
        default:
            if (FProvider->FAnswerBound.count() > 0 && std::chrono::steady_clock::now() - FSent > FProvider->FAnswerBound) {
                FProvider->Abandon();
                throw PgErrors::StatementSilent(int(FProvider->FAnswerBound.count() / 1000));
            }
            return false;
        }
    }
    return true;
}

void TPgProvider::TCursor::Send(const QByteArray &sql)
{
    if (!PQsendQuery(FProvider->FConn, sql.constData()))
        FProvider->Raise(nullptr);
    FSent = std::chrono::steady_clock::now();
}

// Takes the answers that came; true once the last of them is in.
bool TPgProvider::TCursor::Gathered()
{
    while (!PQisBusy(FProvider->FConn)) {
        TPgResult r(PQgetResult(FProvider->FConn));
        if (!r)
            return true;
        const ExecStatusType status = PQresultStatus(r.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            if (!FFailed)
                FFailed = std::move(r);
        } else if (status == PGRES_TUPLES_OK) {
            FLast = std::move(r);
        }
    }
    return false;
}

void TPgProvider::TCursor::Answered()
{
    TPgResult failed = std::move(FFailed), last = std::move(FLast);
    if (FTurn == TTurn::Waiting) {
        if (!failed) {
            FTurn = TTurn::Holding;
            return;
        }
        if (!LockNotAvailable(failed.get()))
            FProvider->Raise(failed.get());
        Send(PgSql::PickReadSlot(FSlot));
        FTurn = TTurn::Picking;
        ++FRounds;
        return;
    }
    if (failed || !last || PQntuples(last.get()) != 1)
        FProvider->Raise(failed.get());
    const int slot = std::atoi(PQgetvalue(last.get(), 0, 0));
    const QByteArray holder(PQgetvalue(last.get(), 0, 1));
    // The slot waited on held by the same desktop, which did not read on
    // during the wait, or too many rounds: reads on without a turn.
    const QByteArray stillHolding(PQgetvalue(last.get(), 0, 2));
    if (FRounds >= kTurnRounds || (!FHolder.isEmpty() && stillHolding == FHolder)) {
        FTurn = TTurn::Free;
        return;
    }
    FSlot = slot;
    FHolder = holder;
    Send(PgSql::TakeReadSlot(slot, kTurnSeconds));
    FTurn = TTurn::Waiting;
}
