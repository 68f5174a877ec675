#include "store/Field.h"

#include "store/ADOQuery.h"

TField::TField(TADOQuery *dataSet, int index, QString name, TFieldType type, int size)
    : FDataSet(dataSet), FIndex(index), FName(std::move(name)), FType(type), FSize(size)
{
}

bool TField::IsNull() const
{
    return FDataSet->FieldIsNull(FIndex);
}

QString TField::AsString() const
{
    return FDataSet->FieldText(FIndex);
}

void TField::SetAsString(const QString &value)
{
    FDataSet->SetFieldText(FIndex, value);
}

void TField::Clear()
{
    FDataSet->SetFieldText(FIndex, std::nullopt);
}

double TField::AsDateTime() const
{
    return FDataSet->FieldDateTime(FIndex);
}
