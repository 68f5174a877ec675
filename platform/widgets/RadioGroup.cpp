#include "platform/widgets/RadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString &caption, const QStringList &items, int columns, QWidget *parent) : QGroupBox(caption, parent)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 2, 2);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(0);
    FButtons.setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        FButtons.addButton(button, i);
        grid->addWidget(button, i / columns, i % columns);
    }
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton *button = FButtons.button(index))
        button->setChecked(true);
}

QRadioButton *TRadioGroup::Item(int index) const
{
    return qobject_cast<QRadioButton *>(FButtons.button(index));
}
