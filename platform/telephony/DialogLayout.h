#pragma once

class QDialog;
class QFormLayout;

// Lays out a settings dialog: its form above the "Tamam" and "İptal"
// buttons, which accept and reject it.
void LayOutSettingsDialog(QDialog *dialog, QFormLayout *form);
