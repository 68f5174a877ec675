#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// The text of the error that call raises, as the user would read it;
// "<no error>" when it raises none.
QString ErrorOf(const std::function<void()> &call);

// A file's bytes; empty when it cannot be read.
QByteArray FileBytes(const QString &path);
