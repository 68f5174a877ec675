#include "contacts/CsvReader.h"

#include "contacts/TextInput.h"

TCsvReader::TCsvReader(TTextInput &input)
{
    // The first line that is not blank is the header.
    while (input.ReadLine())
        if (input.State() != TLineState::Ok || !input.Text().trimmed().isEmpty())
            break;
    if (input.State() != TLineState::Ok)
        throw EContactFileError({.Kind = TImportProblemKind::NotContactFile, .Name = input.Encoding(), .Line = input.LineNumber()});
    if (input.Text().trimmed().isEmpty())
        throw EContactFileError({.Kind = TImportProblemKind::FileEmpty});
    // Excel's "sep=;" line names the delimiter; the header follows it.
    const QByteArray first = input.Text().trimmed();
    if (first.size() == 5 && first.toLower().startsWith("sep=")) {
        FDelimiter = first.at(4);
        if (!input.ReadLine() || input.State() != TLineState::Ok)
            throw EContactFileError({.Kind = TImportProblemKind::NoHeaderAfterSep});
    } else {
        FDelimiter = TCsvParser::DetectDelimiter(input.Text());
    }
    FParser = std::make_unique<TCsvParser>(input, FDelimiter);
    FParser->SetFirstLine(input.Text(), input.LineNumber());
    FParser->Next();
    if (!FParser->Problems().empty())
        throw EContactFileError({.Kind = TImportProblemKind::HeaderNotReadable, .Line = FParser->Line()}, FParser->Problems());
    try {
        FHeader = std::make_unique<TCsvHeader>(FParser->Fields());
    } catch (const EContactFileError &) {
        // One field and no column known: no list of columns at all.
        if (FParser->Fields().size() < 2)
            throw EContactFileError({.Kind = TImportProblemKind::NotContactFile});
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
    record.Problems.insert(record.Problems.begin(), FParser->Problems().begin(), FParser->Problems().end());
    return true;
}
