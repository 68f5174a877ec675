// Any bytes as a CSV file, through the contacts tool's reader.
#include "fuzz/FuzzImport.h"
#include "fuzz/FuzzSupport.h"

#include "tools/csv/CsvReader.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<TCsvReader> reader;
    ReadContactsFile(data, size, [&](TTextInput &input, TContactRecord &record) {
        if (!reader)
            reader = std::make_unique<TCsvReader>(input);
        return reader->Next(record);
    });
    return 0;
}
