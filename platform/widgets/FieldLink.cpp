#include "platform/widgets/FieldLink.h"

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
        set->SetFieldText(field, FControl.Text());
    }
}

void TFieldLink::Refresh()
{
    FModified = false;
    int field;
    TLinkedDataSet *set = DataSet(field);
    if (FControl.SetMaxLength)
        FControl.SetMaxLength(set ? set->FieldWidth(field) : 0);
    FControl.SetText(set ? set->FieldText(field) : QString());
    FControl.SetReadOnly(!(set && set->RowPending()));
}
