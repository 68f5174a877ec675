#include "store/DataSource.h"

#include "store/ADOQuery.h"

#include <algorithm>

TDataSource::~TDataSource()
{
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TADOQuery *dataSet)
{
    if (FDataSet == dataSet)
        return;
    if (FDataSet && FDataSet->DataSource() == this)
        FDataSet->SetDataSource(nullptr);
    FDataSet = dataSet;
    if (FDataSet)
        FDataSet->SetDataSource(this);
    Notify(TDataEvent::DataSetChanged);
}

TLinkedDataSet *TDataSource::LinkedDataSet() const
{
    return FDataSet;
}

void TDataSource::AddLink(TDataLink *link)
{
    if (std::find(FLinks.begin(), FLinks.end(), link) == FLinks.end())
        FLinks.push_back(link);
}

void TDataSource::RemoveLink(TDataLink *link)
{
    FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), link), FLinks.end());
}

void TDataSource::Notify(TDataEvent event)
{
    if (FDataSet && FDataSet->ControlsDisabled())
        return;
    // A control may remove itself (or another) while it is told.
    const std::vector<TDataLink *> links = FLinks;
    for (TDataLink *link : links)
        if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end())
            link->DataEvent(event);
}

void TDataSource::UpdateData()
{
    // Typed text is handed over even while controls are disabled: it must
    // never be lost.
    const std::vector<TDataLink *> links = FLinks;
    for (TDataLink *link : links)
        if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end())
            link->UpdateData();
}
