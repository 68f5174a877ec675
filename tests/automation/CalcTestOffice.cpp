#include "CalcTestOffice.h"

#include "platform/automation/CalcServer.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/UnoText.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include <csignal>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

TCalcTestOffice::TCalcTestOffice(const QString &folder)
{
    FSettings = TCalcSettings::Defaults();
    FSettings.Headless = true;
    FSettings.StartTimeoutSeconds = 120;
    FSettings.Profile = QDir(folder).filePath(QStringLiteral("lo-profile"));
    FSettings.Save();
    RegisterCalcServer(ClassRegistry()); // as the program's start does
}

TCalcTestOffice::~TCalcTestOffice()
{
    Stop();
}

std::shared_ptr<TCalcOffice> TCalcTestOffice::Connect()
{
    if (!FOffice)
        FOffice = TCalcOffice::Reach(FSettings);
    return FOffice;
}

std::vector<TCalcTestOffice::TDocument> TCalcTestOffice::Documents()
{
    std::vector<TDocument> docs;
    const Reference<container::XEnumeration> e = Connect()->Desktop()->getComponents()->createEnumeration();
    while (e->hasMoreElements()) {
        TDocument doc(e->nextElement(), UNO_QUERY);
        if (doc.is())
            docs.push_back(doc);
    }
    return docs;
}

std::vector<TCalcTestOffice::TDocument> TCalcTestOffice::Added(const std::vector<TDocument> &before, const std::vector<TDocument> &now)
{
    std::vector<TDocument> added;
    for (const auto &d : now) {
        if (std::find(before.begin(), before.end(), d) == before.end())
            added.push_back(d);
    }
    return added;
}

Reference<sheet::XSpreadsheet> TCalcTestOffice::FirstSheet(const TDocument &doc)
{
    const Reference<container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
    return Reference<sheet::XSpreadsheet>(sheets->getByIndex(0), UNO_QUERY_THROW);
}

QString TCalcTestOffice::Text(const Reference<sheet::XSpreadsheet> &sheet, int column, int row)
{
    const Reference<text::XTextRange> cell(sheet->getCellByPosition(column, row), UNO_QUERY_THROW);
    return ToQString(cell->getString());
}

bool TCalcTestOffice::IsText(const Reference<sheet::XSpreadsheet> &sheet, int column, int row)
{
    return sheet->getCellByPosition(column, row)->getType() == table::CellContentType_TEXT;
}

bool TCalcTestOffice::IsEmpty(const Reference<sheet::XSpreadsheet> &sheet, int column, int row)
{
    return sheet->getCellByPosition(column, row)->getType() == table::CellContentType_EMPTY;
}

int TCalcTestOffice::ColumnWidth(const Reference<sheet::XSpreadsheet> &sheet, int column)
{
    const Reference<container::XIndexAccess> columns(Reference<table::XColumnRowRange>(sheet, UNO_QUERY_THROW)->getColumns(),
                                                     UNO_QUERY_THROW);
    const Reference<beans::XPropertySet> col(columns->getByIndex(column), UNO_QUERY_THROW);
    sal_Int32 width = 0;
    col->getPropertyValue(rtl::OUString("Width")) >>= width;
    return width;
}

TCalcTestOffice::TDocument TCalcTestOffice::Load(const QString &path)
{
    uno::Sequence<beans::PropertyValue> args(1);
    args.getArray()[0].Name = "Hidden";
    args.getArray()[0].Value <<= true;
    const rtl::OUString url = ToOUString(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    return TDocument(Connect()->Desktop()->loadComponentFromURL(url, rtl::OUString("_blank"), 0, args), UNO_QUERY);
}

void TCalcTestOffice::Close(const Reference<uno::XInterface> &doc)
{
    const Reference<util::XCloseable> closeable(doc, UNO_QUERY);
    if (closeable.is())
        closeable->close(true);
}

QList<qint64> TCalcTestOffice::Processes() const
{
    // Only processes whose command line names this test's profile.
    const QByteArray marker = FSettings.ProfileUrl().toUtf8();
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray args = cmdline.readAll();
        if (args.contains(marker) && args.contains("--accept=pipe"))
            pids << pid;
    }
    return pids;
}

void TCalcTestOffice::Kill()
{
    FOffice.reset();
    for (qint64 pid : Processes())
        ::kill(pid_t(pid), SIGKILL);
    QDeadlineTimer deadline(10000);
    while (!Processes().isEmpty() && !deadline.hasExpired())
        QThread::msleep(50);
}

void TCalcTestOffice::Stop()
{
    if (Processes().isEmpty()) {
        FOffice.reset();
        return;
    }
    try {
        const auto office = Connect();
        const auto docs = Documents();
        for (const auto &d : docs)
            Close(d);
        office->Desktop()->terminate();
    } catch (...) {
        // Going away anyway; whatever remains is killed below.
    }
    FOffice.reset();
    QDeadlineTimer deadline(15000);
    while (!Processes().isEmpty() && !deadline.hasExpired())
        QThread::msleep(100);
    Kill();
}
