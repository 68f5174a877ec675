#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>

// One card as a CardDAV server holds it, against the seven columns of
// DBASE: read with the importer's mapping (TVCardReader), made new with
// the exporter's (TVCardWriter), and patched so that only the properties
// the columns map to change.

// Reads the one card of the text into record (record.Finish done, NotTaken
// filled); false when it is not a card that can be read (no BEGIN:VCARD,
// text outside the card, a problem that refuses it, text that is not
// UTF-8, a line or a value of the columns' properties that cannot be read).
bool ReadCard(const QByteArray &card, TContactRecord &record);

// The card's UID, unescaped; empty when it has none.
QByteArray CardUid(const QByteArray &card);

// True when the card is vCard 4.0.
bool CardIsVersion4(const QByteArray &card);

// A new card for a contact (values: the seven columns, UTF-8), with a UID.
QByteArray NewCard(const QByteArray *values, const QByteArray &uid, bool version4);

// The card with the properties of each column whose value differs between
// was (what the card gives now, as ReadCard reads it) and now rewritten:
// N and FN for Ad and Soyad, the TEL that gave a number, the first EMAIL,
// the first ADR; a value that is new is added, one that is gone removed.
// Every other line (PHOTO, BDAY, further TEL and EMAIL, X- properties,
// groups and parameters) stays byte for byte as it was.
QByteArray PatchCard(const QByteArray &card, const QByteArray *was, const QByteArray *now);
