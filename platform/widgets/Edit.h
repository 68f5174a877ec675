#pragma once

#include <QLineEdit>
#include <functional>

// An edit box whose owner sees every character typed before the box takes
// it. The character is not consumed: after OnKeyPress it reaches the box.
// Whatever OnKeyPress raises goes to the error box.
class TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget *parent = nullptr) : QLineEdit(parent) {}

    std::function<void(QChar)> OnKeyPress;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
