// Any field text through the XML export's writer: the file must parse with
// libxml2, and the value read back must be the text as the export promises
// to keep it: cut to its first 255 characters, without what XML cannot
// hold (NUL and the other C0 controls but tab, line feed and carriage
// return; lone surrogates; U+FFFE, U+FFFF). Tab, line feed and carriage
// return stand in the file as they are, so a reader's attribute
// normalisation reads each line end and tab as one blank.
//
// Input: the first byte chooses how the rest is read, as UTF-8 or as
// UTF-16 code units (which reach lone surrogates).
#include "fuzz/FuzzSupport.h"

#include "export/XmlExport.h"
#include "export/XmlFile.h"
#include "platform/core/Exception.h"
#include "store/Field.h"

#include <QList>
#include <libxml/parser.h>
#include <libxml/tree.h>

namespace {

QString FieldText(const std::uint8_t *data, std::size_t size)
{
    const auto *rest = reinterpret_cast<const char *>(data + 1);
    if (data[0] % 2 == 0)
        return QString::fromUtf8(rest, qsizetype(size - 1));
    return QString(reinterpret_cast<const QChar *>(QByteArray(rest, qsizetype(size - 1)).constData()), qsizetype((size - 1) / 2));
}

QString AsRead(const QString &cut)
{
    QString kept;
    for (qsizetype i = 0; i < cut.size(); ++i) {
        const char16_t c = cut.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < cut.size() && cut.at(i + 1).isLowSurrogate()) {
            kept += cut.mid(i++, 2);
            continue;
        }
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || QChar::isSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            continue;
        kept += QChar(c);
    }
    kept.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : kept)
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QString text = FieldText(data, size);
    const QString cut = CutXmlValue(text);
    FUZZ_CHECK(text.startsWith(cut) && cut.toUcs4().size() == std::min<qsizetype>(text.toUcs4().size(), XmlValueMaxLength),
               QStringLiteral("the cut is not the first 255 characters"));

    const QString path = FuzzFolder() + QStringLiteral("/VelmoraTelReh.xml");
    const TField field(nullptr, 0, QStringLiteral("Ad"), ftString, 50);
    {
        TXmlFile file(path);
        WriteXmlHeader(file);
        WriteRowStart(file);
        WriteFieldAttribute(file, &field, cut);
        WriteRowEnd(file);
        WriteXmlFooter(file);
        file.Commit();
    }

    const QByteArray bytes = FileBytes(path);
    xmlDocPtr doc =
        xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    FUZZ_CHECK(doc != nullptr, QStringLiteral("libxml2 cannot parse the file: ") + QString::fromLatin1(bytes.toHex()));
    const xmlNode *root = xmlDocGetRootElement(doc);
    const xmlNode *row = root ? xmlFirstElementChild(const_cast<xmlNode *>(root)) : nullptr;
    FUZZ_CHECK(row && QString::fromUtf8(reinterpret_cast<const char *>(row->name)) == QStringLiteral("Kişi"),
               QStringLiteral("no record element"));
    xmlChar *value = xmlGetProp(row, BAD_CAST "Ad");
    const bool present = value != nullptr;
    const QByteArray read(value ? reinterpret_cast<const char *>(value) : ""); // bytes: fromUtf8 would drop a leading U+FEFF
    xmlFree(value);
    xmlFreeDoc(doc);
    FUZZ_CHECK(present == !cut.isEmpty(), QStringLiteral("the attribute is where no value is, or missing"));
    const QByteArray expected = AsRead(cut).toUtf8();
    FUZZ_CHECK(read == expected,
               QStringLiteral("read back: %1\n  expected:  %2")
                   .arg(QString::fromLatin1(read.toHex(' ')), QString::fromLatin1(expected.toHex(' '))));
    return 0;
}
