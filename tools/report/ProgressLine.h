#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdint>

// A progress line on the terminal ("import: 45 %, 12000 records") for work
// that takes longer than about a second. It is drawn on standard error only
// when that is a terminal, at most a few times a second, over itself with a
// carriage return, and erased by Finish (or when the object goes), so that
// the summary and any messages stand on clean lines.
class TProgressLine {
public:
    // total: the amount of work (bytes, rows); 0 when unknown.
    TProgressLine(QString label, std::int64_t total);
    ~TProgressLine();
    TProgressLine(const TProgressLine &) = delete;
    TProgressLine &operator=(const TProgressLine &) = delete;

    // done: the part of total finished; records: how many records so far.
    void Update(std::int64_t done, std::int64_t records)
    {
        if (FEnabled && (++FCalls & 0xff) == 0)
            Draw(done, records);
    }
    // Erases the line before a message is printed; it comes back on the next Update.
    void Clear();
    void Finish() { Clear(); }

private:
    void Draw(std::int64_t done, std::int64_t records);
    QString FLabel;
    std::int64_t FTotal;
    bool FEnabled;
    bool FShown = false;
    std::uint32_t FCalls = 0;
    qint64 FLastDraw = 0;
    QElapsedTimer FTimer;
};
