#pragma once

#include "platform/core/Exception.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

// The text of the error that call raises, as the user would read it;
// "<no error>" when it raises none.
QString ErrorOf(const std::function<void()> &call);
// The kind of that error, as the window words it; None when it raises none.
TErrorKind KindOf(const std::function<void()> &call);

// A file's bytes; empty when it cannot be read.
QByteArray FileBytes(const QString &path);

// A named pipe at path that tells whether anything opened it for reading,
// without a wait that could hang a test: a writer in a thread of its own
// waits in open(2) for each reader and lets it go at once (the reader reads
// an end of file). OpenedByOthers ends the watch and says whether anything
// but the watch itself opened the pipe.
class TFifoWatch {
public:
    explicit TFifoWatch(const QString &path);
    ~TFifoWatch();
    TFifoWatch(const TFifoWatch &) = delete;
    TFifoWatch &operator=(const TFifoWatch &) = delete;

    bool OpenedByOthers();

private:
    QByteArray FPath;
    std::atomic<bool> FEnding{false};
    std::atomic<bool> FOpened{false};
    std::thread FWriter;
};
