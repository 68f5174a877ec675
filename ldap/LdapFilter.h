#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <vector>

// A search filter in its text form (RFC 4515), as slapd hands it on: the
// assertion values already normalised by slapd, special bytes written
// "\XX". Values are kept as bytes: they need not be UTF-8.
struct TLdapFilter {
    enum class TKind {
        And,
        Or,
        Not,
        Equal,      // attr=value (and attr~=value, read the same way)
        Substrings, // attr=initial*any*...*final
        Present,    // attr=*
        Unsupported // ordering (>=, <=), extensible and slapd's computed
                    // (?=...) items: they match nothing
    };
    TKind Kind = TKind::Present;
    QByteArray Attribute; // lower case
    QByteArray Value;     // Equal
    QByteArray Initial;   // Substrings: empty when absent
    QList<QByteArray> Any;
    QByteArray Final;
    std::vector<TLdapFilter> Children; // And, Or, Not
};

enum class TFilterError { None, Syntax, TooDeep, TooLarge };

// The deepest nesting and the most items a filter may hold; a desk phone's
// or a mail program's filter holds a handful of each.
constexpr int kFilterMaxDepth = 32;
constexpr int kFilterMaxItems = 512;

// Reads a filter; on an error, filter is left unspecified. The reader never
// goes deeper than kFilterMaxDepth, whatever the text holds.
TFilterError ReadLdapFilter(QByteArrayView text, TLdapFilter *filter);
