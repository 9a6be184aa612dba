// Growable arrays: CUIPtrArray holds untyped pointers it never owns; CUIValArray holds fixed-size records
// copied by value. Both keep at least one free slot: capacity 0 becomes 11, then doubles.
#pragma once

namespace SkinUI {

class CUIPtrArray
{
public:
    explicit CUIPtrArray(int iPreallocSize = 0);
    CUIPtrArray(const CUIPtrArray& src);
    CUIPtrArray& operator=(const CUIPtrArray& src);
    ~CUIPtrArray();

    void Clear();
    void ResizeZeroed(int iSize);
    bool IsEmpty() const { return m_nCount == 0; }
    int Count() const { return m_nCount; }
    int Capacity() const { return m_nAllocated; }
    void** Data() { return m_ppVoid; }

    bool Push(void* pData);
    bool Insert(int iIndex, void* pData);
    bool Put(int iIndex, void* pData);
    bool Erase(int iIndex);
    int IndexOf(void* pData) const;
    void* At(int iIndex) const;
    void* operator[](int iIndex) const;

private:
    bool Grow();

    void** m_ppVoid;
    int m_nCount;
    int m_nAllocated;
};

class CUIValArray
{
public:
    explicit CUIValArray(int iElementSize, int iPreallocSize = 0);
    CUIValArray(const CUIValArray&) = delete;
    CUIValArray& operator=(const CUIValArray&) = delete;
    ~CUIValArray();

    // Forgets the records and keeps the storage.
    void Clear() { m_nCount = 0; }
    bool IsEmpty() const { return m_nCount == 0; }
    int Count() const { return m_nCount; }
    int Capacity() const { return m_nAllocated; }
    void* Data() { return m_pVoid; }

    bool Push(const void* pData);
    bool Erase(int iIndex);
    void* At(int iIndex) const;
    void* operator[](int iIndex) const;

private:
    unsigned char* m_pVoid;
    int m_iElementSize;
    int m_nCount;
    int m_nAllocated;
};

} // namespace SkinUI
