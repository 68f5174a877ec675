#pragma once

#include "contacts/ContactExport.h"
#include "contacts/ContactImport.h"

#include <QString>
#include <QStringList>

// What the window decides about contact files, apart from its widgets.

// The local path a command-line word or a dropped URL names: a path as it
// is, a file:// URL as its path; empty for anything else (a tel: link).
QString ContactFilePath(const QString &argument);

// True for the names a drop is taken for: .vcf, .vcard, .csv, .txt.
bool IsContactFileName(const QString &path);

// The open dialog's filters: vCard, CSV, all files.
QString ContactImportFilter();

// The save dialog's filters, in the order of the dialog: vCard 3.0, vCard
// 4.0, CSV with ",", CSV with ";".
QStringList ContactExportFilters();
// The export a chosen filter stands for, to file; a name without an
// extension gets the filter's (".vcf" or ".csv").
TExportOptions ContactExportOptions(const QString &file, const QString &filter);

// "vCard" or "CSV".
QString ContactFileKindName(TContactFileKind kind);

// The counts of a check, in the dialog's words.
QString ImportCountsText(const TImportReport &report);

// Why nothing would be written after a check that found nothing to add
// (writes is CheckImport's answer); empty when the import can go ahead.
QString ImportBlockedText(const TImportReport &report, bool writes);

// The message shown after an import (written is ImportContacts' answer):
// what was added, skipped and left out (the first records whose details
// were left out listed), and how many of the added contacts the search
// filter hides from the list.
QString ImportSummaryText(const QString &file, const TImportReport &report, bool written, std::int64_t hidden = 0);

// Encodings offered for a file, the one it was read in first.
QStringList ImportEncodings(const QString &found);
