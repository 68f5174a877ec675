// Any bytes as a vCard file, through the contacts tool's reader.
#include "fuzz/FuzzImport.h"
#include "fuzz/FuzzSupport.h"

#include "contacts/VCardReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ReadContactsFileWith<TVCardReader>(data, size);
    return 0;
}
