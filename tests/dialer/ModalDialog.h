#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest>

// Runs a dialog that the code under test opens modally: fill is called
// with it once it is up.
template <typename Fill> void WhenDialogOpens(Fill fill)
{
    QTimer::singleShot(0, [fill]() {
        QWidget *w = nullptr;
        QTRY_VERIFY((w = QApplication::activeModalWidget()) != nullptr);
        fill(qobject_cast<QDialog *>(w));
    });
}
