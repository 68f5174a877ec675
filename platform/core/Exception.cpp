#include "platform/core/Exception.h"

Exception::Exception(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()) {}

QString ExceptionText(const std::exception &e)
{
    if (auto *own = dynamic_cast<const Exception *>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

EAbort::EAbort() : Exception(QStringLiteral("Operation aborted")) {}
