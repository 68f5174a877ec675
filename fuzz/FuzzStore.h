#pragma once

#include <QString>
#include <QStringList>

// Runs each statement through the program's record set on the database
// file at path (absolute), parameters set in turn from parameterValues,
// and reads every field of every row as the grid and the exports would
// (a value a field cannot give, such as a date that is none, may raise).
// An error of Open is an answer too, but must leave the record set closed.
// The file must be byte for byte as it was before.
void ReadThroughRecordSet(const QString &path, const QStringList &statements, const QStringList &parameterValues);
