// CComRef: holds one COM interface pointer and releases it at the end of its scope.
#pragma once

template <class T>
class CComRef
{
public:
    CComRef() = default;
    ~CComRef()
    {
        if (m_p != nullptr)
            m_p->Release();
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    T** Out() { return &m_p; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_p); }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};
