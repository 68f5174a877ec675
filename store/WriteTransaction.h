#pragma once

#include "store/Provider.h"

// A provider's write transaction for as long as a scope lasts: begun here,
// rolled back when the scope ends without Commit (an error on its way, an
// early return), and after a Commit that failed.
class TWriteTransaction {
public:
    explicit TWriteTransaction(TProvider &engine) : FEngine(&engine) { engine.BeginWrite(); }
    ~TWriteTransaction()
    {
        if (FEngine)
            FEngine->RollbackWrite();
    }
    TWriteTransaction(const TWriteTransaction &) = delete;
    TWriteTransaction &operator=(const TWriteTransaction &) = delete;

    void Commit()
    {
        FEngine->CommitWrite();
        FEngine = nullptr;
    }

private:
    TProvider *FEngine;
};
