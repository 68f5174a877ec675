#include "contacts/CsvParser.h"

#include "contacts/TextInput.h"

char TCsvParser::DetectDelimiter(const QByteArray &headerLine)
{
    int counts[3] = {0, 0, 0};
    const char delimiters[3] = {',', ';', '\t'};
    bool quoted = false;
    for (const char c : headerLine) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted)
            for (int i = 0; i < 3; ++i)
                counts[i] += c == delimiters[i];
    }
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (counts[i] > counts[best])
            best = i;
    return delimiters[best];
}

void TCsvParser::SetFirstLine(const QByteArray &line, std::int64_t number)
{
    FText.resize(0);
    FText.append(line.constData(), line.size());
    FLine = number;
    FHaveFirst = true;
}

bool TCsvParser::Next()
{
    FProblems.clear();
    for (;;) {
        if (FHaveFirst) {
            FHaveFirst = false;
        } else {
            if (!FInput.ReadLine())
                return false;
            FLine = FInput.LineNumber();
            FText.resize(0);
            FText.append(FInput.Text().constData(), FInput.Text().size());
            if (FInput.State() == TLineState::TooLong)
                FInput.RefuseLongLine("CSV");
            if (FInput.State() != TLineState::Ok)
                FProblems.push_back(FInput.Problem());
        }
        if (!FProblems.empty() || !QByteArrayView(FText).trimmed().isEmpty())
            break;
    }
    return Parse();
}

bool TCsvParser::Parse()
{
    FFields.clear();
    QByteArray field;
    qsizetype i = 0;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the current field began with a quote
    bool broken = false;
    for (;;) {
        if (i >= FText.size()) {
            if (!quoted)
                break;
            // A line break inside quotes: the record goes on.
            if (!FInput.ReadLine()) {
                FProblems.push_back({.Kind = TImportProblemKind::QuoteNotClosed});
                break;
            }
            if (FInput.State() == TLineState::TooLong)
                FInput.RefuseLongLine("CSV");
            if (FInput.State() != TLineState::Ok)
                FProblems.push_back(FInput.Problem());
            FText.resize(1);
            FText[0] = '\n';
            FText.append(FInput.Text().constData(), FInput.Text().size());
            field += '\n';
            i = 1;
            if (FText.size() + field.size() > MaxRecordBytes)
                throw EContactFileError({.Kind = TImportProblemKind::RecordTooLong, .Line = FLine, .Limit = MaxRecordBytes});
            continue;
        }
        const char c = FText.at(i);
        if (quoted) {
            if (c == '"') {
                if (i + 1 < FText.size() && FText.at(i + 1) == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                qsizetype j = i + 1;
                while (j < FText.size() && FText.at(j) != '"')
                    ++j;
                field.append(FText.constData() + i, j - i);
                i = j;
                continue;
            }
        } else if (c == FDelimiter) {
            FFields << field;
            field.clear();
            wasQuoted = false;
        } else if (c == '"') {
            if (field.isEmpty() && !wasQuoted) {
                quoted = wasQuoted = true;
            } else {
                broken = true;
                field += c;
            }
        } else {
            if (wasQuoted)
                broken = true;
            // The rest of an unquoted field at once.
            qsizetype j = i + 1;
            while (j < FText.size() && FText.at(j) != FDelimiter && FText.at(j) != '"')
                ++j;
            field.append(FText.constData() + i, j - i);
            i = j;
            continue;
        }
        ++i;
    }
    FFields << field;
    if (broken)
        FProblems.push_back({.Kind = TImportProblemKind::QuotingBroken});
    return true;
}
