#include "platform/widgets/FieldLink.h"

#include "platform/widgets/DisplayHead.h"

#include <algorithm>

TFieldLink::~TFieldLink()
{
    if (FDataSource)
        FDataSource->RemoveLink(this);
}

void TFieldLink::SetDataSource(TLinkSource *source)
{
    if (FDataSource == source)
        return;
    if (FDataSource)
        FDataSource->RemoveLink(this);
    FDataSource = source;
    if (FDataSource)
        FDataSource->AddLink(this);
    Refresh();
}

void TFieldLink::SetDataField(const QString &name)
{
    FDataField = name;
    Refresh();
}

TLinkedDataSet *TFieldLink::DataSet(int &field) const
{
    field = -1;
    TLinkedDataSet *set = FDataSource ? FDataSource->LinkedDataSet() : nullptr;
    if (!set || !set->Active())
        return nullptr;
    field = set->FieldIndex(FDataField);
    return field >= 0 ? set : nullptr;
}

bool TFieldLink::Editing() const
{
    int field;
    TLinkedDataSet *set = DataSet(field);
    return set && set->RowPending();
}

void TFieldLink::DataEvent(TDataEvent event)
{
    if (event == TDataEvent::RowsAdded)
        return; // rows arriving after the last leave the current row alone
    // Another control handing its text to the pending row must not wipe
    // what the user typed here and has not handed over yet.
    if (event == TDataEvent::RecordChanged && FModified && Editing())
        return;
    Refresh();
}

void TFieldLink::UpdateData()
{
    if (!FModified)
        return;
    int field;
    if (TLinkedDataSet *set = DataSet(field)) {
        FModified = false;
        set->SetFieldText(field, Text());
    }
}

QString TFieldLink::Text() const
{
    QString text = FControl.Text();
    text.append(QStringView(FValue).mid(FShown));
    return text;
}

void TFieldLink::Refresh()
{
    FModified = false;
    int field;
    TLinkedDataSet *set = DataSet(field);
    FValue = set ? set->FieldText(field) : QString();
    FShown = DisplayHeadLength(FValue);
    // A value longer than the field's width (stored by another program) is
    // shown whole, not cut to the width.
    const int width = set ? set->FieldWidth(field) : 0;
    if (FControl.SetMaxLength)
        FControl.SetMaxLength(width > 0 ? int(std::max<qsizetype>(width, FShown)) : 0);
    FControl.SetText(FValue.left(FShown));
    FControl.SetReadOnly(!(set && set->RowPending()));
}
