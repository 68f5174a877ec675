#pragma once

#include "contacts/jet/JetCopy.h"

// CopyJetDatabase, run in a child process of its own.
//
// libmdb trusts the file it reads: a damaged file can make it crash, abort,
// run on without end or print warnings and carry on with what it could
// read. So the copy runs apart, and only a copy that ended by itself,
// reported its counts and printed nothing counts as done. Everything else
// raises EFileError naming the file as damaged (with libmdb's first
// message); a child that stops making progress is stopped. The caller
// throws the database file away after any failure.
TJetCopyCounts CopyJetDatabaseInChild(const QString &jetPath, const QByteArray &jet3Charset, const QString &sqlitePath,
                                      const TJetCopyProgress &progress);
