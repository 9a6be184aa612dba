// Download engine benchmark: fetches one URL through FCHttpRequestManager and prints one line with the
// throughput and the process's peak memory. Run by tools/bench-http.sh, which compares it with curl.
//   bench_http.exe URL [--wake=auto|async|close]
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
        std::fprintf(stderr, "usage: %s URL [--wake=auto|async|close]\n", argv[0]);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wake=async") == 0)
            SetHttpWakeMethod(HttpWakeMethod::AsyncWait);
        else if (std::strcmp(argv[i], "--wake=close") == 0)
            SetHttpWakeMethod(HttpWakeMethod::CloseHandle);
    }
    CBenchManager manager;
    LARGE_INTEGER frequency, start;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    manager.AddDownload(argv[1]);
    MSG msg;
    while (!manager.m_bDone && ::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    const double dSeconds = static_cast<double>(manager.m_finish.QuadPart - start.QuadPart) / frequency.QuadPart;
    const size_t nBytes = manager.m_strBody.size();
    bool bPattern = true;
    for (size_t i = 0; i < nBytes && bPattern; ++i)
        bPattern = static_cast<unsigned char>(manager.m_strBody[i]) == i % 251;
    SIZE_T nPeakWorkingSet = 0, nPeakCommit = 0;
    PeakMemory(nPeakWorkingSet, nPeakCommit);
    std::printf("engine wake=%s status=%d complete=%d pattern=%d bytes=%u seconds=%.3f mbps=%.1f "
                "peak_ws_mb=%.1f peak_commit_mb=%.1f\n",
                GetHttpWakeMethod() == HttpWakeMethod::AsyncWait ? "async" : "close", manager.m_response.m_nStatusCode,
                manager.m_response.m_bBodyComplete ? 1 : 0, bPattern ? 1 : 0, static_cast<unsigned>(nBytes), dSeconds,
                dSeconds > 0 ? nBytes / dSeconds / 1e6 : 0.0, nPeakWorkingSet / 1048576.0, nPeakCommit / 1048576.0);
    return manager.m_response.m_bBodyComplete && bPattern ? 0 : 1;
}
