#include "app/ContactFiles.h"

#include "app/ImportText.h"

#include <QFileInfo>

namespace {

// The records whose left-out details the end of an import lists.
constexpr int kDetailsInSummary = 5;

} // namespace
#include <QUrl>

QString ContactFilePath(const QString &argument)
{
    if (argument.isEmpty())
        return QString();
    const QUrl url(argument);
    if (url.isValid() && url.scheme().size() > 1) // "C:" and plain paths are no scheme
        return url.isLocalFile() ? url.toLocalFile() : QString();
    return argument;
}

bool IsContactFileName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard") || suffix == QLatin1String("csv")
        || suffix == QLatin1String("txt");
}

QString ContactImportFilter()
{
    return QStringLiteral("vCard dosyaları (*.vcf *.vcard);;CSV dosyaları (*.csv *.txt);;Tüm dosyalar (*)");
}

QStringList ContactExportFilters()
{
    return {QStringLiteral("vCard 3.0 (*.vcf)"), QStringLiteral("vCard 4.0 (*.vcf)"), QStringLiteral("CSV, virgülle ayrılmış (*.csv)"),
            QStringLiteral("CSV, noktalı virgülle ayrılmış (*.csv)")};
}

TExportOptions ContactExportOptions(const QString &file, const QString &filter)
{
    const QStringList filters = ContactExportFilters();
    const qsizetype which = std::max<qsizetype>(0, filters.indexOf(filter));
    TExportOptions options;
    options.Format = which >= 2 ? TExportOptions::Csv : TExportOptions::VCard;
    options.VCardVersion4 = which == 1;
    options.Delimiter = which == 3 ? ';' : ',';
    options.File = file;
    if (QFileInfo(file).suffix().isEmpty())
        options.File += options.Format == TExportOptions::Csv ? QLatin1String(".csv") : QLatin1String(".vcf");
    return options;
}

QString ContactFileKindName(TContactFileKind kind)
{
    return kind == TContactFileKind::VCard ? QStringLiteral("vCard") : QStringLiteral("CSV");
}

QString ImportCountsText(const TImportReport &report)
{
    const TImportCounts &s = report.Counts;
    return QStringLiteral("Okunan kayıt: %1    Eklenecek: %2    Aynısı olan: %3    Hatalı: %4")
        .arg(s.Read)
        .arg(s.Added)
        .arg(s.Duplicates)
        .arg(s.Refused);
}

QString ImportBlockedText(const TImportReport &report, bool writes)
{
    if (!writes)
        return QStringLiteral("Hatalı kayıtlar var: \"Hatalı kayıtları atla\" seçilmezse hiçbir kişi eklenmez.");
    if (report.Counts.Added == 0)
        return QStringLiteral("Dosyada eklenecek kişi yok.");
    return QString();
}

QString ImportSummaryText(const QString &file, const TImportReport &report, bool written, std::int64_t hidden)
{
    const TImportCounts &s = report.Counts;
    const QString name = QFileInfo(file).fileName();
    if (!written)
        return QStringLiteral("%1: hiçbir kişi eklenmedi, %2 kayıt hatalı.").arg(name).arg(s.Refused);
    QString text = QStringLiteral("%1: %2 kişi eklendi.").arg(name).arg(s.Added);
    if (s.Duplicates > 0)
        text += QStringLiteral("\r%1 kişi rehberde olduğu için eklenmedi.").arg(s.Duplicates);
    if (s.Refused > 0)
        text += QStringLiteral("\r%1 hatalı kayıt atlandı.").arg(s.Refused);
    if (s.DetailsLeftOut > 0) {
        // The first of them here; all of them were in the dialog's list.
        text += QStringLiteral(
                    "\rEklenen kişilerin %1 ayrıntısı alınmadı (içe aktarmadan önce \"Sorunlar\" listesinde "
                    "gösterildi):")
                    .arg(s.DetailsLeftOut);
        int shown = 0;
        for (const TImportMessage &m : report.Messages)
            if (m.Verdict == TImportVerdict::NotTaken && shown++ < kDetailsInSummary)
                text += u'\r' + ImportMessageLine(m, report.Kind);
        if (shown > kDetailsInSummary || report.MessagesLeftOut > 0)
            text += QStringLiteral("\r…");
    }
    if (hidden > 0)
        text += QStringLiteral(
                    "\rEklenen kişilerden %1 tanesi arama filtresine uymadığı için listede görünmüyor; hepsini görmek "
                    "için \"Tüm Kayıtlar\" düğmesine basın.")
                    .arg(hidden);
    return text;
}

QStringList ImportEncodings(const QString &found)
{
    QStringList encodings = {QStringLiteral("UTF-8"),     QStringLiteral("windows-1254"), QStringLiteral("ISO-8859-9"),
                             QStringLiteral("UTF-16"),    QStringLiteral("IBM857"),       QStringLiteral("windows-1252"),
                             QStringLiteral("ISO-8859-1")};
    if (!found.isEmpty()) {
        encodings.removeIf([&](const QString &e) { return e.compare(found, Qt::CaseInsensitive) == 0; });
        encodings.prepend(found);
    }
    return encodings;
}
