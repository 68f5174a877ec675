#include "platform/core/WindowsPath.h"

#include <QDir>

QString LocalPathFor(const QString &windowsPath)
{
    QString rest = windowsPath;
    const bool onDriveC = rest.size() >= 2 && rest.at(1) == u':' && (rest.at(0) == u'C' || rest.at(0) == u'c');
    if (onDriveC)
        rest = rest.mid(2);
    rest.replace(u'\\', u'/');
    if (!onDriveC)
        return rest;
    while (rest.startsWith(u'/'))
        rest.remove(0, 1);
    return QDir(QDir::homePath()).filePath(rest);
}
