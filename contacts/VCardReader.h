#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QStringList>
#include <vector>

class TTextInput;

// Reads the cards of a vCard file (versions 2.1, 3.0 and 4.0, as phones and
// address books write them) one by one into contact records:
//  - N gives Soyad (family name) and Ad (given and middle names); FN is
//    taken as Ad when N holds no name;
//  - TEL by type: cell to CTelefon, home to ETelefon, work to ITelefon,
//    untyped numbers to the first free one (an Apple "item1.X-ABLabel" of
//    the same group counts as the type); the first EMAIL; the first ADR,
//    its parts on lines of their own (LABEL when there is no ADR);
//  - everything else the card holds about the person (a fourth number, a
//    second e-mail, ORG, NOTE, BDAY ...) is listed in NotTaken.
// Lines are read as the file's bytes: folded lines (and quoted-printable
// soft breaks, and a 2.1 phone's backslash at the end of a line) are
// joined first, then each value that is kept is decoded, by the CHARSET it
// names or else by the file's encoding, before it is split into its parts.
// BASE64 values (photos) are passed over. A card inside a card (2.1's
// AGENT) is a contact of its own, given before the card around it. What
// of a card cannot be read (a value not readable in its charset, a line
// that is not a vCard line) is listed in its NotTaken; a card the file
// ends in before its END, and text outside any card, are records with a
// problem. A TEL written as a tel: URI gives the number it names, an
// extension kept as a pause: "tel:+1-555-555-5555;ext=5555" is
// "+1-555-555-5555,5555". Raises EContactFileError when the file cannot be
// read on.
class TVCardReader {
public:
    explicit TVCardReader(TTextInput &input);
    // The next card; false at the end of the file.
    bool Next(TContactRecord &record);

    struct TProperty {
        std::int64_t Line = 0;
        QByteArray Group;   // upper case
        int Kind = 0;       // which of the properties read
        unsigned Types = 0; // the kinds of number TYPE names
        QByteArray Charset;
        QByteArray Value; // still escaped
        bool QuotedPrintable = false;
    };
    // The parts of a content line "group.NAME;params:value", as views into it.
    struct THead {
        QByteArrayView Group, Name, Params, Value;
        qsizetype Colon = -1; // -1: the line has no ":"
    };
    static THead HeadOf(QByteArrayView line);

private:
    bool NextLogicalLine();
    void Take();
    void MakeRecord(TContactRecord &record);
    void LeaveCard();
    bool Decode(const TProperty &p, QByteArray &value, TImportProblem *problem) const;

    TTextInput &FInput;
    QByteArray FLogical;           // a logical line of several physical ones
    THead FHead;                   // the parts of the logical line being read
    std::int64_t FLogicalLine = 0; // its first line number
    bool FDiscard = false;         // the current logical line is passed over (a photo)
    bool FBadText = false;         // a line of the current logical line was not readable
    bool FAtEnd = false;

    std::int64_t FCards = 0;
    bool FInCard = false;
    struct TCard {
        std::int64_t Number = 0;
        std::vector<TProperty> Properties;
        bool TooMany = false;
        std::vector<TImportProblem> LineProblems; // lines that could not be read
        QStringList OtherNames;
    };
    TCard FCard;               // the card being read
    std::vector<TCard> FOuter; // the cards around it
};
