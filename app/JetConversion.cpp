#include "app/JetConversion.h"

#include "contacts/jet/ConvertTarget.h"
#include "contacts/jet/CopyInChild.h"
#include "contacts/jet/JetDatabase.h"
#include "platform/core/Progress.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QMutex>
#include <QTimer>
#include <atomic>
#include <exception>
#include <thread>

QString JetConversionQuestion(const QString &errorText, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return errorText
        + QStringLiteral("\r\r%1, programın eski Windows sürümünün veritabanı. Şimdi dönüştürülsün mü? "
                         "Eski dosya %1.jet adıyla saklanır.")
              .arg(name);
}

void ConvertJetDatabase(const QString &path)
{
    const QByteArray charset = Jet3Charset(QStringLiteral("1254"));
    TConvertTarget target(path, path);
    TProgress progress(QStringLiteral("Eski veritabanı dönüştürülüyor"), 0, false);

    QMutex mutex;
    QString table;
    std::atomic<std::int64_t> rows{0};
    std::exception_ptr failure;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            CopyJetDatabaseInChild(path, charset, target.TempPath(), [&](const QString &name, std::int64_t read) {
                const QMutexLocker lock(&mutex);
                table = name;
                rows = read;
            });
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        QString text;
        {
            const QMutexLocker lock(&mutex);
            if (!table.isEmpty())
                text = QStringLiteral("Tablo %1: %2 satır okundu").arg(table).arg(rows.load());
        }
        progress.Step(rows.load(), text);
    });
    tick.start(100);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    target.Commit();
}
