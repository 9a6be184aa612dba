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

struct CUIEventSource::DispatchFrame
{
    DispatchFrame* pOuter;
    CDelegateBase* pRunning; // the delegate being invoked by this frame
    bool bOwnsRunning;       // it was removed while running: this frame deletes it once it returns
    bool bSourceGone;        // the source was destroyed while this frame ran
};

CUIEventSource::~CUIEventSource()
{
    for (DispatchFrame* pFrame = m_pDispatch; pFrame != nullptr; pFrame = pFrame->pOuter)
        pFrame->bSourceGone = true;
    for (int i = 0; i < m_aDelegates.Count(); ++i) {
        auto* pDelegate = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pDelegate == nullptr)
            continue;
        // A delegate whose call is still on the stack is deleted by its frame when that call returns.
        if (DispatchFrame* pFrame = OutermostRunning(pDelegate))
            pFrame->bOwnsRunning = true;
        else
            delete pDelegate;
    }
}

CUIEventSource::DispatchFrame* CUIEventSource::OutermostRunning(const CDelegateBase* pDelegate) const
{
    DispatchFrame* pFound = nullptr;
    for (DispatchFrame* pFrame = m_pDispatch; pFrame != nullptr; pFrame = pFrame->pOuter) {
        if (pFrame->pRunning == pDelegate)
            pFound = pFrame;
    }
    return pFound;
}

int CUIEventSource::Count() const
{
    int nCount = 0;
    for (int i = 0; i < m_aDelegates.Count(); ++i) {
        if (m_aDelegates[i] != nullptr)
            ++nCount;
    }
    return nCount;
}

CUIEventSource::operator bool() const
{
    return Count() > 0;
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

void CUIEventSource::RemoveAt(int iIndex)
{
    auto* pDelegate = static_cast<CDelegateBase*>(m_aDelegates[iIndex]);
    if (m_pDispatch == nullptr) {
        m_aDelegates.Erase(iIndex);
        delete pDelegate;
        return;
    }
    // Erasing would shift the slots under the running invocations and make them skip a delegate.
    m_aDelegates.Put(iIndex, nullptr);
    if (DispatchFrame* pFrame = OutermostRunning(pDelegate))
        pFrame->bOwnsRunning = true;
    else
        delete pDelegate;
}

void CUIEventSource::operator-=(const CDelegateBase& d)
{
    for (int i = 0; i < m_aDelegates.Count(); ++i) {
        auto* pObject = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pObject != nullptr && pObject->Equals(d)) {
            RemoveAt(i);
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
    DispatchFrame frame{m_pDispatch, nullptr, false, false};
    m_pDispatch = &frame;
    const int nCount = m_aDelegates.Count();
    bool bResult = true;
    for (int i = 0; i < nCount; ++i) {
        auto* pDelegate = static_cast<CDelegateBase*>(m_aDelegates[i]);
        if (pDelegate == nullptr)
            continue;
        frame.pRunning = pDelegate;
        const bool bGoOn = pDelegate->Invoke(param);
        frame.pRunning = nullptr;
        if (frame.bOwnsRunning) {
            delete pDelegate;
            frame.bOwnsRunning = false;
        }
        if (frame.bSourceGone)
            return false; // the source and its holder are gone: touch nothing of them
        if (!bGoOn) {
            bResult = false;
            break;
        }
    }
    m_pDispatch = frame.pOuter;
    if (m_pDispatch == nullptr) {
        for (int i = m_aDelegates.Count() - 1; i >= 0; --i) {
            if (m_aDelegates[i] == nullptr)
                m_aDelegates.Erase(i);
        }
    }
    return bResult;
}

} // namespace SkinUI
