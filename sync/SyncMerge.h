#pragma once

#include <QByteArray>
#include <vector>

// The three-way merge of one contact, column by column, against the values
// as last synced (base). A column changed on one side takes that side's
// value; changed the same way on both, that value; changed differently on
// both, the directory's value stays and the column is listed.
struct TMergeOutcome {
    QByteArray Values[7];
    std::vector<int> Conflicts; // columns changed differently on both sides
};
TMergeOutcome MergeContact(const QByteArray *base, const QByteArray *local, const QByteArray *server);

// A contact and a card found to be the same person on a first sync: each
// column takes the value one side has; where both have different values,
// the directory's stays and the column is listed.
TMergeOutcome JoinContact(const QByteArray *local, const QByteArray *server);
