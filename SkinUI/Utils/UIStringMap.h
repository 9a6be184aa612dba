// CUIStringMap: a hash map from texts to untyped pointers (not owned), with separate chaining.
// A successful lookup moves the entry to the head of its chain, so the enumeration order (buckets from
// the highest down, each chain from its head) changes as the map is used.
#pragma once

#include "SkinUI/Utils/UIString.h"

namespace SkinUI {

class CUIStringMap
{
public:
    explicit CUIStringMap(int nSize = 83);
    CUIStringMap(const CUIStringMap&) = delete;
    CUIStringMap& operator=(const CUIStringMap&) = delete;
    ~CUIStringMap();

    void ResetBuckets(int nSize);
    void Clear() { ResetBuckets(m_nBuckets); }
    void* Lookup(const char* key, bool bMoveToFront = true) const;
    bool Insert(const char* key, void* pData);
    void* Set(const char* key, void* pData);
    bool Erase(const char* key);
    int Count() const { return m_nCount; }
    int BucketCount() const { return m_nBuckets; }
    const char* KeyAt(int iIndex) const;
    const char* operator[](int iIndex) const { return KeyAt(iIndex); }

    static unsigned int HashKey(const char* key);

private:
    struct Entry
    {
        CUIString key;
        void* data;
        Entry* prev;
        Entry* next;
    };

    void DeleteAll();
    Entry* Find(const char* key, bool bMoveToFront) const;

    Entry** m_aT;
    int m_nBuckets;
    int m_nCount;
};

} // namespace SkinUI
