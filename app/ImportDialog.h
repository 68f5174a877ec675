#pragma once

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TADOConnection;
struct TImportOptions;
struct TImportReport;

// "Kişileri İçe Aktar": what the import of one contact file would do,
// shown before anything is written: the file, its kind and encoding (which
// the user may change), the counts, every problem with its line or card,
// and the first contacts as they will land in the grid's columns. Each
// change of the encoding or of an option checks the file again. Accepted,
// Options() is what the import is to be run with; the dialog writes nothing.
class TImportDialog : public QDialog {
    Q_OBJECT
public:
    // Checks the file at once; raises what the check raises (the file
    // cannot be read, EAbort when the check was stopped).
    TImportDialog(TADOConnection &connection, const QString &file, QWidget *parent = nullptr);

    ~TImportDialog() override;
    TImportOptions Options() const;
    const TImportReport &Report() const { return *FReport; }
    static constexpr int PreviewRows = 20;

    QComboBox *EncodingBox;
    QCheckBox *SkipBadBox, *AllowDuplicatesBox;
    QLabel *CountsLabel, *BlockedLabel;
    QPlainTextEdit *ProblemsText;
    QTableWidget *PreviewTable;
    QPushButton *ImportButton, *CancelButton;

    // "İçe Aktar": when the check found that nothing would be written,
    // says why and stays open (the user may tick an option).
    void accept() override;

private:
    void Check();
    void ShowReport(bool writes);
    void OptionsChanged();

    TADOConnection &FConnection;
    std::unique_ptr<TImportOptions> FOptions;
    std::unique_ptr<TImportReport> FReport;
    QLabel *FKindLabel;
    QString FBlocked;
    bool FFilling = false;
};
