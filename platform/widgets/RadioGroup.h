#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class QRadioButton;

// A framed group of radio buttons in columns, one of them always checked.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString &caption, const QStringList &items, int columns, QWidget *parent = nullptr);

    int ItemIndex() const { return FButtons.checkedId(); }
    void SetItemIndex(int index);
    QRadioButton *Item(int index) const;
    int ItemCount() const { return int(FButtons.buttons().size()); }

private:
    QButtonGroup FButtons;
};
