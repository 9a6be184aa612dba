#include "SkinUI/Utils/UIStringMap.h"

#include <cstring>
#include <new>

namespace SkinUI {

unsigned int CUIStringMap::HashKey(const char* key)
{
    unsigned int hash = 0;
    const size_t n = std::strlen(key);
    // Bytes from the last to the first, each taken as signed: hash = hash * 33 + byte, wrapping.
    for (size_t i = n; i-- > 0;)
        hash = hash * 33u + static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(key[i])));
    return hash;
}

CUIStringMap::CUIStringMap(int nSize) : m_aT(nullptr), m_nBuckets(0), m_nCount(0)
{
    ResetBuckets(nSize < 16 ? 16 : nSize);
}

CUIStringMap::~CUIStringMap()
{
    DeleteAll();
}

void CUIStringMap::DeleteAll()
{
    for (int i = 0; i < m_nBuckets; ++i) {
        Entry* p = m_aT[i];
        while (p != nullptr) {
            Entry* pNext = p->next;
            delete p;
            p = pNext;
        }
    }
    delete[] m_aT;
    m_aT = nullptr;
    m_nBuckets = 0;
    m_nCount = 0;
}

void CUIStringMap::ResetBuckets(int nSize)
{
    DeleteAll();
    if (nSize <= 0)
        return;
    m_aT = new (std::nothrow) Entry*[nSize]();
    if (m_aT != nullptr)
        m_nBuckets = nSize;
}

CUIStringMap::Entry* CUIStringMap::Find(const char* key, bool bMoveToFront) const
{
    if (m_nBuckets == 0 || m_nCount == 0 || key == nullptr)
        return nullptr;
    const unsigned int slot = HashKey(key) % static_cast<unsigned int>(m_nBuckets);
    for (Entry* p = m_aT[slot]; p != nullptr; p = p->next) {
        if (p->key == key) {
            if (bMoveToFront && p != m_aT[slot]) {
                // Unlink, then relink as the new head of the chain.
                p->prev->next = p->next;
                if (p->next != nullptr)
                    p->next->prev = p->prev;
                p->prev = nullptr;
                p->next = m_aT[slot];
                m_aT[slot]->prev = p;
                m_aT[slot] = p;
            }
            return p;
        }
    }
    return nullptr;
}

void* CUIStringMap::Lookup(const char* key, bool bMoveToFront) const
{
    Entry* p = Find(key, bMoveToFront);
    return p != nullptr ? p->data : nullptr;
}

bool CUIStringMap::Insert(const char* key, void* pData)
{
    if (m_nBuckets == 0 || key == nullptr)
        return false;
    if (Find(key, true) != nullptr)
        return false;
    Entry* p = new (std::nothrow) Entry{CUIString(key), pData, nullptr, nullptr};
    if (p == nullptr)
        return false;
    const unsigned int slot = HashKey(key) % static_cast<unsigned int>(m_nBuckets);
    p->next = m_aT[slot];
    if (p->next != nullptr)
        p->next->prev = p;
    m_aT[slot] = p;
    ++m_nCount;
    return true;
}

void* CUIStringMap::Set(const char* key, void* pData)
{
    if (m_nBuckets == 0)
        return pData;
    if (Entry* p = Find(key, true)) {
        void* pOld = p->data;
        p->data = pData;
        return pOld;
    }
    Insert(key, pData);
    return nullptr;
}

bool CUIStringMap::Erase(const char* key)
{
    if (m_nBuckets == 0 || key == nullptr)
        return false;
    const unsigned int slot = HashKey(key) % static_cast<unsigned int>(m_nBuckets);
    for (Entry* p = m_aT[slot]; p != nullptr; p = p->next) {
        if (p->key == key) {
            if (p->prev != nullptr)
                p->prev->next = p->next;
            else
                m_aT[slot] = p->next;
            if (p->next != nullptr)
                p->next->prev = p->prev;
            delete p;
            --m_nCount;
            return true;
        }
    }
    return false;
}

const char* CUIStringMap::KeyAt(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_nCount)
        return nullptr;
    int i = 0;
    for (int slot = m_nBuckets - 1; slot >= 0; --slot) {
        for (const Entry* p = m_aT[slot]; p != nullptr; p = p->next) {
            if (i++ == iIndex)
                return p->key;
        }
    }
    return nullptr;
}

} // namespace SkinUI
