#pragma once

#include "platform/automation/CalcOffice.h"
#include "platform/automation/CalcSettings.h"

#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>

#include <QString>
#include <memory>
#include <vector>

// The test's own LibreOffice: headless, on a profile in the test's
// temporary folder, so that its pipe and processes are the test's alone.
// Writes the server settings and registers the server, as the program's
// start does; Stop ends exactly the processes started on that profile.
class TCalcTestOffice {
public:
    explicit TCalcTestOffice(const QString &folder);
    ~TCalcTestOffice();

    const TCalcSettings &Settings() const { return FSettings; }

    // A connection of the test's own (reaching the office the server started).
    std::shared_ptr<TCalcOffice> Connect();

    using TDocument = css::uno::Reference<css::sheet::XSpreadsheetDocument>;
    std::vector<TDocument> Documents();
    // The documents of now that were not in before.
    static std::vector<TDocument> Added(const std::vector<TDocument> &before, const std::vector<TDocument> &now);
    static css::uno::Reference<css::sheet::XSpreadsheet> FirstSheet(const TDocument &doc);
    // A cell's shown text, and whether it holds text (not a number).
    static QString Text(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, int column, int row);
    static bool IsText(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, int column, int row);
    static bool IsEmpty(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, int column, int row);
    // Column width in 1/100 mm.
    static int ColumnWidth(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, int column);
    // Loads a file hidden (for reading back what was saved).
    TDocument Load(const QString &path);
    static void Close(const css::uno::Reference<css::uno::XInterface> &doc);
    // Process ids of the LibreOffice processes on this profile.
    QList<qint64> Processes() const;
    void Kill();
    void Stop();

private:
    TCalcSettings FSettings;
    std::shared_ptr<TCalcOffice> FOffice;
};
