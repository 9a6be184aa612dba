// Download engine benchmark: fetches one URL through FCHttpRequestManager and prints one line with the
// throughput and the process's peak memory. Run by tools/bench-http.sh, which compares it with curl.
//   bench_http.exe URL [--file=PATH]
// With --file the body goes into that file (then read back for the pattern check) instead of memory.
#include "sdk/utility/http_request_manager.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class CBenchManager : public FCHttpRequestManager
{
public:
    bool m_bDone = false;
    HttpResponseInfo m_response;
    std::string m_strBody;
    LARGE_INTEGER m_finish = {};

protected:
    void OnTaskFinished(FCHttpRequest& task) override
    {
        ::QueryPerformanceCounter(&m_finish);
        m_response = task.GetResponseInfo();
        task.TakeReceivedData(m_strBody);
        m_bDone = true;
    }
};

bool PeakMemory(SIZE_T& nWorkingSet, SIZE_T& nCommit)
{
    using Fn = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
    auto pfn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (pfn == nullptr || !pfn(::GetCurrentProcess(), &counters, sizeof(counters)))
        return false;
    nWorkingSet = counters.PeakWorkingSetSize;
    nCommit = counters.PeakPagefileUsage;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL [--file=PATH]\n", argv[0]);
        return 2;
    }
    HttpRequestInfo request = FCHttpRequestManager::MakeDownloadRequest(argv[1]);
    for (int i = 2; i < argc; ++i) {
        if (std::strncmp(argv[i], "--file=", 7) == 0) {
            const std::string strPath = argv[i] + 7;
            request.m_strBodyFile.assign(strPath.begin(), strPath.end());
        }
    }
    CBenchManager manager;
    LARGE_INTEGER frequency, start;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    manager.AddRequest(request);
    MSG msg;
    while (!manager.m_bDone && ::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    const double dSeconds = static_cast<double>(manager.m_finish.QuadPart - start.QuadPart) / frequency.QuadPart;
    // The peak is taken before a file body is read back: the check reads it piece by piece anyway.
    SIZE_T nPeakWorkingSet = 0, nPeakCommit = 0;
    PeakMemory(nPeakWorkingSet, nPeakCommit);
    size_t nBytes = manager.m_strBody.size();
    bool bPattern = true;
    for (size_t i = 0; i < nBytes && bPattern; ++i)
        bPattern = static_cast<unsigned char>(manager.m_strBody[i]) == i % 251;
    if (!request.m_strBodyFile.empty()) {
        const HANDLE hFile = ::CreateFileW(request.m_strBodyFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        std::string strPiece(1 << 20, '\0');
        DWORD nRead = 0;
        while (hFile != INVALID_HANDLE_VALUE && ::ReadFile(hFile, &strPiece[0], 1 << 20, &nRead, nullptr) && nRead > 0) {
            for (DWORD i = 0; i < nRead && bPattern; ++i)
                bPattern = static_cast<unsigned char>(strPiece[i]) == (nBytes + i) % 251;
            nBytes += nRead;
        }
        if (hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(hFile);
    }
    std::printf("engine sink=%s status=%d complete=%d pattern=%d bytes=%s seconds=%.3f mbps=%.1f "
                "peak_ws_mb=%.1f peak_commit_mb=%.1f\n",
                request.m_strBodyFile.empty() ? "memory" : "file", manager.m_response.m_nStatusCode,
                manager.m_response.m_bBodyComplete ? 1 : 0, bPattern ? 1 : 0, std::to_string(nBytes).c_str(), dSeconds,
                dSeconds > 0 ? nBytes / dSeconds / 1e6 : 0.0, nPeakWorkingSet / 1048576.0, nPeakCommit / 1048576.0);
    return manager.m_response.m_bBodyComplete && bPattern ? 0 : 1;
}
