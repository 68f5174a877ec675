#include "contacts/ContactsDatabase.h"

#include "store/ADOConnection.h"
#include "store/SqliteProvider.h"
#include "contacts/ContactWriter.h"
#include "contacts/ContactsServer.h"
#include "contacts/SampleContacts.h"

#include <QFileInfo>
#include <iterator>

void CreateContactsDatabase(const QString &fileOrServer)
{
    if (IsServerName(fileOrServer))
        CreateContactsServer(fileOrServer);
    else
        CreateContactsFile(fileOrServer);
}

void OpenContactsDatabase(TADOConnection &connection, const QString &path)
{
    auto keys = TADOConnection::DefaultConnectionKeys();
    for (auto &[key, value] : keys)
        if (key == QLatin1String("Data Source"))
            value = u'"' + path + u'"';
    connection.SetConnectionString(TADOConnection::ComposeConnectionString(keys));
    connection.Open();
}

void AddSampleContacts(TProvider &engine, int n)
{
    TContactWriter writer(engine, ReadContactsShape(engine));
    TSampleContacts samples;
    for (int k = 0; k < n; ++k) {
        const TSampleContact c = samples.Next();
        const std::optional<QByteArray> *values[] = {&c.Ad, &c.Soyad, &c.CTelefon, &c.ETelefon, &c.ITelefon, &c.Email, &c.Adres};
        QByteArray row[std::size(values)];
        for (std::size_t i = 0; i < std::size(values); ++i)
            if (*values[i])
                row[i] = (*values[i])->isNull() ? QByteArray("") : **values[i];
        writer.Add(row);
    }
    writer.Commit();
}

void AddSampleContacts(const QString &fileOrServer, int n)
{
    if (IsServerName(fileOrServer)) {
        AddSampleContactsToServer(fileOrServer, n);
    } else {
        TSqliteProvider file(QFileInfo(fileOrServer).absoluteFilePath());
        AddSampleContacts(file, n);
    }
}
