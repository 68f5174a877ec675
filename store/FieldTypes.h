#pragma once

// Data types of record-set fields, taken from the declared column types.
enum TFieldType {
    ftUnknown,
    ftString, // text, varchar, char, nvarchar ...
    ftMemo,   // memo, longtext, text without a width used for long text
    ftInteger,
    ftFloat,   // real, double, float, numeric
    ftBoolean, // boolean, bit, yesno
    ftDate,
    ftTime,
    ftDateTime, // datetime, timestamp
    ftBlob
};

// States of the record set.
enum TDataSetState { rsClosed, rsBrowse, rsEdit, rsInsert };
