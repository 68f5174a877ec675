#pragma once

#include <QString>
#include <QStringList>
#include <utility>

struct VARIANT;
struct DISPPARAMS;

using DISPID = long;
using WORD = unsigned short;
using ULONG = unsigned long;

// Invoke flags.
constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;

// The name of the value argument of a property put.
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_UNKNOWN = -1;

// A late-bound automation object: members are looked up by name (letter
// case ignored) and then invoked by their dispatch identifier. Objects are
// reference-counted; the last Release destroys them. Failures raise
// EOleError with the text the user reads.
class IDispatch {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // Raises "Method '<name>' not supported by automation object" for a
    // member the object does not know.
    virtual DISPID GetIDsOfNames(const QString &name) = 0;
    // result may be nullptr when the caller does not want it.
    virtual void Invoke(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) = 0;

protected:
    virtual ~IDispatch() = default;
};

// Holds one reference to an automation object.
template <typename T> class TComPtr {
public:
    TComPtr() = default;
    TComPtr(T *p) : FPtr(p)
    {
        if (FPtr)
            FPtr->AddRef();
    }
    TComPtr(const TComPtr &o) : TComPtr(o.FPtr) {}
    TComPtr(TComPtr &&o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
    ~TComPtr()
    {
        if (FPtr)
            FPtr->Release();
    }
    TComPtr &operator=(TComPtr o) noexcept
    {
        std::swap(FPtr, o.FPtr);
        return *this;
    }

    T *operator->() const { return FPtr; }
    T *Get() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    // Lets go of the reference now (the object goes when it was the last).
    void Reset() { TComPtr().swap(*this); }
    void swap(TComPtr &o) noexcept { std::swap(FPtr, o.FPtr); }

private:
    T *FPtr = nullptr;
};

// Base of the program's automation objects: counts references and resolves
// member names against the list the object was made with (dispatch
// identifier = position in the list + 1). Subclasses implement Invoke.
class TAutoObject : public IDispatch {
public:
    ULONG AddRef() override { return ++FRefCount; }
    ULONG Release() override;
    DISPID GetIDsOfNames(const QString &name) override;

protected:
    explicit TAutoObject(QStringList members) : FMembers(std::move(members)) {}
    QString MemberName(DISPID member) const;

    // Argument helpers for Invoke: the positional arguments (those before
    // the named ones), the value of a property put.
    static int PositionalCount(const DISPPARAMS &params);
    static const VARIANT &Positional(const DISPPARAMS &params, int index);
    static const VARIANT &PutValue(const DISPPARAMS &params);
    // Raise the errors an automation server reports.
    [[noreturn]] static void MemberNotFound();
    [[noreturn]] static void BadParamCount();
    [[noreturn]] static void BadIndex();

private:
    ULONG FRefCount = 0;
    QStringList FMembers;
};
