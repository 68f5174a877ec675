// The statement text of the record set and the parameters derived from it.
#include "platform/core/Exception.h"
#include "store/ADOQuery.h"

void TSQLStrings::Clear()
{
    FOwner->Close();
    FLines.clear();
    FOwner->StatementChanged();
}

void TSQLStrings::Add(const QString &line)
{
    FOwner->Close();
    FLines << line;
    FOwner->StatementChanged();
}

TParameter &TParameters::operator[](int index)
{
    if (index < 0 || index >= Count())
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[std::size_t(index)];
}

const TParameter &TParameters::operator[](int index) const
{
    return const_cast<TParameters &>(*this)[index];
}

void TParameters::Rebuild(const QString &sqlText)
{
    std::vector<TParameter> items;
    for (const QString &name : ParameterNames(sqlText)) {
        TParameter p{name, std::nullopt};
        for (const TParameter &old : FItems)
            if (old.Name.compare(name, Qt::CaseInsensitive) == 0) {
                p.Value = old.Value;
                break;
            }
        items.push_back(p);
    }
    FItems = std::move(items);
}

static bool IsNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

QStringList TParameters::ParameterNames(const QString &sqlText)
{
    QStringList names;
    for (const TParameterSpan &span : ParameterSpans(sqlText))
        names << span.Name;
    return names;
}

std::vector<TParameterSpan> TParameters::ParameterSpans(const QString &sqlText)
{
    std::vector<TParameterSpan> spans;
    const qsizetype n = sqlText.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sqlText.at(i);
        if (c == u'\'' || c == u'"' || c == u'[' || c == u'`') {
            // Quoted text or a quoted name: nothing inside is a parameter;
            // a doubled quote stays inside.
            const QChar close = c == u'[' ? QChar(u']') : c;
            ++i;
            while (i < n) {
                if (sqlText.at(i) == close) {
                    if (close != u']' && i + 1 < n && sqlText.at(i + 1) == close) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == u'-' && i + 1 < n && sqlText.at(i + 1) == u'-') {
            while (i < n && sqlText.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sqlText.at(i + 1) == u'*') {
            const qsizetype end = sqlText.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u':' && i + 1 < n && sqlText.at(i + 1) == u':') {
            i += 2; // a cast, "x::text"
        } else if (c == u':' && i + 1 < n && IsNameChar(sqlText.at(i + 1)) && (i == 0 || !IsNameChar(sqlText.at(i - 1)))) {
            qsizetype j = i + 1;
            while (j < n && IsNameChar(sqlText.at(j)))
                ++j;
            spans.push_back({i, j - i, sqlText.mid(i + 1, j - i - 1)});
            i = j;
        } else {
            ++i;
        }
    }
    return spans;
}
