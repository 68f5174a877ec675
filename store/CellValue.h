#pragma once

#include "store/FieldTypes.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

class TStatement;

// The storage class of one value, as SQLite keeps it.
enum class TCellKind : std::uint8_t { Null, Integer, Float, Text, Blob };

// A value read without copying: text and blobs point into the snapshot.
struct TCellView {
    TCellKind Kind = TCellKind::Null;
    std::int64_t Int = 0;
    double Float = 0;
    const char *Data = nullptr; // UTF-8 text or blob bytes
    std::size_t Size = 0;
};

// A value held on its own: the pending row's values and the values bound
// to a statement.
struct TCellValue {
    TCellKind Kind = TCellKind::Null;
    std::int64_t Int = 0;
    double Float = 0;
    QByteArray Bytes; // text (UTF-8) or blob

    static TCellValue FromView(const TCellView &view);
    static TCellValue FromColumn(const TStatement &stmt, int col);
    static TCellValue FromText(const QString &text) { return {TCellKind::Text, 0, 0, text.toUtf8()}; }
    TCellView View() const { return {Kind, Int, Float, Bytes.constData(), std::size_t(Bytes.size())}; }
    void Bind(TStatement &stmt, int pos) const;
};

// The value as a field shows it: text as stored, numbers in plain decimal
// form, Booleans "True"/"False", empty for null.
QString CellText(const TCellView &cell, TFieldType type);

// The value a field of the given type stores for the text a user typed.
// Booleans "True"/"False" (any case) become 1/0; everything else is text,
// which the column's affinity converts as the engine does.
TCellValue CellFromText(const QString &text, TFieldType type);

// Date and time values as days since 30 December 1899, the time of day as
// the fraction; 0 for null. Text in ISO form ("2024-03-05",
// "13:45:10.250", "2024-03-05 13:45:10.250") or a number of days.
// Anything else raises EDatabaseError.
double CellDateTime(const TCellView &cell);
