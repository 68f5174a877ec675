#include "sync/DavXml.h"

#include "sync/EntityTag.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <functional>
#include <utility>

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");
// No DAV reply nests its elements half as deep; each level costs the XML
// reader room, so a deeper reply is refused rather than followed down.
constexpr std::size_t kMostDepth = 64;
// The longest text an element may hold, in characters: a card beyond it is
// left out, any other text beyond it ends the reading.
constexpr qsizetype kMostText = 4 << 20;
// The most bytes of one run of text handed to the XML reader, which holds a
// text node whole until it ends: the rest of a longer run is passed over.
constexpr qsizetype kMostRun = 2 * kMostText;

// Where a run of text may be cut: not inside a character of UTF-8 nor
// inside an entity reference.
qsizetype SafeCut(const QByteArray &bytes, qsizetype at)
{
    while (at > 0 && (static_cast<unsigned char>(bytes.at(at)) & 0xC0) == 0x80)
        --at;
    const qsizetype amp = bytes.lastIndexOf('&', at - 1);
    const qsizetype semicolon = amp < 0 ? -1 : bytes.indexOf(';', amp);
    return amp >= 0 && at - amp <= 12 && (semicolon < 0 || semicolon >= at) ? amp : at;
}

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

// What an element of a multistatus is, by where it stands.
enum class TTag {
    Other,
    Multistatus,
    ListToken, // the listing's own sync-token
    Response,
    Href,
    Status,
    Propstat,
    PropstatStatus,
    Prop,
    ETag,
    AddressData,
    SyncToken,
    DisplayName,
    Principal, // and everything inside it
    PrincipalHref,
    HomeSet, // and everything inside it
    HomeSetHref,
    ResourceType,
    ReportSet, // and everything inside it
    AddressDataSet
};

// The properties read, by namespace (DAV: or CardDAV) and name.
struct TPropName {
    bool Dav;
    const char *Name;
    TTag Tag;
};
constexpr TPropName kProps[] = {{true, "getetag", TTag::ETag},
                                {false, "address-data", TTag::AddressData},
                                {true, "sync-token", TTag::SyncToken},
                                {true, "displayname", TTag::DisplayName},
                                {true, "current-user-principal", TTag::Principal},
                                {false, "addressbook-home-set", TTag::HomeSet},
                                {true, "resourcetype", TTag::ResourceType},
                                {true, "supported-report-set", TTag::ReportSet},
                                {false, "supported-address-data", TTag::AddressDataSet}};

bool Collected(TTag tag)
{
    switch (tag) {
    case TTag::ListToken:
    case TTag::Href:
    case TTag::Status:
    case TTag::PropstatStatus:
    case TTag::ETag:
    case TTag::AddressData:
    case TTag::SyncToken:
    case TTag::DisplayName:
    case TTag::PrincipalHref:
    case TTag::HomeSetHref: return true;
    default: return false;
    }
}

} // namespace

struct TMultistatusReader::TState {
    QXmlStreamReader Xml;
    std::function<bool(TDavResponse &)> Each;
    std::vector<TTag> Open; // the elements open, outermost first
    TDavResponse Response;  // the response being read
    TDavResponse Props;     // the propstat being read
    int PropsStatus = 0;
    bool V3 = false, V4 = false;
    QString Text; // the text of the element being collected, its children's too
    std::size_t CollectDepth = 0;
    bool TextTooLong = false; // the element collected went beyond kMostText
    qsizetype RunBytes = 0;   // bytes of text since the last "<"
    bool Skipping = false;    // a run too long: passed over up to its next "<"
    bool Cut = false;         // the text the reader has now was cut short
    QByteArray SyncToken;
    QString Problem;
    bool Root = false, Closed = false, Failed = false;

    TTag Classify(TTag parent) const;
    void Start();
    void Collect();
    void End();
    void Run();
};

TTag TMultistatusReader::TState::Classify(TTag parent) const
{
    const auto dav = [this](const char *name) { return IsDav(Xml, name); };
    const auto card = [this](const char *name) { return IsCard(Xml, name); };
    switch (parent) {
    case TTag::Multistatus: return dav("response") ? TTag::Response : dav("sync-token") ? TTag::ListToken : TTag::Other;
    case TTag::Response: return dav("href") ? TTag::Href : dav("status") ? TTag::Status : dav("propstat") ? TTag::Propstat : TTag::Other;
    case TTag::Propstat: return dav("prop") ? TTag::Prop : dav("status") ? TTag::PropstatStatus : TTag::Other;
    case TTag::Prop:
        for (const TPropName &prop : kProps)
            if (prop.Dav ? dav(prop.Name) : card(prop.Name))
                return prop.Tag;
        return TTag::Other;
    case TTag::Principal: return dav("href") && Props.Principal.isEmpty() ? TTag::PrincipalHref : TTag::Principal;
    case TTag::HomeSet: return dav("href") && Props.HomeSet.isEmpty() ? TTag::HomeSetHref : TTag::HomeSet;
    case TTag::ReportSet: return TTag::ReportSet;
    default: return TTag::Other;
    }
}

void TMultistatusReader::TState::Start()
{
    Cut = false;
    if (Open.size() >= kMostDepth) {
        Problem = QStringLiteral("the reply nests its elements deeper than %1").arg(kMostDepth);
        Failed = true;
        return;
    }
    TTag tag = TTag::Other;
    if (CollectDepth) {
        // Inside a collected element: its text, children and all.
    } else if (Open.empty()) {
        if (!IsDav(Xml, "multistatus")) {
            Problem = QStringLiteral("the reply is %1, not a multistatus").arg(Xml.qualifiedName());
            Failed = true;
            return;
        }
        Root = true;
        tag = TTag::Multistatus;
    } else {
        tag = Classify(Open.back());
    }
    if (tag == TTag::Response)
        Response = TDavResponse();
    else if (tag == TTag::Propstat)
        Props = TDavResponse(), PropsStatus = 0;
    else if (tag == TTag::ReportSet && IsDav(Xml, "sync-collection"))
        Props.SyncCollection = true;
    else if (tag == TTag::AddressDataSet)
        V3 = V4 = false;
    else if (!Open.empty() && Open.back() == TTag::ResourceType && IsCard(Xml, "addressbook"))
        Props.AddressBook = true;
    else if (!Open.empty() && Open.back() == TTag::AddressDataSet && IsCard(Xml, "address-data-type")) {
        const QStringView version = Xml.attributes().value(QStringLiteral("version"));
        V3 = V3 || version.isEmpty() || version == u"3.0";
        V4 = V4 || version == u"4.0";
    }
    Open.push_back(tag);
    if (Collected(tag)) {
        CollectDepth = Open.size();
        Text.resize(0);
        TextTooLong = false;
    }
}

void TMultistatusReader::TState::Collect()
{
    const bool cut = std::exchange(Cut, false);
    if (!CollectDepth || TextTooLong)
        return;
    if (!cut && Text.size() + Xml.text().size() <= kMostText) {
        Text += Xml.text();
        return;
    }
    TextTooLong = true;
    Text = QString();
    if (Open[CollectDepth - 1] == TTag::AddressData)
        return; // the card is left out, the reading goes on
    Problem = QStringLiteral("an element's text is longer than %1 characters").arg(kMostText);
    Failed = true;
}

void TMultistatusReader::TState::End()
{
    const TTag tag = Open.back();
    Open.pop_back();
    if (CollectDepth && Open.size() >= CollectDepth)
        return;
    CollectDepth = 0;
    switch (tag) {
    case TTag::ListToken: SyncToken = Text.trimmed().toUtf8(); break;
    case TTag::Href: Response.Href = Text.trimmed(); break;
    case TTag::Status: Response.Status = StatusCode(Text); break;
    case TTag::PropstatStatus: PropsStatus = StatusCode(Text); break;
    case TTag::ETag:
        Props.ETag = Text.trimmed().toUtf8();
        if (!IsEntityTag(Props.ETag))
            Props.ETag.clear(); // never sent back, never stored
        Props.ETag.squeeze();
        break;
    case TTag::AddressData:
        // Kept until the sync ends: no room beyond the card.
        Props.CardTooLarge = TextTooLong;
        Props.AddressData = TextTooLong ? QByteArray() : Text.toUtf8();
        Props.AddressData.squeeze();
        break;
    case TTag::SyncToken: Props.SyncToken = Text.trimmed().toUtf8(); break;
    case TTag::DisplayName: Props.DisplayName = Text.trimmed(); break;
    case TTag::PrincipalHref: Props.Principal = Text.trimmed(); break;
    case TTag::HomeSetHref: Props.HomeSet = Text.trimmed(); break;
    case TTag::AddressDataSet: Props.Only40 = V4 && !V3; break;
    case TTag::Propstat:
        if (PropsStatus >= 200 && PropsStatus < 300) {
            Props.Href = Response.Href;
            Props.Status = Response.Status;
            Response = std::move(Props);
            Response.PropsOk = true;
        }
        Props = TDavResponse();
        break;
    case TTag::Response:
        if (!Each(Response))
            Failed = true;
        Response = TDavResponse();
        break;
    case TTag::Multistatus: Closed = true; break;
    default: break;
    }
    if (Text.capacity() > 4096)
        Text = QString(); // a large card's room goes with it
}

void TMultistatusReader::TState::Run()
{
    while (!Failed) {
        switch (Xml.readNext()) {
        case QXmlStreamReader::StartElement: Start(); break;
        case QXmlStreamReader::EndElement:
            if (!Open.empty())
                End();
            break;
        case QXmlStreamReader::Characters: Collect(); break;
        case QXmlStreamReader::Invalid:
            if (Xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                return; // waits for more
            Problem = Xml.errorString();
            Failed = true;
            break;
        case QXmlStreamReader::EndDocument: return;
        default: break;
        }
    }
}

namespace {

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

TMultistatusReader::TMultistatusReader(std::function<bool(TDavResponse &)> each) : F(std::make_unique<TState>())
{
    F->Each = std::move(each);
}

TMultistatusReader::~TMultistatusReader() = default;

bool TMultistatusReader::Feed(const QByteArray &bytes)
{
    // In slices: the reader decodes what it is given at once. A run of
    // text beyond kMostRun bytes is cut, and the reader told so.
    constexpr qsizetype kSlice = 16 * 1024;
    for (qsizetype at = 0; at < bytes.size() && !F->Failed;) {
        qsizetype end = std::min(bytes.size(), at + kSlice);
        if (F->Skipping) {
            const qsizetype lt = bytes.indexOf('<', at);
            if (lt < 0 || lt >= end) {
                at = end;
                continue;
            }
            F->Skipping = false;
            F->RunBytes = 0;
            at = lt;
            end = std::min(bytes.size(), at + kSlice);
        }
        const qsizetype lt = bytes.lastIndexOf('<', end - 1);
        const qsizetype run = lt >= at ? end - lt - 1 : F->RunBytes + (end - at);
        if (run > kMostRun) {
            end = SafeCut(bytes, end - (run - kMostRun));
            F->Skipping = F->Cut = true;
        } else {
            F->RunBytes = run;
        }
        if (end > at) {
            F->Xml.addData(at == 0 && end == bytes.size() ? bytes : bytes.mid(at, end - at));
            F->Run();
        }
        at = std::max(end, at + 1);
    }
    return !F->Failed;
}

bool TMultistatusReader::End()
{
    if (F->Failed)
        return false;
    if (!F->Root)
        F->Problem = QStringLiteral("empty reply");
    else if (!F->Closed)
        F->Problem = F->Xml.hasError() ? F->Xml.errorString() : QStringLiteral("the reply ends early");
    F->Failed = !F->Closed;
    return F->Closed;
}

const QString &TMultistatusReader::Problem() const
{
    return F->Problem;
}

const QByteArray &TMultistatusReader::SyncToken() const
{
    return F->SyncToken;
}

bool ReadMultistatus(const QByteArray &bytes, TMultistatus &out, QString *problem)
{
    out = TMultistatus();
    TMultistatusReader reader([&out](TDavResponse &r) {
        out.Responses.push_back(std::move(r));
        return true;
    });
    if (!reader.Feed(bytes) || !reader.End()) {
        *problem = reader.Problem();
        return false;
    }
    out.SyncToken = reader.SyncToken();
    return true;
}

bool NamesInvalidSyncToken(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    std::size_t depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement())
            --depth;
        if (!xml.isStartElement())
            continue;
        if (IsDav(xml, "valid-sync-token"))
            return true;
        if (++depth > kMostDepth)
            return false;
    }
    return false;
}

namespace DavBody {

QByteArray DiscoveryProps()
{
    return Written([](QXmlStreamWriter &xml) {
        xml.writeStartElement(kDav, QStringLiteral("propfind"));
        xml.writeStartElement(kDav, QStringLiteral("prop"));
        for (const char *name : {"resourcetype", "displayname", "current-user-principal", "supported-report-set"})
            xml.writeEmptyElement(kDav, QLatin1String(name));
        xml.writeEmptyElement(kCardDav, QStringLiteral("addressbook-home-set"));
        xml.writeEmptyElement(kCardDav, QStringLiteral("supported-address-data"));
        xml.writeEndElement();
        xml.writeEndElement();
    });
}

QByteArray SyncToken()
{
    return Written([](QXmlStreamWriter &xml) {
        xml.writeStartElement(kDav, QStringLiteral("propfind"));
        xml.writeStartElement(kDav, QStringLiteral("prop"));
        xml.writeEmptyElement(kDav, QStringLiteral("sync-token"));
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

QByteArray SyncCollection(const QByteArray &token, bool cards)
{
    return Written([&](QXmlStreamWriter &xml) {
        xml.writeStartElement(kDav, QStringLiteral("sync-collection"));
        xml.writeTextElement(kDav, QStringLiteral("sync-token"), QString::fromUtf8(token));
        xml.writeTextElement(kDav, QStringLiteral("sync-level"), QStringLiteral("1"));
        xml.writeStartElement(kDav, QStringLiteral("prop"));
        xml.writeEmptyElement(kDav, QStringLiteral("getetag"));
        if (cards)
            xml.writeEmptyElement(kCardDav, QStringLiteral("address-data"));
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
