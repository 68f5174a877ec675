#include "export/XmlFile.h"

#include <algorithm>
#include <cstring>

TXmlFile::TXmlFile(const QString &targetPath) : FFile(targetPath), FBuffer(new char[XmlTextBufferSize]) {}

TXmlFile::~TXmlFile() = default;

void TXmlFile::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (FUsed == XmlTextBufferSize)
            Flush();
        const std::size_t n = std::min(bytes.size(), XmlTextBufferSize - FUsed);
        std::memcpy(FBuffer.get() + FUsed, bytes.data(), n);
        FUsed += n;
        bytes.remove_prefix(n);
    }
}

void TXmlFile::Flush()
{
    FFile.Write(FBuffer.get(), FUsed);
    FUsed = 0;
}

void TXmlFile::Commit()
{
    Flush();
    FBuffer.reset();
    FFile.Commit();
}
