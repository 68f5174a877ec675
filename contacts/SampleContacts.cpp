#include "contacts/SampleContacts.h"

#include <QString>
#include <iterator>

namespace {

const char *const kFirstNames[] = {
    "Ahmet", "Mehmet", "Mustafa", "Ayşe",   "Fatma",   "Emine",  "Hatice",  "Zeynep", "Elif",   "Çağla",  "Çağrı", "Şule",  "Şahin",
    "Özlem", "Ömer",   "Ümit",    "Ülkü",   "İsmail",  "İpek",   "İbrahim", "Işık",   "Ilgın",  "Gökhan", "Gül",   "Büşra", "Çiğdem",
    "Barış", "Buğra",  "Doğan",   "Tuğba",  "Seda",    "Serkan", "Cem",     "Deniz",  "Can",    "Ece",    "Murat", "Hülya", "Selçuk",
    "Kübra", "Oğuz",   "Yağmur",  "Hakan",  "Sevgi",   "Tolga",  "Nur",     "Emre",   "Özge",   "Şükrü",  "Gönül", "Kâzım", "Aslı",
    "Berk",  "Dilek",  "Eda",     "Furkan", "Irmak",   "Jale",   "Kerem",   "Leyla",  "Melike", "Nihat",  "Onur",  "Pınar", "Rıza",
    "Sinan", "Tarık",  "Uğur",    "Volkan", "Yasemin", "Zafer",  "ahmet",   "ayşe"};

const char *const kSurnames[] = {"Yılmaz", "Kaya",     "Demir", "Şahin", "Çelik", "Yıldız",  "Yıldırım", "Öztürk", "Aydın",   "Özdemir",
                                 "Arslan", "Doğan",    "Kılıç", "Aslan", "Çetin", "Kara",    "Koç",      "Kurt",   "Özkan",   "Şimşek",
                                 "Polat",  "Öz",       "Ünal",  "İnce",  "Güneş", "Erdoğan", "Işık",     "Uçar",   "Bulut",   "Akgül",
                                 "Çakır",  "Gündoğdu", "Taş",   "Aksoy", "Tekin", "Türkmen", "Ağaoğlu",  "Sarı",   "Bozkurt", "Uysal"};

const char *const kMobilePrefixes[] = {"0530", "0532", "0533", "0535", "0536", "0537", "0538", "0539", "0541", "0542", "0543",
                                       "0544", "0545", "0505", "0506", "0507", "0551", "0552", "0553", "0554", "0555", "0559"};

const char *const kAreaCodes[] = {"0212", "0216", "0312", "0232", "0224", "0262", "0222", "0242",
                                  "0322", "0332", "0352", "0462", "0482", "0252", "0286"};

const char *const kNeighbourhoods[] = {"Kızılay", "Göztepe", "Bahçelievler", "Çamlık",   "Yenişehir",  "Gültepe", "Atatürk",  "Cumhuriyet",
                                       "İnönü",   "Fatih",   "Kocatepe",     "Esentepe", "Şirinevler", "Ürgüp",   "Örnektepe"};

const char *const kStreets[] = {"Atatürk Cad.", "ÇAĞLAYAN SK.",    "Gül Sk.",          "İstiklal Cad.", "Şehit Ömer Sk.",
                                "Doğan Sk.",    "Üniversite Cad.", "Lale Sk.",         "Menekşe Sk.",   "Çınar Sk.",
                                "Papatya Sk.",  "Gazi Bulvarı",    "ÖĞRETMENLER CAD.", "Bağdat Cad."};

const char *const kPlaces[] = {"Kadıköy / İSTANBUL", "Üsküdar / İSTANBUL",     "Şişli / İSTANBUL",  "Beşiktaş / İSTANBUL",
                               "Çankaya / ANKARA",   "Keçiören / ANKARA",      "Bornova / İZMİR",   "Ödemiş / İZMİR",
                               "Osmangazi / BURSA",  "Odunpazarı / ESKİŞEHİR", "Bodrum / MUĞLA",    "Merkez / IĞDIR",
                               "Merkez / AĞRI",      "Merkez / DÜZCE",         "Merkez / ÇORUM",    "Eyyübiye / ŞANLIURFA",
                               "Merkez / GÜMÜŞHANE", "Merkez / KÜTAHYA",       "Merkez / ÇANAKKALE"};

const char *const kDomains[] = {"ornek.com.tr", "posta.com", "eposta.net", "mektup.org", "velmora.com.tr"};

template <std::size_t N> const char *Pick(const char *const (&list)[N], int index)
{
    return list[index];
}

// Turkish letters written in ASCII, for e-mail addresses.
QByteArray Ascii(const QByteArray &utf8)
{
    QString s = QString::fromUtf8(utf8).toLower();
    const QString from = QStringLiteral("çğıiöşüâîûİ");
    const QString to = QStringLiteral("cgiiosuaiui");
    for (qsizetype i = 0; i < from.size(); ++i)
        s.replace(from.at(i), to.at(i));
    s.remove(u' ');
    s.remove(QChar(0x0307)); // the dot İ leaves after lower-casing
    return s.toLatin1();
}

} // namespace

TSampleContacts::TSampleContacts(std::uint64_t seed) : FState(seed) {}

std::uint64_t TSampleContacts::Random()
{
    // splitmix64
    std::uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

QByteArray TSampleContacts::Digits(int count)
{
    QByteArray d;
    for (int i = 0; i < count; ++i)
        d += char('0' + Below(10));
    return d;
}

TSampleContact TSampleContacts::Next()
{
    TSampleContact c;
    QByteArray ad = Pick(kFirstNames, Below(int(std::size(kFirstNames))));
    if (Chance(8))
        ad += QByteArray(" ") + Pick(kFirstNames, Below(int(std::size(kFirstNames))));
    const QByteArray soyad = Pick(kSurnames, Below(int(std::size(kSurnames))));
    c.Ad = ad;
    c.Soyad = soyad;
    if (Chance(2))
        c.Soyad = QByteArray("");

    const auto phone = [this](const char *prefix) { return QByteArray(prefix) + ' ' + Digits(3) + ' ' + Digits(2) + ' ' + Digits(2); };
    if (Chance(3))
        c.CTelefon = QByteArray("");
    else if (!Chance(2))
        c.CTelefon = phone(Pick(kMobilePrefixes, Below(int(std::size(kMobilePrefixes)))));
    if (Chance(5))
        c.ETelefon = QByteArray("");
    else if (!Chance(20))
        c.ETelefon = phone(Pick(kAreaCodes, Below(int(std::size(kAreaCodes)))));
    if (Chance(5)) {
        c.ITelefon = QByteArray("");
    } else if (!Chance(40)) {
        QByteArray work = phone(Pick(kAreaCodes, Below(int(std::size(kAreaCodes)))));
        if (Chance(25))
            work += '-' + Digits(3);
        c.ITelefon = work;
    }
    if (Chance(5)) {
        c.Email = QByteArray("");
    } else if (!Chance(15)) {
        QByteArray mail = Ascii(ad) + '.' + Ascii(soyad);
        if (Chance(30))
            mail += QByteArray::number(Below(100));
        c.Email = mail + '@' + Pick(kDomains, Below(int(std::size(kDomains))));
    }
    if (Chance(3)) {
        c.Adres = QByteArray("");
    } else if (!Chance(10)) {
        QByteArray adres = QByteArray(Pick(kNeighbourhoods, Below(int(std::size(kNeighbourhoods))))) + " Mah. "
            + Pick(kStreets, Below(int(std::size(kStreets)))) + " No: " + QByteArray::number(1 + Below(180));
        if (Chance(60))
            adres += " D: " + QByteArray::number(1 + Below(30));
        if (Chance(30))
            adres += "\nKat " + QByteArray::number(1 + Below(12));
        adres += '\n' + QByteArray(Pick(kPlaces, Below(int(std::size(kPlaces)))));
        c.Adres = adres;
    }
    return c;
}
