#pragma once

#include "platform/automation/Variant.h"

#include <QString>
#include <vector>

// Late-bound calls by member name: each call turns the name into a
// dispatch identifier (GetIDsOfNames) and then invokes it.

// A member whose result is used, called as a method or read as a property
// (DISPATCH_METHOD | DISPATCH_PROPERTYGET).
VARIANT OleFunction(IDispatch *object, const QString &name, std::vector<VARIANT> args = {});
// A method whose result is not used (DISPATCH_METHOD).
void OleProcedure(IDispatch *object, const QString &name, std::vector<VARIANT> args = {});
// A property read, with its index arguments (DISPATCH_PROPERTYGET).
VARIANT OlePropertyGet(IDispatch *object, const QString &name, std::vector<VARIANT> index = {});
// A property write: the index arguments, then the value as the named
// argument DISPID_PROPERTYPUT (DISPATCH_PROPERTYPUT).
void OlePropertySet(IDispatch *object, const QString &name, std::vector<VARIANT> index, VARIANT value);
