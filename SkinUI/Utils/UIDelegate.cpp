#include "SkinUI/Utils/UIDelegate.h"

#include "SkinUI/Utils/UIAssert.h"

namespace SkinUI {

CDelegateBase::CDelegateBase(void* pObject, const void* pFn, unsigned int cbFn)
    : m_pObject(pObject), m_fn{}, m_cbFn(cbFn)
{
    UIASSERT(cbFn <= sizeof(m_fn));
    std::memcpy(m_fn, pFn, cbFn <= sizeof(m_fn) ? cbFn : sizeof(m_fn));
}

CDelegateBase::CDelegateBase(const CDelegateBase& rhs) : m_pObject(rhs.m_pObject), m_fn{}, m_cbFn(rhs.m_cbFn)
{
    std::memcpy(m_fn, rhs.m_fn, sizeof(m_fn));
}

CDelegateBase::~CDelegateBase() = default;

bool CDelegateBase::Equals(const CDelegateBase& rhs) const
{
    return m_pObject == rhs.m_pObject && m_cbFn == rhs.m_cbFn && std::memcmp(m_fn, rhs.m_fn, m_cbFn) == 0;
}

CUIEventSource::~CUIEventSource()
{
    for (int i = 0; i < m_aDelegates.Count(); ++i)
        delete static_cast<CDelegateBase*>(m_aDelegates[i]);
}

CUIEventSource::operator bool() const
{
    return m_aDelegates.Count() > 0;
}

void CUIEventSource::operator+=(const CDelegateBase& d)
{
    for (int i = 0; i < m_aDelegates.Count(); ++i) {
        auto* pObject = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pObject != nullptr && pObject->Equals(d))
            return;
    }
    CDelegateBase* pCopy = d.Copy();
    if (!m_aDelegates.Push(pCopy))
        delete pCopy;
}

void CUIEventSource::operator+=(bool (*pFn)(void*))
{
    (*this) += CDelegateStatic(pFn);
}

void CUIEventSource::operator-=(const CDelegateBase& d)
{
    for (int i = 0; i < m_aDelegates.Count(); ++i) {
        auto* pObject = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pObject != nullptr && pObject->Equals(d)) {
            delete pObject;
            m_aDelegates.Erase(i);
            return;
        }
    }
}

void CUIEventSource::operator-=(bool (*pFn)(void*))
{
    (*this) -= CDelegateStatic(pFn);
}

bool CUIEventSource::operator()(void* param)
{
    for (int i = 0; i < m_aDelegates.Count(); ++i) {
        auto* pObject = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pObject != nullptr && !pObject->Invoke(param))
            return false;
    }
    return true;
}

} // namespace SkinUI
