#include "platform/automation/Variant.h"

#include "platform/core/Exception.h"

#include <cmath>
#include <limits>

namespace {
[[noreturn]] void TypeMismatch()
{
    throw EOleError(QStringLiteral("Type mismatch"));
}
}

VARIANT VARIANT::ByRef(int *v)
{
    VARIANT r;
    r.vt = VT_I4 | VT_BYREF;
    r.plVal = v;
    return r;
}

int VARIANT::ToInt() const
{
    switch (vt) {
    case VT_I4: return lVal;
    case VT_I4 | VT_BYREF:
        if (!plVal)
            TypeMismatch();
        return *plVal;
    case VT_BOOL: return boolVal ? -1 : 0;
    case VT_R8:
    case VT_BSTR: {
        const double d = ToDouble();
        if (!std::isfinite(d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
            throw EOleError(QStringLiteral("Overflow"));
        return int(std::lround(d));
    }
    default: TypeMismatch();
    }
}

double VARIANT::ToDouble() const
{
    switch (vt) {
    case VT_R8: return dblVal;
    case VT_BSTR: {
        bool ok = false;
        const double d = bstrVal.trimmed().toDouble(&ok);
        if (!ok)
            TypeMismatch();
        return d;
    }
    case VT_I4:
    case VT_I4 | VT_BYREF:
    case VT_BOOL: return ToInt();
    default: TypeMismatch();
    }
}

bool VARIANT::ToBool() const
{
    switch (vt) {
    case VT_BOOL: return boolVal != VARIANT_FALSE;
    case VT_BSTR:
        if (bstrVal.compare(u"true", Qt::CaseInsensitive) == 0)
            return true;
        if (bstrVal.compare(u"false", Qt::CaseInsensitive) == 0)
            return false;
        return ToDouble() != 0;
    case VT_I4:
    case VT_I4 | VT_BYREF:
    case VT_R8: return ToDouble() != 0;
    default: TypeMismatch();
    }
}

QString VARIANT::ToString() const
{
    switch (vt) {
    case VT_EMPTY: return QString();
    case VT_BSTR: return bstrVal;
    case VT_I4:
    case VT_I4 | VT_BYREF: return QString::number(ToInt());
    case VT_R8: return QString::number(dblVal, 'g', 15);
    case VT_BOOL: return boolVal ? QStringLiteral("True") : QStringLiteral("False");
    default: TypeMismatch();
    }
}

TComPtr<IDispatch> VARIANT::ToDispatch() const
{
    if (vt != VT_DISPATCH || !pdispVal)
        TypeMismatch();
    return pdispVal;
}
