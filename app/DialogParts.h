#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The pieces the settings dialogs share (Veri Kaynağı, Eşitleme Hesabı).

// A text field with its object and accessible names.
QLineEdit *MakeDialogEdit(QWidget *parent, const char *name, const QString &accessibleName);

// "Bağlantıyı Sına" (TestButton) and the label that shows its answer
// (Result), selectable, wrapped.
QPushButton *MakeTestButton(QWidget *parent);
QLabel *MakeTestResult(QWidget *parent);

// "Tamam" (the default) and "İptal", accepting and rejecting the dialog.
QDialogButtonBox *MakeOkCancel(QDialog *dialog);
