#include "contacts/BackgroundWriter.h"

#include "contacts/ContactWriter.h"

namespace {

// Rows a batch, and batches waiting at most: some thousands of rows in
// hand, a few hundred kilobytes.
constexpr std::size_t kBatchRows = 512;
constexpr std::size_t kMostWaiting = 4;

} // namespace

TBackgroundWriter::TBackgroundWriter(TContactWriter &writer, int columns) : FWriter(writer), FColumns(columns), FRows(kMostWaiting)
{
    FFilling.reserve(kBatchRows * std::size_t(columns));
    FThread = std::thread([this] { Run(); });
}

TBackgroundWriter::~TBackgroundWriter()
{
    FRows.Stop();
    if (FThread.joinable())
        FThread.join();
}

void TBackgroundWriter::Hand()
{
    if (!FRows.Give(FFilling))
        FRows.RaiseFailure();
    FFilling.reserve(kBatchRows * std::size_t(FColumns));
}

void TBackgroundWriter::Add(const QByteArray *values)
{
    FFilling.insert(FFilling.end(), values, values + FColumns);
    if (FFilling.size() >= kBatchRows * std::size_t(FColumns))
        Hand();
}

void TBackgroundWriter::Finish()
{
    if (!FFilling.empty())
        Hand();
    FRows.Close();
    FThread.join();
    FRows.RaiseFailure();
}

void TBackgroundWriter::Run()
{
    try {
        TBatchQueue<QByteArray>::TBatch batch;
        while (FRows.Take(batch))
            for (std::size_t row = 0; row < batch.size(); row += std::size_t(FColumns))
                FWriter.Add(batch.data() + row);
        if (!FRows.Stopped())
            FWriter.FinishRows();
    } catch (...) {
        FRows.Stop(std::current_exception());
    }
}
