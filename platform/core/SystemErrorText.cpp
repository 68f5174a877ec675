#include "platform/core/SystemErrorText.h"

#include <cerrno>
#include <cstring>
#include <utility>

QString SystemErrorText(const QString &systemText)
{
    static const std::pair<int, const char *> kWords[] = {
        {ENOENT, "böyle bir dosya ya da klasör yok"},
        {EACCES, "erişim izniniz yok"},
        {EPERM, "bu işleme izin verilmiyor"},
        {EISDIR, "bu bir klasör"},
        {ENOTDIR, "yoldaki bir ad klasör değil"},
        {EEXIST, "bu adda bir dosya zaten var"},
        {EBUSY, "aygıt ya da kaynak başka bir program tarafından kullanılıyor"},
        {ENODEV, "böyle bir aygıt yok"},
        {ENXIO, "böyle bir aygıt ya da adres yok"},
        {EIO, "aygıta okunurken ya da yazılırken bir hata oldu"},
        {ENOSPC, "diskte yer kalmadı"},
        {EDQUOT, "disk kotanız doldu"},
        {EROFS, "dosya sistemi yalnızca okunabilir"},
        {EMFILE, "açık dosya sayısı sınıra ulaştı"},
        {ENAMETOOLONG, "dosya adı çok uzun"},
        {ETIMEDOUT, "bağlantı zaman aşımına uğradı"},
        {ECONNREFUSED, "bağlantı reddedildi"},
        {ECONNRESET, "bağlantı karşı taraftan kesildi"},
        {EHOSTUNREACH, "sunucuya ulaşılamıyor"},
        {ENETUNREACH, "ağa ulaşılamıyor"},
    };
    const QString text = systemText.trimmed();
    for (const auto &[code, words] : kWords)
        if (text.compare(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(words);
    return {};
}
