#pragma once

#include "platform/automation/Dispatch.h"

#include <QString>
#include <vector>

using VARTYPE = unsigned short;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_BYREF = 0x4000;

using VARIANT_BOOL = short;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// One automation value: a 32-bit integer (by value, or by reference to the
// caller's variable), a double, a Boolean, a string or an object.
struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    int lVal = 0;                // VT_I4
    int *plVal = nullptr;        // VT_I4 | VT_BYREF
    double dblVal = 0;           // VT_R8
    VARIANT_BOOL boolVal = 0;    // VT_BOOL
    QString bstrVal;             // VT_BSTR
    TComPtr<IDispatch> pdispVal; // VT_DISPATCH

    VARIANT() = default;
    VARIANT(int v) : vt(VT_I4), lVal(v) {}
    VARIANT(double v) : vt(VT_R8), dblVal(v) {}
    VARIANT(bool v) : vt(VT_BOOL), boolVal(v ? VARIANT_TRUE : VARIANT_FALSE) {}
    VARIANT(const QString &v) : vt(VT_BSTR), bstrVal(v) {}
    VARIANT(const char16_t *v) : VARIANT(QString::fromUtf16(v)) {}
    VARIANT(TComPtr<IDispatch> v) : vt(VT_DISPATCH), pdispVal(std::move(v)) {}
    // VT_I4 | VT_BYREF: the callee reads the caller's variable.
    static VARIANT ByRef(int *v);

    // Conversions a server applies to its arguments; a value that does not
    // convert raises "Type mismatch".
    int ToInt() const;
    double ToDouble() const;
    bool ToBool() const;
    QString ToString() const;
    TComPtr<IDispatch> ToDispatch() const;
};

// The arguments of an Invoke, in the order they are written; the last
// NamedArgs.size() of them are named by the identifiers in NamedArgs (a
// property put names its value DISPID_PROPERTYPUT, after the index
// arguments).
struct DISPPARAMS {
    std::vector<VARIANT> rgvarg;
    std::vector<DISPID> rgdispidNamedArgs;
};
