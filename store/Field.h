#pragma once

#include "store/FieldTypes.h"

#include <QString>

class TADOQuery;

// One field of the record set: a column of the result. Its value is that of
// the current row (the pending row while editing or inserting).
class TField {
public:
    TField(TADOQuery *dataSet, int index, QString name, TFieldType type, int size);

    TADOQuery *DataSet() const { return FDataSet; }
    int Index() const { return FIndex; }
    QString FieldName() const { return FName; }
    // No labels are set: both are the field's name unless SetDisplayLabel.
    QString DisplayLabel() const { return FDisplayLabel.isEmpty() ? FName : FDisplayLabel; }
    QString DisplayName() const { return DisplayLabel(); }
    void SetDisplayLabel(const QString &label) { FDisplayLabel = label; }
    TFieldType DataType() const { return FType; }
    // Declared width of a text column (VARCHAR(50) gives 50); 0 when none.
    int Size() const { return FSize; }

    bool IsNull() const;
    // The value as text: the text of a text field; numbers in plain decimal
    // form; Booleans "True"/"False"; empty for a null value.
    QString AsString() const;
    // Sets the value of the pending row; the field counts as changed.
    // Outside rsEdit/rsInsert: "Dataset not in edit or insert mode".
    void SetAsString(const QString &value);
    // Sets the pending value to null; the field counts as changed.
    void Clear();
    // Date and time types: days since 30 December 1899, the time of day as
    // the fraction; 0 when the field has no value.
    double AsDateTime() const;

private:
    TADOQuery *FDataSet;
    int FIndex;
    QString FName;
    QString FDisplayLabel;
    TFieldType FType;
    int FSize;
};
