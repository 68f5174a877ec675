#include "platform/automation/Dispatch.h"

#include "platform/automation/Variant.h"
#include "platform/core/Exception.h"

ULONG TAutoObject::Release()
{
    const ULONG left = --FRefCount;
    if (left == 0)
        delete this;
    return left;
}

DISPID TAutoObject::GetIDsOfNames(const QString &name)
{
    for (qsizetype i = 0; i < FMembers.size(); ++i) {
        if (FMembers.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return DISPID(i + 1);
    }
    throw EOleError(QStringLiteral("Method '%1' not supported by automation object").arg(name));
}

QString TAutoObject::MemberName(DISPID member) const
{
    if (member < 1 || member > FMembers.size())
        MemberNotFound();
    return FMembers.at(member - 1);
}

int TAutoObject::PositionalCount(const DISPPARAMS &params)
{
    if (params.rgdispidNamedArgs.size() > params.rgvarg.size())
        BadParamCount();
    return int(params.rgvarg.size() - params.rgdispidNamedArgs.size());
}

const VARIANT &TAutoObject::Positional(const DISPPARAMS &params, int index)
{
    if (index < 0 || index >= PositionalCount(params))
        BadParamCount();
    return params.rgvarg[size_t(index)];
}

const VARIANT &TAutoObject::PutValue(const DISPPARAMS &params)
{
    const size_t named = params.rgdispidNamedArgs.size();
    if (named > params.rgvarg.size())
        BadParamCount();
    for (size_t i = 0; i < named; ++i) {
        if (params.rgdispidNamedArgs[i] == DISPID_PROPERTYPUT)
            return params.rgvarg[params.rgvarg.size() - named + i];
    }
    throw EOleError(QStringLiteral("Parameter not found"));
}

void TAutoObject::MemberNotFound()
{
    throw EOleError(QStringLiteral("Member not found"));
}

void TAutoObject::BadParamCount()
{
    throw EOleError(QStringLiteral("Invalid number of parameters"));
}

void TAutoObject::BadIndex()
{
    throw EOleError(QStringLiteral("Invalid index"));
}
