#pragma once

#include <QString>

class TADOConnection;
class TADOQuery;

// Points the connection at a database file by its absolute path.
void UseDatabaseFile(TADOConnection &connection, const QString &path);

// Opens the record set and reads every field of every row as the grid and
// the exports would; returns the number of rows. Raises what Open raises.
int ReadEveryField(TADOQuery &query);
