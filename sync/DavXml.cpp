#include "sync/DavXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <functional>

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

bool IsDav(const QXmlStreamReader &xml, const char *name)
{
    return xml.namespaceUri() == kDav && xml.name() == QLatin1String(name);
}

bool IsCard(const QXmlStreamReader &xml, const char *name)
{
    return xml.namespaceUri() == kCardDav && xml.name() == QLatin1String(name);
}

int StatusCode(const QString &line)
{
    // "HTTP/1.1 200 OK"
    const QStringList parts = line.trimmed().split(u' ', Qt::SkipEmptyParts);
    return parts.size() >= 2 ? parts.at(1).toInt() : 0;
}

// The text of the href inside the element being read (one level down).
QString InnerHref(QXmlStreamReader &xml)
{
    QString href;
    const int depth = 1;
    int level = depth;
    while (level > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (IsDav(xml, "href") && href.isEmpty())
                href = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            else
                ++level;
        } else if (xml.isEndElement()) {
            --level;
        }
    }
    return href;
}

void ReadProp(QXmlStreamReader &xml, TDavResponse &r)
{
    // Inside DAV:prop.
    while (xml.readNextStartElement()) {
        if (IsDav(xml, "getetag")) {
            r.ETag = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toUtf8();
            r.ETag.squeeze();
        } else if (IsCard(xml, "address-data")) {
            // Kept until the sync ends: no room beyond the card.
            r.AddressData = xml.readElementText(QXmlStreamReader::IncludeChildElements).toUtf8();
            r.AddressData.squeeze();
        } else if (IsDav(xml, "sync-token")) {
            r.SyncToken = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toUtf8();
        } else if (IsDav(xml, "displayname")) {
            r.DisplayName = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (IsDav(xml, "current-user-principal")) {
            r.Principal = InnerHref(xml);
        } else if (IsCard(xml, "addressbook-home-set")) {
            r.HomeSet = InnerHref(xml);
        } else if (IsDav(xml, "resourcetype")) {
            while (xml.readNextStartElement()) {
                if (IsCard(xml, "addressbook"))
                    r.AddressBook = true;
                xml.skipCurrentElement();
            }
        } else if (IsDav(xml, "supported-report-set")) {
            int level = 1;
            while (level > 0 && !xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement()) {
                    ++level;
                    if (IsDav(xml, "sync-collection"))
                        r.SyncCollection = true;
                } else if (xml.isEndElement()) {
                    --level;
                }
            }
        } else if (IsCard(xml, "supported-address-data")) {
            bool v3 = false, v4 = false;
            while (xml.readNextStartElement()) {
                if (IsCard(xml, "address-data-type")) {
                    const QStringView version = xml.attributes().value(QStringLiteral("version"));
                    v3 = v3 || version.isEmpty() || version == u"3.0";
                    v4 = v4 || version == u"4.0";
                }
                xml.skipCurrentElement();
            }
            r.Only40 = v4 && !v3;
        } else {
            xml.skipCurrentElement();
        }
    }
}

void ReadResponse(QXmlStreamReader &xml, TDavResponse &r)
{
    while (xml.readNextStartElement()) {
        if (IsDav(xml, "href")) {
            r.Href = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (IsDav(xml, "status")) {
            r.Status = StatusCode(xml.readElementText(QXmlStreamReader::IncludeChildElements));
        } else if (IsDav(xml, "propstat")) {
            TDavResponse props;
            int status = 0;
            while (xml.readNextStartElement()) {
                if (IsDav(xml, "prop"))
                    ReadProp(xml, props);
                else if (IsDav(xml, "status"))
                    status = StatusCode(xml.readElementText(QXmlStreamReader::IncludeChildElements));
                else
                    xml.skipCurrentElement();
            }
            if (status >= 200 && status < 300) {
                props.Href = r.Href;
                props.Status = r.Status;
                r = props;
                r.PropsOk = true;
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

QByteArray Written(const std::function<void(QXmlStreamWriter &)> &body)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kDav, QStringLiteral("d"));
    xml.writeNamespace(kCardDav, QStringLiteral("card"));
    body(xml);
    xml.writeEndDocument();
    return out;
}

} // namespace

bool ReadMultistatus(const QByteArray &bytes, TMultistatus &out, QString *problem)
{
    out = TMultistatus();
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement()) {
        *problem = xml.hasError() ? xml.errorString() : QStringLiteral("empty reply");
        return false;
    }
    if (!IsDav(xml, "multistatus")) {
        *problem = QStringLiteral("the reply is %1, not a multistatus").arg(xml.qualifiedName());
        return false;
    }
    while (xml.readNextStartElement()) {
        if (IsDav(xml, "response")) {
            TDavResponse r;
            ReadResponse(xml, r);
            out.Responses.push_back(std::move(r));
        } else if (IsDav(xml, "sync-token")) {
            out.SyncToken = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toUtf8();
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError()) {
        *problem = xml.errorString();
        return false;
    }
    return true;
}

bool NamesInvalidSyncToken(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && IsDav(xml, "valid-sync-token"))
            return true;
    }
    return false;
}

namespace DavBody {

QByteArray DiscoveryProps()
{
    return Written([](QXmlStreamWriter &xml) {
        xml.writeStartElement(kDav, QStringLiteral("propfind"));
        xml.writeStartElement(kDav, QStringLiteral("prop"));
        for (const char *name : {"resourcetype", "displayname", "current-user-principal", "supported-report-set", "sync-token"})
            xml.writeEmptyElement(kDav, QLatin1String(name));
        xml.writeEmptyElement(kCardDav, QStringLiteral("addressbook-home-set"));
        xml.writeEmptyElement(kCardDav, QStringLiteral("supported-address-data"));
        xml.writeEndElement();
        xml.writeEndElement();
    });
}

QByteArray ETags()
{
    return Written([](QXmlStreamWriter &xml) {
        xml.writeStartElement(kDav, QStringLiteral("propfind"));
        xml.writeStartElement(kDav, QStringLiteral("prop"));
        xml.writeEmptyElement(kDav, QStringLiteral("getetag"));
        xml.writeEmptyElement(kDav, QStringLiteral("resourcetype"));
        xml.writeEndElement();
        xml.writeEndElement();
    });
}

QByteArray SyncCollection(const QByteArray &token)
{
    return Written([&](QXmlStreamWriter &xml) {
        xml.writeStartElement(kDav, QStringLiteral("sync-collection"));
        xml.writeTextElement(kDav, QStringLiteral("sync-token"), QString::fromUtf8(token));
        xml.writeTextElement(kDav, QStringLiteral("sync-level"), QStringLiteral("1"));
        xml.writeStartElement(kDav, QStringLiteral("prop"));
        xml.writeEmptyElement(kDav, QStringLiteral("getetag"));
        xml.writeEndElement();
        xml.writeEndElement();
    });
}

QByteArray Multiget(const std::vector<QByteArray> &hrefs)
{
    return Written([&](QXmlStreamWriter &xml) {
        xml.writeStartElement(kCardDav, QStringLiteral("addressbook-multiget"));
        xml.writeStartElement(kDav, QStringLiteral("prop"));
        xml.writeEmptyElement(kDav, QStringLiteral("getetag"));
        xml.writeEmptyElement(kCardDav, QStringLiteral("address-data"));
        xml.writeEndElement();
        for (const QByteArray &href : hrefs)
            xml.writeTextElement(kDav, QStringLiteral("href"), QString::fromUtf8(href));
        xml.writeEndElement();
    });
}

} // namespace DavBody
