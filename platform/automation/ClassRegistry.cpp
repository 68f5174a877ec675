#include "platform/automation/ClassRegistry.h"

#include "platform/core/Exception.h"

void TClassRegistry::Register(const QString &progId, TFactory factory)
{
    FClasses[progId.toUpper()] = std::move(factory);
}

void TClassRegistry::Unregister(const QString &progId)
{
    FClasses.erase(progId.toUpper());
}

bool TClassRegistry::IsRegistered(const QString &progId) const
{
    return FClasses.count(progId.toUpper()) != 0;
}

TComPtr<IDispatch> TClassRegistry::CreateObject(const QString &progId) const
{
    const auto it = FClasses.find(progId.toUpper());
    if (it == FClasses.end())
        throw EOleError(QStringLiteral("Invalid class string"));
    return it->second();
}

TClassRegistry &ClassRegistry()
{
    static TClassRegistry registry;
    return registry;
}

TComPtr<IDispatch> CreateOleObject(const QString &progId)
{
    return ClassRegistry().CreateObject(progId);
}
