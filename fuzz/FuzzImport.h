#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TContactRecord;
class TTextInput;

// Reads a contacts file with a reader of the contacts tool: input is the
// file's bytes, the encoding left for the tool to find. next gives record
// after record until false. A reader may refuse the file (an error), but
// every record it gives must be what DBASE can take as text: valid UTF-8
// with no NUL, so that no value is cut on its way.
void ReadContactsFile(const std::uint8_t *data, std::size_t size, const std::function<bool(TTextInput &, TContactRecord &)> &next);

// The same with a reader class of the tool (TVCardReader, TCsvReader).
template <class TReader> void ReadContactsFileWith(const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<TReader> reader;
    ReadContactsFile(data, size, [&](TTextInput &input, TContactRecord &record) {
        if (!reader)
            reader = std::make_unique<TReader>(input);
        return reader->Next(record);
    });
}
