#pragma once

#include "platform/automation/Dispatch.h"

#include <QString>
#include <functional>
#include <map>

// Automation classes by programmatic identifier (letter case ignored), as
// the system's class registry keeps them. Creating an object of a class
// that is not registered raises "Invalid class string".
class TClassRegistry {
public:
    using TFactory = std::function<TComPtr<IDispatch>()>;

    void Register(const QString &progId, TFactory factory);
    void Unregister(const QString &progId);
    bool IsRegistered(const QString &progId) const;
    TComPtr<IDispatch> CreateObject(const QString &progId) const;

private:
    std::map<QString, TFactory> FClasses; // keyed by the upper-case identifier
};

// The program's registry, empty until the classes are registered in it
// (the program's start registers the LibreOffice Calc server as
// "EXCEL.APPLICATION", as installing a spreadsheet would).
TClassRegistry &ClassRegistry();

// Creates an object of the class registered as progId in ClassRegistry().
TComPtr<IDispatch> CreateOleObject(const QString &progId);
