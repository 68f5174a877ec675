// Any bytes as a vCard file, through the contacts tool's reader.
#include "fuzz/FuzzImport.h"
#include "fuzz/FuzzSupport.h"

#include "tools/vcard/VCardReader.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<TVCardReader> reader;
    ReadContactsFile(data, size, [&](TTextInput &input, TContactRecord &record) {
        if (!reader)
            reader = std::make_unique<TVCardReader>(input);
        return reader->Next(record);
    });
    return 0;
}
