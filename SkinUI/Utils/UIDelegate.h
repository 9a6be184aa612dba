// Delegates: listeners called with one pointer argument and returning bool. CUIEventSource holds an
// ordered list of them and stops at the first that returns false. A listener may remove itself or others,
// add listeners or destroy the source (with the object that holds it) while the source runs.
#pragma once

#include "SkinUI/Utils/UIArray.h"

#include <cstring>

namespace SkinUI {

class CDelegateBase
{
public:
    CDelegateBase(void* pObject, const void* pFn, unsigned int cbFn);
    CDelegateBase(const CDelegateBase& rhs);
    CDelegateBase& operator=(const CDelegateBase&) = delete;
    virtual ~CDelegateBase();

    // Equal when both the object and the function are equal.
    bool Equals(const CDelegateBase& rhs) const;
    bool operator==(const CDelegateBase& rhs) const { return Equals(rhs); }
    bool operator()(void* param) { return Invoke(param); }

    virtual CDelegateBase* Copy() const = 0;

protected:
    virtual bool Invoke(void* param) = 0;
    friend class CUIEventSource;

    void* Object() const { return m_pObject; }
    const void* GetFn() const { return m_fn; }

private:
    void* m_pObject;
    // The function's identity: a free function pointer or a member function pointer, copied bytewise.
    alignas(void*) unsigned char m_fn[16];
    unsigned int m_cbFn;
};

class CDelegateStatic : public CDelegateBase
{
public:
    using Fn = bool (*)(void*);
    explicit CDelegateStatic(Fn pFn) : CDelegateBase(nullptr, &pFn, sizeof(pFn)) {}
    CDelegateBase* Copy() const override { return new CDelegateStatic(*this); }

protected:
    bool Invoke(void* param) override
    {
        Fn pFn;
        std::memcpy(&pFn, GetFn(), sizeof(pFn));
        return pFn(param);
    }
};

template <class O, class T = O>
class CDelegate : public CDelegateBase
{
public:
    using Fn = bool (T::*)(void*);
    CDelegate(O* pObj, Fn pFn) : CDelegateBase(pObj, &pFn, sizeof(pFn)) {}
    CDelegateBase* Copy() const override { return new CDelegate(*this); }

protected:
    bool Invoke(void* param) override
    {
        Fn pFn;
        std::memcpy(&pFn, GetFn(), sizeof(pFn));
        return (static_cast<O*>(Object())->*pFn)(param);
    }
};

template <class O, class T>
CDelegate<O, T> MakeDelegate(O* pObject, bool (T::*pFn)(void*))
{
    return CDelegate<O, T>(pObject, pFn);
}

inline CDelegateStatic MakeDelegate(bool (*pFn)(void*))
{
    return CDelegateStatic(pFn);
}

class CUIEventSource
{
public:
    CUIEventSource() = default;
    CUIEventSource(const CUIEventSource&) = delete;
    CUIEventSource& operator=(const CUIEventSource&) = delete;
    ~CUIEventSource();

    explicit operator bool() const;
    void operator+=(const CDelegateBase& d);
    void operator+=(bool (*pFn)(void*));
    void operator-=(const CDelegateBase& d);
    void operator-=(bool (*pFn)(void*));
    // Calls every delegate in order; false as soon as one returns false. Delegates removed meanwhile are
    // not called, delegates added meanwhile wait for the next invocation. Also false when a delegate
    // destroyed the source: the caller must then not touch the object that held it.
    bool operator()(void* param);
    // The number of delegates present.
    int Count() const;

private:
    // One running invocation; nested invocations form a chain from the innermost.
    struct DispatchFrame;
    void RemoveAt(int iIndex);
    DispatchFrame* OutermostRunning(const CDelegateBase* pDelegate) const;

    // While an invocation runs, a removed delegate leaves an empty slot (indexes stay put); the
    // outermost invocation closes the gaps when it ends.
    CUIPtrArray m_aDelegates;
    DispatchFrame* m_pDispatch = nullptr;
};

} // namespace SkinUI
