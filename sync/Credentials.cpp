#include "sync/Credentials.h"

#include "sync/NetRc.h"

#include <libsecret/secret.h>
#include <memory>

namespace {

// The items the program keeps in the keyring: one per user and server.
const SecretSchema *CardDavSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.velmora.Rehber.CardDAV";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

struct TGErrorFree {
    void operator()(GError *e) const { g_error_free(e); }
};
using TGError = std::unique_ptr<GError, TGErrorFree>;

struct TUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};

// The Secret Service on the session bus with a session open, or nothing
// when none answers. The bus connection GLib shares is told not to end the
// program when the bus goes away: the window lives on without a keyring.
std::unique_ptr<SecretService, TUnref> OpenService()
{
    GError *error = nullptr;
    if (GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error)) {
        g_dbus_connection_set_exit_on_close(bus, FALSE);
        g_object_unref(bus);
    } else {
        g_error_free(error);
        return nullptr;
    }
    SecretService *service = secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (!service)
        g_error_free(error);
    return std::unique_ptr<SecretService, TUnref>(service);
}

struct THashTableUnref {
    void operator()(GHashTable *t) const { g_hash_table_unref(t); }
};

std::unique_ptr<GHashTable, THashTableUnref> Attributes(const QByteArray &user, const QByteArray &server)
{
    return std::unique_ptr<GHashTable, THashTableUnref>(
        secret_attributes_build(CardDavSchema(), "user", user.constData(), "server", server.constData(), nullptr));
}

std::optional<QString> KeyringPassword(SecretService *service, const TSyncAccount &account)
{
    const auto attributes = Attributes(account.User.toUtf8(), account.Host().toUtf8());
    GError *error = nullptr;
    SecretValue *value = secret_service_lookup_sync(service, CardDavSchema(), attributes.get(), nullptr, &error);
    if (!value) {
        if (error)
            g_error_free(error); // a locked keyring the user did not open: nothing found
        return std::nullopt;
    }
    const gchar *text = secret_value_get_text(value);
    std::optional<QString> password;
    if (text)
        password = QString::fromUtf8(text);
    secret_value_unref(value);
    return password;
}

} // namespace

bool KeyringAvailable()
{
    return OpenService() != nullptr;
}

std::optional<QString> LookupPassword(const TSyncAccount &account, TPasswordPlace *foundIn)
{
    if (foundIn)
        *foundIn = TPasswordPlace::None;
    if (const auto service = OpenService()) {
        if (std::optional<QString> password = KeyringPassword(service.get(), account)) {
            if (foundIn)
                *foundIn = TPasswordPlace::Keyring;
            return password;
        }
    }
    std::optional<QString> password = ReadNetRcPassword(NetRcPath(), account.Host(), account.User);
    if (password && foundIn)
        *foundIn = TPasswordPlace::NetRc;
    return password;
}

TPasswordPlace StorePassword(const TSyncAccount &account, const QString &password, bool allowNetRc)
{
    if (const auto service = OpenService()) {
        const QByteArray user = account.User.toUtf8(), server = account.Host().toUtf8();
        const auto attributes = Attributes(user, server);
        const QByteArray label = QStringLiteral("Velmora Telefon Rehberi: %1@%2").arg(account.User, account.Host()).toUtf8();
        const QByteArray secret = password.toUtf8();
        SecretValue *value = secret_value_new(secret.constData(), secret.size(), "text/plain");
        GError *error = nullptr;
        const gboolean stored = secret_service_store_sync(service.get(), CardDavSchema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                                          label.constData(), value, nullptr, &error);
        secret_value_unref(value);
        if (!stored) {
            const TGError owned(error);
            throw EKeyringError(error ? QString::fromUtf8(error->message) : QString());
        }
        return TPasswordPlace::Keyring;
    }
    if (!allowNetRc)
        return TPasswordPlace::None;
    StoreNetRcPassword(account, password);
    return TPasswordPlace::NetRc;
}

void StoreNetRcPassword(const TSyncAccount &account, const QString &password)
{
    WriteNetRcPassword(NetRcPath(), account.Host(), account.User, password);
}
