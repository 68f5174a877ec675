// The "EXCEL.APPLICATION" server against a real LibreOffice, started
// headless on a profile of the test's own; every value is read back
// through UNO.
#include "CalcTestOffice.h"

#include "platform/automation/ClassRegistry.h"
#include "platform/automation/OleCall.h"
#include "platform/core/Exception.h"
#include "support/TestHome.h"

#include <com/sun/star/frame/XModel.hpp>

#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <cmath>
#include <memory>

using TSheet = css::uno::Reference<css::sheet::XSpreadsheet>;

class TestCalcServer : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestHome> FHome;
    std::unique_ptr<TCalcTestOffice> FOffice;

    struct TWorkbook {
        TComPtr<IDispatch> Application, Workbook, Worksheet;
        TCalcTestOffice::TDocument Document;
    };

    // A new workbook through the server, and the document it made.
    TWorkbook NewWorkbook()
    {
        const auto before = FOffice->Documents();
        TWorkbook w;
        w.Application = CreateOleObject(QStringLiteral("excel.application"));
        OlePropertySet(w.Application.Get(), QStringLiteral("VISIBLE"), {}, true);
        const TComPtr<IDispatch> workbooks = OleFunction(w.Application.Get(), QStringLiteral("WORKBOOKS")).ToDispatch();
        w.Workbook = OleFunction(workbooks.Get(), QStringLiteral("ADD")).ToDispatch();
        w.Worksheet = OlePropertyGet(w.Workbook.Get(), QStringLiteral("WORKSHEETS"), {1}).ToDispatch();
        const auto added = TCalcTestOffice::Added(before, FOffice->Documents());
        if (added.size() == 1)
            w.Document = added.front();
        return w;
    }

    static void Put(IDispatch *sheet, int row, int column, const VARIANT &value)
    {
        OlePropertySet(sheet, QStringLiteral("CELLS"), {row, column}, value);
    }

private Q_SLOTS:
    void initTestCase()
    {
        FHome = std::make_unique<TTestHome>();
        FOffice = std::make_unique<TCalcTestOffice>(FHome->Path());
    }

    void cleanupTestCase()
    {
        FOffice.reset(); // ends the test's LibreOffice, and only it
        FHome.reset();
    }

    void cellsKeepTextExactlyAndStayAfterRelease()
    {
        const QStringList texts{
            QStringLiteral("0532 123 45 67"), QStringLiteral("00123"), QStringLiteral("Şükrü Çağlar İğneada"), QStringLiteral("=1+1"),
            QStringLiteral("'quoted"),        QStringLiteral("12.50"), QStringLiteral("line 1\nline 2"),
        };
        TWorkbook w = NewWorkbook();
        QVERIFY(w.Document.is());
        // A block in reading order, with a row by reference like the export's.
        int row = 1;
        for (int r = 0; r < 300; ++r) {
            ++row;
            for (int c = 0; c < texts.size(); ++c)
                OlePropertySet(w.Worksheet.Get(), QStringLiteral("Cells"), {VARIANT::ByRef(&row), c + 1},
                               QStringLiteral("%1:%2").arg(r).arg(texts[c]));
        }
        // Writes out of order, over a written cell, and of other types.
        Put(w.Worksheet.Get(), 1, 3, QStringLiteral("c1"));
        Put(w.Worksheet.Get(), 1, 1, texts[1]);
        Put(w.Worksheet.Get(), 1, 2, texts[0]);
        Put(w.Worksheet.Get(), 1, 1, texts[2]);
        Put(w.Worksheet.Get(), 400, 2, 42);
        Put(w.Worksheet.Get(), 400, 3, 2.5);
        Put(w.Worksheet.Get(), 400, 4, VARIANT());
        Put(w.Worksheet.Get(), 400, 5, QString());

        const TCalcTestOffice::TDocument doc = w.Document;
        w = TWorkbook(); // every reference released: what is pending is written
        const TSheet sheet = TCalcTestOffice::FirstSheet(doc);
        for (int r = 0; r < 300; r += 37) {
            for (int c = 0; c < texts.size(); ++c) {
                QCOMPARE(TCalcTestOffice::Text(sheet, c, r + 1), QStringLiteral("%1:%2").arg(r).arg(texts[c]));
                QVERIFY(TCalcTestOffice::IsText(sheet, c, r + 1));
            }
        }
        QCOMPARE(TCalcTestOffice::Text(sheet, 0, 299 + 1), QStringLiteral("299:0532 123 45 67"));
        QCOMPARE(TCalcTestOffice::Text(sheet, 0, 0), texts[2]);
        QCOMPARE(TCalcTestOffice::Text(sheet, 1, 0), texts[0]);
        QCOMPARE(TCalcTestOffice::Text(sheet, 2, 0), QStringLiteral("c1"));
        QCOMPARE(TCalcTestOffice::Text(sheet, 1, 399), QStringLiteral("42"));
        QVERIFY(!TCalcTestOffice::IsText(sheet, 1, 399));
        QCOMPARE(TCalcTestOffice::Text(sheet, 2, 399), QStringLiteral("2.5"));
        QVERIFY(TCalcTestOffice::IsEmpty(sheet, 3, 399));
        QVERIFY(TCalcTestOffice::IsEmpty(sheet, 4, 399));
        QVERIFY(TCalcTestOffice::IsEmpty(sheet, 7, 1));
    }

    void workbookOutlivesTheProgram()
    {
        const auto before = FOffice->Documents();
        const int rc = QProcess::execute(QStringLiteral(CALC_CLIENT), {QStringLiteral("Güle güle")});
        QCOMPARE(rc, 0);
        const auto added = TCalcTestOffice::Added(before, FOffice->Documents());
        QCOMPARE(added.size(), size_t(1));
        QCOMPARE(TCalcTestOffice::Text(TCalcTestOffice::FirstSheet(added.front()), 0, 0), QStringLiteral("Güle güle"));
        TCalcTestOffice::Close(added.front());
    }

    void columnWidthIsInCharacters_data()
    {
        QTest::addColumn<double>("chars");
        QTest::newRow("Ad, 115 px") << 12.65;
        QTest::newRow("Adres, 500 px") << 55.0;
        QTest::newRow("narrow") << 1.0;
    }
    void columnWidthIsInCharacters()
    {
        QFETCH(double, chars);
        TWorkbook w = NewWorkbook();
        const TComPtr<IDispatch> column = OlePropertyGet(w.Worksheet.Get(), QStringLiteral("Columns"), {3}).ToDispatch();
        OlePropertySet(column.Get(), QStringLiteral("ColumnWidth"), {}, chars);
        // One character is the width of "0" in Calc's default font (1.962 mm);
        // Calc keeps widths in twips, so allow its rounding.
        const int expected = int(std::lround(chars * 196.2));
        QVERIFY2(std::abs(TCalcTestOffice::ColumnWidth(TCalcTestOffice::FirstSheet(w.Document), 2) - expected) <= 3,
                 qPrintable(QString::number(TCalcTestOffice::ColumnWidth(TCalcTestOffice::FirstSheet(w.Document), 2))));
        QVERIFY(std::abs(OlePropertyGet(column.Get(), QStringLiteral("COLUMNWIDTH")).ToDouble() - chars) < 0.02);
        TCalcTestOffice::Close(w.Document);
    }

    void saveCopyAsWritesExcel97AndKeepsTheDocument()
    {
        TWorkbook w = NewWorkbook();
        Put(w.Worksheet.Get(), 1, 1, QStringLiteral("CTelefon"));
        Put(w.Worksheet.Get(), 2, 1, QStringLiteral("0532 123 45 67"));
        Put(w.Worksheet.Get(), 3, 1, QStringLiteral("00123"));
        Put(w.Worksheet.Get(), 3, 2, QStringLiteral("Çağrı"));
        OleProcedure(w.Workbook.Get(), QStringLiteral("SaveCopyAs"), {QStringLiteral("C:\\Kopya.xls")});

        const QString path = FHome->FilePath(QStringLiteral("Kopya.xls"));
        QVERIFY(QFileInfo::exists(path));
        // The document stays the user's unsaved one, not the file.
        const css::uno::Reference<css::frame::XModel> model(w.Document, css::uno::UNO_QUERY_THROW);
        QVERIFY(model->getURL().isEmpty());

        const auto copy = FOffice->Load(path);
        QVERIFY(copy.is());
        const TSheet sheet = TCalcTestOffice::FirstSheet(copy);
        QCOMPARE(TCalcTestOffice::Text(sheet, 0, 0), QStringLiteral("CTelefon"));
        QCOMPARE(TCalcTestOffice::Text(sheet, 0, 1), QStringLiteral("0532 123 45 67"));
        QCOMPARE(TCalcTestOffice::Text(sheet, 0, 2), QStringLiteral("00123"));
        QVERIFY(TCalcTestOffice::IsText(sheet, 0, 2));
        QCOMPARE(TCalcTestOffice::Text(sheet, 1, 2), QStringLiteral("Çağrı"));
        const css::uno::Reference<css::frame::XModel> copyModel(copy, css::uno::UNO_QUERY_THROW);
        bool found = false;
        for (const auto &arg : copyModel->getArgs()) {
            if (arg.Name == "FilterName") {
                rtl::OUString filter;
                arg.Value >>= filter;
                QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(filter.getStr()), filter.getLength()),
                         QStringLiteral("MS Excel 97"));
                found = true;
            }
        }
        QVERIFY(found);
        TCalcTestOffice::Close(copy);
        TCalcTestOffice::Close(w.Document);
    }

    void unknownMembersAndIndexesAreReported_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown member") << 0 << "Method 'Range' not supported by automation object";
        QTest::newRow("sheet beyond the last") << 1 << "Invalid index";
        QTest::newRow("row 0") << 2 << "Invalid index";
        QTest::newRow("put on a method") << 3 << "Member not found";
        QTest::newRow("save into a missing folder") << 4 << "";
    }
    void unknownMembersAndIndexesAreReported()
    {
        QFETCH(int, what);
        QFETCH(QString, message);
        TWorkbook w = NewWorkbook();
        try {
            switch (what) {
            case 0: OlePropertyGet(w.Worksheet.Get(), QStringLiteral("Range"), {QStringLiteral("A1")}); break;
            case 1: OlePropertyGet(w.Workbook.Get(), QStringLiteral("Worksheets"), {5}); break;
            case 2: Put(w.Worksheet.Get(), 0, 1, QStringLiteral("x")); break;
            case 3: OlePropertySet(w.Workbook.Get(), QStringLiteral("SaveCopyAs"), {}, QStringLiteral("x")); break;
            case 4: {
                // A folder that cannot be made: a file stands in its place.
                QFile blocker(FHome->FilePath(QStringLiteral("engel")));
                QVERIFY(blocker.open(QIODevice::WriteOnly));
                blocker.close();
                OleProcedure(w.Workbook.Get(), QStringLiteral("SaveCopyAs"), {QStringLiteral("C:\\engel\\a.xls")});
                break;
            }
            }
            QFAIL("no error");
        } catch (const EOleError &e) {
            if (message.isEmpty())
                QVERIFY2(e.Message().startsWith(QStringLiteral("The workbook could not be saved as")), qPrintable(e.Message()));
            else
                QCOMPARE(e.Message(), message);
        }
        TCalcTestOffice::Close(w.Document);
    }

    // Last: ends the test's LibreOffice under the objects' feet.
    void libreOfficeGoneIsAnErrorThenItStartsAgain()
    {
        TWorkbook w = NewWorkbook();
        Put(w.Worksheet.Get(), 1, 1, QStringLiteral("a"));
        FOffice->Kill();
        QVERIFY(FOffice->Processes().isEmpty());
        try {
            Put(w.Worksheet.Get(), 1, 2, QStringLiteral("b"));
            OlePropertyGet(w.Worksheet.Get(), QStringLiteral("Columns"), {1});
            QFAIL("no error");
        } catch (const EOleError &e) {
            QVERIFY2(e.Message().startsWith(QStringLiteral("LibreOffice Calc")), qPrintable(e.Message()));
        }
        w = TWorkbook(); // released without a crash
        // The next application object starts it again.
        const TComPtr<IDispatch> application = CreateOleObject(QStringLiteral("EXCEL.APPLICATION"));
        QVERIFY(!FOffice->Processes().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCalcServer)
#include "tst_calc_server.moc"
