#include "platform/core/Exception.h"

Exception::Exception(QString message, TErrorFacts facts) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()), FFacts(std::move(facts))
{
}

QString ExceptionText(const std::exception &e)
{
    if (auto *own = dynamic_cast<const Exception *>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

TErrorFacts ExceptionFacts(const std::exception &e)
{
    if (auto *own = dynamic_cast<const Exception *>(&e))
        return own->Facts();
    return {};
}

EAbort::EAbort() : Exception(QStringLiteral("Operation aborted")) {}
