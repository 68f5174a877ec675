#pragma once

// Text between Qt and UNO: both are UTF-16.
#include <QString>
#include <rtl/ustring.hxx>

inline rtl::OUString ToOUString(const QString &s)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(s.utf16()), sal_Int32(s.size()));
}

inline QString ToQString(const rtl::OUString &s)
{
    return QString(reinterpret_cast<const QChar *>(s.getStr()), s.getLength());
}
