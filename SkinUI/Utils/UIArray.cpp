#include "SkinUI/Utils/UIArray.h"

#include "SkinUI/Utils/UIAssert.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace SkinUI {

namespace {
// Next capacity for a push that filled the block; 0 when it would overflow.
int NextCapacity(int nAllocated, int iElementSize)
{
    if (nAllocated == 0)
        return 11;
    if (nAllocated > INT_MAX / 2 / iElementSize)
        return 0;
    return nAllocated * 2;
}
} // namespace

CUIPtrArray::CUIPtrArray(int iPreallocSize) : m_ppVoid(nullptr), m_nCount(0), m_nAllocated(iPreallocSize)
{
    UIASSERT(iPreallocSize >= 0);
    if (iPreallocSize > 0) {
        m_ppVoid = static_cast<void**>(std::malloc(iPreallocSize * sizeof(void*)));
        if (m_ppVoid == nullptr)
            m_nAllocated = 0;
    } else {
        m_nAllocated = 0;
    }
}

CUIPtrArray::CUIPtrArray(const CUIPtrArray& src) : m_ppVoid(nullptr), m_nCount(0), m_nAllocated(0)
{
    for (int i = 0; i < src.m_nCount; ++i)
        Push(src.m_ppVoid[i]);
}

CUIPtrArray& CUIPtrArray::operator=(const CUIPtrArray& src)
{
    if (this != &src) {
        Clear();
        for (int i = 0; i < src.m_nCount; ++i)
            Push(src.m_ppVoid[i]);
    }
    return *this;
}

CUIPtrArray::~CUIPtrArray()
{
    std::free(m_ppVoid);
}

void CUIPtrArray::Clear()
{
    std::free(m_ppVoid);
    m_ppVoid = nullptr;
    m_nCount = m_nAllocated = 0;
}

void CUIPtrArray::ResizeZeroed(int iSize)
{
    Clear();
    if (iSize <= 0)
        return;
    m_ppVoid = static_cast<void**>(std::calloc(iSize, sizeof(void*)));
    if (m_ppVoid != nullptr)
        m_nCount = m_nAllocated = iSize;
}

bool CUIPtrArray::Grow()
{
    // Called with the count already raised: keep one free slot past it.
    if (m_nCount < m_nAllocated)
        return true;
    const int nNew = NextCapacity(m_nAllocated, sizeof(void*));
    void** pNew = nNew > 0 ? static_cast<void**>(std::realloc(m_ppVoid, nNew * sizeof(void*))) : nullptr;
    if (pNew == nullptr)
        return false;
    m_ppVoid = pNew;
    m_nAllocated = nNew;
    return true;
}

bool CUIPtrArray::Push(void* pData)
{
    ++m_nCount;
    if (!Grow()) {
        --m_nCount;
        return false;
    }
    m_ppVoid[m_nCount - 1] = pData;
    return true;
}

bool CUIPtrArray::Insert(int iIndex, void* pData)
{
    if (iIndex == m_nCount)
        return Push(pData);
    if (iIndex < 0 || iIndex > m_nCount)
        return false;
    ++m_nCount;
    if (!Grow()) {
        --m_nCount;
        return false;
    }
    std::memmove(&m_ppVoid[iIndex + 1], &m_ppVoid[iIndex], (m_nCount - iIndex - 1) * sizeof(void*));
    m_ppVoid[iIndex] = pData;
    return true;
}

bool CUIPtrArray::Put(int iIndex, void* pData)
{
    if (iIndex < 0 || iIndex >= m_nCount)
        return false;
    m_ppVoid[iIndex] = pData;
    return true;
}

bool CUIPtrArray::Erase(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_nCount)
        return false;
    if (iIndex < --m_nCount)
        std::memmove(&m_ppVoid[iIndex], &m_ppVoid[iIndex + 1], (m_nCount - iIndex) * sizeof(void*));
    return true;
}

int CUIPtrArray::IndexOf(void* pData) const
{
    for (int i = 0; i < m_nCount; ++i) {
        if (m_ppVoid[i] == pData)
            return i;
    }
    return -1;
}

void* CUIPtrArray::At(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_nCount)
        return nullptr;
    return m_ppVoid[iIndex];
}

void* CUIPtrArray::operator[](int iIndex) const
{
    UIASSERT(iIndex >= 0 && iIndex < m_nCount);
    return m_ppVoid[iIndex];
}

CUIValArray::CUIValArray(int iElementSize, int iPreallocSize)
    : m_pVoid(nullptr), m_iElementSize(iElementSize), m_nCount(0), m_nAllocated(0)
{
    UIASSERT(iElementSize > 0);
    UIASSERT(iPreallocSize >= 0);
    if (m_iElementSize <= 0)
        m_iElementSize = 1;
    if (iPreallocSize > 0 && iPreallocSize <= INT_MAX / m_iElementSize) {
        m_pVoid = static_cast<unsigned char*>(std::malloc(iPreallocSize * m_iElementSize));
        if (m_pVoid != nullptr)
            m_nAllocated = iPreallocSize;
    }
}

CUIValArray::~CUIValArray()
{
    std::free(m_pVoid);
}

bool CUIValArray::Push(const void* pData)
{
    ++m_nCount;
    if (m_nCount >= m_nAllocated) {
        const int nNew = NextCapacity(m_nAllocated, m_iElementSize);
        auto* pNew = nNew > 0 ? static_cast<unsigned char*>(std::realloc(m_pVoid, nNew * m_iElementSize)) : nullptr;
        if (pNew == nullptr) {
            --m_nCount;
            return false;
        }
        m_pVoid = pNew;
        m_nAllocated = nNew;
    }
    std::memcpy(m_pVoid + (m_nCount - 1) * m_iElementSize, pData, m_iElementSize);
    return true;
}

bool CUIValArray::Erase(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_nCount)
        return false;
    if (iIndex < --m_nCount) {
        std::memmove(m_pVoid + iIndex * m_iElementSize, m_pVoid + (iIndex + 1) * m_iElementSize,
                     (m_nCount - iIndex) * m_iElementSize);
    }
    return true;
}

void* CUIValArray::At(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_nCount)
        return nullptr;
    return m_pVoid + iIndex * m_iElementSize;
}

void* CUIValArray::operator[](int iIndex) const
{
    UIASSERT(iIndex >= 0 && iIndex < m_nCount);
    return m_pVoid + iIndex * m_iElementSize;
}

} // namespace SkinUI
