#include "platform/automation/OleCall.h"

#include "platform/core/Exception.h"

namespace {
VARIANT Call(IDispatch *object, const QString &name, WORD flags, DISPPARAMS params)
{
    if (!object)
        throw EOleError(QStringLiteral("Variant does not reference an automation object"));
    const DISPID id = object->GetIDsOfNames(name);
    VARIANT result;
    object->Invoke(id, flags, params, &result);
    return result;
}
}

VARIANT OleFunction(IDispatch *object, const QString &name, std::vector<VARIANT> args)
{
    return Call(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, DISPPARAMS{std::move(args), {}});
}

void OleProcedure(IDispatch *object, const QString &name, std::vector<VARIANT> args)
{
    Call(object, name, DISPATCH_METHOD, DISPPARAMS{std::move(args), {}});
}

VARIANT OlePropertyGet(IDispatch *object, const QString &name, std::vector<VARIANT> index)
{
    return Call(object, name, DISPATCH_PROPERTYGET, DISPPARAMS{std::move(index), {}});
}

void OlePropertySet(IDispatch *object, const QString &name, std::vector<VARIANT> index, VARIANT value)
{
    index.push_back(std::move(value));
    Call(object, name, DISPATCH_PROPERTYPUT, DISPPARAMS{std::move(index), {DISPID_PROPERTYPUT}});
}
