#pragma once

// The rest of a result that Open read the first rows of (PgSelect.cpp),
// read through its cursor in the transaction Open began (PgCursor.cpp).
#include "store/PgProviderImpl.h"

#include <QByteArray>
#include <chrono>

class TPgProvider::TCursor final : public TRowStream {
public:
    TCursor(TPgProvider *provider, TRowArena *rows) : FProvider(provider), FRows(rows) {}
    // Dropping the rest ends the transaction; a wait for the turn still on
    // the server is cancelled first.
    ~TCursor() override;
    TCursor(const TCursor &) = delete;
    TCursor &operator=(const TCursor &) = delete;

    bool Read(std::size_t count) override;
    // A large rest takes its turn first: one of the server's read slots
    // (PgSql::PickReadSlot), asked for and waited on without blocking. The
    // wait for one slot is bounded: when its holder has not read on during
    // the bound (it is stuck, or reads slowly), or after a number of rounds,
    // the rest is read without a turn.
    bool Admitted(std::chrono::milliseconds wait) override;
    // Ends the transaction once every row is read.
    void Complete();

private:
    enum class TTurn {
        NotAsked, // the rows so far are few: no turn needed yet
        Picking,  // asking which slot to wait for
        Waiting,  // waiting for the slot
        Holding,  // holds its slot to the end of the transaction
        Free,     // reads on without a turn
    };
    void Send(const QByteArray &sql);
    bool Gathered();
    void Answered();

    TPgProvider *FProvider;
    TRowArena *FRows;
    QByteArray FScratch;
    bool FDone = false;
    TTurn FTurn = TTurn::NotAsked;
    int FSlot = -1;
    QByteArray FHolder; // the server process holding FSlot when it was picked
    int FRounds = 0;
    std::chrono::steady_clock::time_point FSent;
    TPgResult FFailed, FLast; // the answers so far of the statement sent
};
