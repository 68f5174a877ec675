// The rest of a result after Open: read slice by slice from the event loop,
// and at once as far as a caller needs it.
#include "store/ADOQuery.h"

#include "platform/core/Progress.h"
#include "store/ADOQueryImpl.h"
#include "store/Provider.h"

#include <QAbstractEventDispatcher>
#include <QTimer>
#include <chrono>
#include <limits>

namespace {

// Rows per slice: a few milliseconds of work, so that the window paints and
// takes input between two slices.
constexpr std::size_t kSliceRows = 4096;
// While the rest waits for its turn on the server, the event loop looks
// again this often, and a caller that needs the rows waits this long
// between two steps of its progress.
constexpr std::chrono::milliseconds kTurnLook{20};
constexpr std::chrono::milliseconds kTurnWait{50};

} // namespace

bool TADOQuery::Fetching() const
{
    return d->Rest != nullptr;
}

void TADOQuery::FetchAll()
{
    FetchRows(std::numeric_limits<long long>::max());
}

void TADOQuery::StartFetching(std::unique_ptr<TRowStream> rest)
{
    d->Rest = std::move(rest);
    d->Failure.clear();
    if (!d->Rest || !QAbstractEventDispatcher::instance())
        return; // without an event loop the rest comes when it is needed
    if (!d->Slices) {
        d->Slices = std::make_unique<QTimer>();
        QObject::connect(d->Slices.get(), &QTimer::timeout, d->Slices.get(), [this] { ReadSlice(); });
    }
    d->Slices->start(0);
}

void TADOQuery::EndFetching()
{
    d->Rest.reset();
    if (d->Slices)
        d->Slices->stop();
}

// One slice from the event loop. An error cannot go up through the event
// loop: it ends the reading and is raised to whoever next needs the rest.
void TADOQuery::ReadSlice()
{
    if (!d->Rest || d->Reading)
        return;
    const long long before = d->RowCount();
    try {
        d->Reading = true;
        if (!d->Rest->Admitted(std::chrono::milliseconds(0))) {
            d->Reading = false;
            d->Slices->start(kTurnLook);
            return;
        }
        const bool done = d->Rest->Read(kSliceRows);
        d->Reading = false;
        if (done)
            EndFetching();
        else if (d->Slices->interval() != 0)
            d->Slices->start(0);
    } catch (const Exception &e) {
        d->Reading = false;
        d->Failure = e.Message();
        EndFetching();
    }
    if (d->RowCount() > before)
        Notify(TDataEvent::RowsAdded);
}

void TADOQuery::FetchRows(long long count) const
{
    // Reading rows that belong to the result already leaves the set the
    // same set: a const caller may need them.
    auto *self = const_cast<TADOQuery *>(this);
    if (!d->Failure.isEmpty() && d->RowCount() < count) {
        const QString failure = d->Failure;
        d->Failure.clear();
        throw EDatabaseError(failure);
    }
    if (!d->Rest || d->Reading || d->RowCount() >= count)
        return;
    const long long before = d->RowCount();
    struct TAnnounce {
        TADOQuery *Set;
        long long Before;
        ~TAnnounce()
        {
            if (Set->d->RowCount() > Before)
                Set->Notify(TDataEvent::RowsAdded);
        }
    } announce{self, before};
    TProgress progress(QStringLiteral("Kayıtlar okunuyor"));
    while (d->Rest && d->RowCount() < count) {
        bool done = false;
        try {
            d->Reading = true;
            const bool admitted = d->Rest->Admitted(kTurnWait);
            done = admitted && d->Rest->Read(kSliceRows);
            d->Reading = false;
            if (!admitted) {
                progress.StepOrAbort(d->RowCount());
                continue;
            }
        } catch (...) {
            d->Reading = false;
            self->EndFetching();
            throw;
        }
        if (done)
            self->EndFetching();
        else
            progress.StepOrAbort(d->RowCount());
    }
}
