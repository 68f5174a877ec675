#pragma once

#include "store/CellValue.h"
#include "store/FieldTypes.h"
#include "store/StatementText.h"

#include <QString>
#include <vector>

class TStatement;

// One column of a statement's result.
struct TResultColumn {
    QString Name; // as the engine names it in the result
    TFieldType Type = ftUnknown;
    int Size = 0;                // declared width of a text column; 0 when none
    QString Origin;              // the table column it comes from; empty for an expression
    bool TypeFromValues = false; // no declared type: the first value decides
};

// Where the rows of a result can be written back.
struct TResultTable {
    bool Updatable = false; // all columns are distinct real columns of one table
    TWriteTarget Target;
    std::vector<int> KeyColumns; // result columns forming the table's primary key; empty when none
};

// The data type of a declared column type; *size gets the width in
// parentheses ("VARCHAR(50)" gives 50), 0 when none.
TFieldType FieldTypeFromDeclared(const QString &declared, int *size);
// The type of an undeclared column from the storage class of a value.
TFieldType FieldTypeFromValue(TCellKind kind);
// The width "CHECK (length(column) <= N)" in a table's CREATE text gives; 0 when none.
int CheckedLength(const QString &createSql, const QString &column);

// Describes a prepared statement's result columns and where its rows can be
// written. Reads the table's schema on the statement's connection.
std::vector<TResultColumn> DescribeColumns(const TStatement &stmt, TResultTable *table);
