#include "platform/core/Credentials.h"

#include "platform/core/NetRc.h"

#include <libsecret/secret.h>
#include <memory>

namespace {

// The items the program keeps in the keyring: one per service, user and server.
const SecretSchema *Schema(TPasswordService service)
{
    const auto make = [](const char *name) {
        SecretSchema s{};
        s.name = name;
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    };
    static const SecretSchema cardDav = make("org.velmora.Rehber.CardDAV");
    static const SecretSchema sip = make("org.velmora.Rehber.SIP");
    return service == TPasswordService::Sip ? &sip : &cardDav;
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

std::unique_ptr<GHashTable, THashTableUnref> Attributes(const TCredential &credential)
{
    const QByteArray user = credential.User.toUtf8(), server = credential.Host.toUtf8();
    return std::unique_ptr<GHashTable, THashTableUnref>(
        secret_attributes_build(Schema(credential.Service), "user", user.constData(), "server", server.constData(), nullptr));
}

std::optional<QString> KeyringPassword(SecretService *service, const TCredential &credential)
{
    const auto attributes = Attributes(credential);
    GError *error = nullptr;
    SecretValue *value = secret_service_lookup_sync(service, Schema(credential.Service), attributes.get(), nullptr, &error);
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

std::optional<QString> LookupPassword(const TCredential &credential, TPasswordPlace *foundIn)
{
    if (foundIn)
        *foundIn = TPasswordPlace::None;
    if (const auto service = OpenService()) {
        if (std::optional<QString> password = KeyringPassword(service.get(), credential)) {
            if (foundIn)
                *foundIn = TPasswordPlace::Keyring;
            return password;
        }
    }
    std::optional<QString> password = ReadNetRcPassword(NetRcPath(), credential.Host, credential.User);
    if (password && foundIn)
        *foundIn = TPasswordPlace::NetRc;
    return password;
}

TPasswordPlace StorePassword(const TCredential &credential, const QString &password, bool allowNetRc)
{
    if (const auto service = OpenService()) {
        const auto attributes = Attributes(credential);
        const QByteArray label = QStringLiteral("Velmora Telefon Rehberi: %1@%2").arg(credential.User, credential.Host).toUtf8();
        const QByteArray secret = password.toUtf8();
        SecretValue *value = secret_value_new(secret.constData(), secret.size(), "text/plain");
        GError *error = nullptr;
        const gboolean stored = secret_service_store_sync(service.get(), Schema(credential.Service), attributes.get(),
                                                          SECRET_COLLECTION_DEFAULT, label.constData(), value, nullptr, &error);
        secret_value_unref(value);
        if (!stored) {
            const TGError owned(error);
            throw EKeyringError(error ? QString::fromUtf8(error->message) : QString());
        }
        return TPasswordPlace::Keyring;
    }
    if (!allowNetRc)
        return TPasswordPlace::None;
    StoreNetRcPassword(credential, password);
    return TPasswordPlace::NetRc;
}

void StoreNetRcPassword(const TCredential &credential, const QString &password)
{
    WriteNetRcPassword(NetRcPath(), credential.Host, credential.User, password);
}
