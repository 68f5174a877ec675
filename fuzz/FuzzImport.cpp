#include "fuzz/FuzzImport.h"

#include "fuzz/FuzzSupport.h"

#include "platform/core/Exception.h"
#include "contacts/ContactRecord.h"
#include "contacts/TextInput.h"

#include <QStringDecoder>

void ReadContactsFile(const std::uint8_t *data, std::size_t size, const std::function<bool(TTextInput &, TContactRecord &)> &next)
{
    const QString path = FuzzFolder() + QStringLiteral("/contacts");
    WriteFileBytes(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    try {
        TTextInput input(path);
        TContactRecord record;
        while (next(input, record)) {
            for (const QByteArray &value : record.Values) {
                FUZZ_CHECK(!value.contains('\0'), QStringLiteral("a value holds a NUL: ") + QString::fromLatin1(value.toHex()));
                QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
                (void)utf8.decode(value);
                FUZZ_CHECK(!utf8.hasError(), QStringLiteral("a value is not UTF-8: ") + QString::fromLatin1(value.toHex()));
            }
        }
    } catch (const Exception &) {
        // a file the tool refuses, with its reason
    }
}
