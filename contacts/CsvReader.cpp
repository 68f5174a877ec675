#include "contacts/CsvReader.h"

#include "platform/core/Exception.h"
#include "contacts/TextInput.h"

TCsvReader::TCsvReader(TTextInput &input)
{
    // The first line that is not blank is the header.
    while (input.ReadLine())
        if (input.State() != TLineState::Ok || !input.Text().trimmed().isEmpty())
            break;
    if (input.State() != TLineState::Ok)
        throw Exception(
            QStringLiteral("not a vCard or CSV file: line %1 is not readable text in %2").arg(input.LineNumber()).arg(input.Encoding()));
    if (input.Text().trimmed().isEmpty())
        throw Exception(QStringLiteral("the file is empty"));
    // Excel's "sep=;" line names the delimiter; the header follows it.
    const QByteArray first = input.Text().trimmed();
    if (first.size() == 5 && first.toLower().startsWith("sep=")) {
        FDelimiter = first.at(4);
        if (!input.ReadLine() || input.State() != TLineState::Ok)
            throw Exception(QStringLiteral("the file has no header after its \"sep=\" line"));
    } else {
        FDelimiter = TCsvParser::DetectDelimiter(input.Text());
    }
    FParser = std::make_unique<TCsvParser>(input, FDelimiter);
    FParser->SetFirstLine(input.Text(), input.LineNumber());
    FParser->Next();
    if (!FParser->Problems().isEmpty())
        throw Exception(
            QStringLiteral("the header on line %1: %2").arg(FParser->Line()).arg(FParser->Problems().join(QStringLiteral("; "))));
    try {
        FHeader = std::make_unique<TCsvHeader>(FParser->Fields());
    } catch (const Exception &) {
        // One field and no column known: no list of columns at all.
        if (FParser->Fields().size() < 2)
            throw Exception(QStringLiteral("not a vCard or CSV file"));
        throw;
    }
}

bool TCsvReader::Next(TContactRecord &record)
{
    if (!FParser->Next())
        return false;
    record.Clear();
    record.Position = FParser->Line();
    FHeader->Fill(FParser->Fields(), record);
    record.Problems = FParser->Problems() + record.Problems;
    return true;
}
