// A package (archive bytes made by a test) as the installation takes it: an open file, read from its first
// byte. The file lives in a scratch folder of its own and goes with the object.
#pragma once

#include "tests/zip/ZipTestSupport.h"

#include <windows.h>

#include <string>

class CPackageOnDisk
{
public:
    explicit CPackageOnDisk(const std::string& strPackage) : m_folder("package")
    {
        const std::string strPath = m_folder / "package.zip";
        if (ZipTest::WriteWholeFile(strPath, strPackage))
            m_hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~CPackageOnDisk()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_hFile);
    }
    CPackageOnDisk(const CPackageOnDisk&) = delete;
    CPackageOnDisk& operator=(const CPackageOnDisk&) = delete;

    HANDLE Handle() const { return m_hFile; }

private:
    ZipTest::CScratchFolder m_folder;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
