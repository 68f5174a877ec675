#include "support/TestTools.h"

#include "platform/core/Exception.h"

#include <QFile>

QString ErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        return ExceptionText(e);
    }
    return QStringLiteral("<no error>");
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
