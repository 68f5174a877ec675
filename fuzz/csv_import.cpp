// Any bytes as a CSV file, through the contacts tool's reader.
#include "fuzz/FuzzImport.h"
#include "fuzz/FuzzSupport.h"

#include "contacts/CsvReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ReadContactsFileWith<TCsvReader>(data, size);
    return 0;
}
