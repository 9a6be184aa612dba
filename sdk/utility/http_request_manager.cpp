#include "sdk/utility/http_request_manager.h"

#include <wininet.h>
#include <process.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "SkinUI/Utils/SystemLibrary.h"
#include "SkinUI/Utils/UIAssert.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

// Largest piece of one non-blocking read. Such a read hands over at once whatever has arrived, so a large
// piece costs nothing on a slow line and saves calls on a fast one (under Wine every call is a round trip to
// its server process).
#ifndef HTTP_ASYNC_PIECE_BYTES
#define HTTP_ASYNC_PIECE_BYTES (1024 * 1024)
#endif

namespace {

constexpr DWORD kAsyncPieceBytes = HTTP_ASYNC_PIECE_BYTES;
static_assert(kAsyncPieceBytes >= 1024 && kAsyncPieceBytes <= 16 * 1024 * 1024, "async piece out of range");

std::atomic<DWORD> g_dwIdleLimitMs{HTTP_IDLE_LIMIT_MS};

const wchar_t* const kWindowClass = L"tessel_http_event_wnd";

// ----- WinINet and urlmon, loaded from the system folder at run time --------------------------------------

struct CWinInetApi
{
    decltype(&::InternetOpenA) pInternetOpenA = nullptr;
    decltype(&::InternetConnectA) pInternetConnectA = nullptr;
    decltype(&::InternetSetOptionA) pInternetSetOptionA = nullptr;
    decltype(&::InternetCrackUrlA) pInternetCrackUrlA = nullptr;
    decltype(&::InternetCloseHandle) pInternetCloseHandle = nullptr;
    decltype(&::InternetReadFile) pInternetReadFile = nullptr;
    decltype(&::InternetReadFileExA) pInternetReadFileExA = nullptr;
    decltype(&::InternetSetStatusCallbackA) pInternetSetStatusCallbackA = nullptr;
    decltype(&::HttpOpenRequestA) pHttpOpenRequestA = nullptr;
    decltype(&::HttpSendRequestA) pHttpSendRequestA = nullptr;
    decltype(&::HttpQueryInfoA) pHttpQueryInfoA = nullptr;
    bool bLoaded = false;
};

CWinInetApi LoadWinInet()
{
    static SkinUI::CUISystemLibrary s_lib("wininet.dll");
    CWinInetApi api;
    if (!s_lib.IsLoaded())
        return api;
    // Never unloaded: a worker left running at exit may still be inside it while static objects go away.
    HMODULE hPinned = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(s_lib.Handle()), &hPinned);
    api.pInternetOpenA = s_lib.Proc<decltype(api.pInternetOpenA)>("InternetOpenA");
    api.pInternetConnectA = s_lib.Proc<decltype(api.pInternetConnectA)>("InternetConnectA");
    api.pInternetSetOptionA = s_lib.Proc<decltype(api.pInternetSetOptionA)>("InternetSetOptionA");
    api.pInternetCrackUrlA = s_lib.Proc<decltype(api.pInternetCrackUrlA)>("InternetCrackUrlA");
    api.pInternetCloseHandle = s_lib.Proc<decltype(api.pInternetCloseHandle)>("InternetCloseHandle");
    api.pInternetReadFile = s_lib.Proc<decltype(api.pInternetReadFile)>("InternetReadFile");
    api.pInternetReadFileExA = s_lib.Proc<decltype(api.pInternetReadFileExA)>("InternetReadFileExA");
    api.pInternetSetStatusCallbackA =
        s_lib.Proc<decltype(api.pInternetSetStatusCallbackA)>("InternetSetStatusCallbackA");
    api.pHttpOpenRequestA = s_lib.Proc<decltype(api.pHttpOpenRequestA)>("HttpOpenRequestA");
    api.pHttpSendRequestA = s_lib.Proc<decltype(api.pHttpSendRequestA)>("HttpSendRequestA");
    api.pHttpQueryInfoA = s_lib.Proc<decltype(api.pHttpQueryInfoA)>("HttpQueryInfoA");
    api.bLoaded = api.pInternetOpenA && api.pInternetConnectA && api.pInternetSetOptionA && api.pInternetCrackUrlA &&
                  api.pInternetCloseHandle && api.pInternetReadFile && api.pInternetReadFileExA &&
                  api.pInternetSetStatusCallbackA && api.pHttpOpenRequestA && api.pHttpSendRequestA &&
                  api.pHttpQueryInfoA;
    return api;
}

// Every WinINet call of the engine goes through this table. When the DLL is missing, no session is
// opened and every task ends like one whose host cannot be reached.
const CWinInetApi& WinInet()
{
    static const CWinInetApi s_api = LoadWinInet();
    return s_api;
}

const SkinUI::CUIString& DefaultUserAgent()
{
    static const SkinUI::CUIString s_strAgent = [] {
        using ObtainUserAgentStringFn = HRESULT(WINAPI*)(DWORD, LPSTR, DWORD*);
        static SkinUI::CUISystemLibrary s_lib("urlmon.dll");
        char szAgent[1024] = {};
        DWORD cbAgent = sizeof(szAgent);
        auto pfn = s_lib.Proc<ObtainUserAgentStringFn>("ObtainUserAgentString");
        if (pfn == nullptr || FAILED(pfn(0, szAgent, &cbAgent)))
            szAgent[0] = '\0';
        szAgent[sizeof(szAgent) - 1] = '\0';
        return SkinUI::CUIString(szAgent);
    }();
    return s_strAgent;
}

// ----- Helpers ---------------------------------------------------------------------------------------------

void CloseInternetHandle(HINTERNET& hHandle)
{
    if (hHandle != nullptr) {
        WinInet().pInternetCloseHandle(hHandle);
        hHandle = nullptr;
    }
}

void CloseThreadHandle(HANDLE& hThread)
{
    if (hThread != nullptr) {
        ::CloseHandle(hThread);
        hThread = nullptr;
    }
}

bool IsThreadRunning(HANDLE hThread)
{
    return hThread != nullptr && ::WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT;
}

const char* VerbText(int nVerb)
{
    switch (nVerb) {
    case 1:
    case 2:
        return "POST";
    case 3:
        return "DELETE";
    default:
        return "GET";
    }
}

// A header of the response as text; empty when absent.
SkinUI::CUIString QueryHeaderText(HINTERNET hRequest, DWORD dwLevel)
{
    const CWinInetApi& api = WinInet();
    DWORD cbNeeded = 0;
    if (api.pHttpQueryInfoA(hRequest, dwLevel, nullptr, &cbNeeded, nullptr) || cbNeeded == 0)
        return SkinUI::CUIString();
    std::vector<char> text(cbNeeded + 2, '\0');
    DWORD cbText = static_cast<DWORD>(text.size());
    if (!api.pHttpQueryInfoA(hRequest, dwLevel, text.data(), &cbText, nullptr))
        return SkinUI::CUIString();
    text.back() = '\0';
    return SkinUI::CUIString(text.data());
}

DWORD QueryStatusCode(HINTERNET hRequest)
{
    DWORD dwStatus = 0;
    DWORD cb = sizeof(dwStatus);
    if (!WinInet().pHttpQueryInfoA(hRequest, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &dwStatus, &cb, nullptr))
        return 0;
    return dwStatus;
}

// A decimal length at the start of a text (blanks before it skipped), or -1 when there is none. A number too
// large for 64 bits gives LLONG_MAX: no buffer or disk holds that much, so it fails where it is used.
long long ParseLength(const char* p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p < '0' || *p > '9')
        return -1;
    long long nLength = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (nLength > (LLONG_MAX - 9) / 10)
            return LLONG_MAX;
        nLength = nLength * 10 + (*p - '0');
    }
    return nLength;
}

// The body length the server declared, or -1 when it declared none (or sends chunks, which take precedence).
long long QueryDeclaredLength(HINTERNET hRequest)
{
    if (!QueryHeaderText(hRequest, HTTP_QUERY_TRANSFER_ENCODING).IsEmpty())
        return -1;
    return ParseLength(QueryHeaderText(hRequest, HTTP_QUERY_CONTENT_LENGTH));
}

// An ETag names the resource's version exactly only when it is strong ("..."); a weak one (W/"...") may not
// be used for a range, so a date is the validator then.
bool IsEntityTag(const char* pstrValidator)
{
    return pstrValidator[0] == '"' || (pstrValidator[0] == 'W' && pstrValidator[1] == '/');
}

// Finds an explicit port in the host part of a URL (after "scheme://", before the path), e.g.
// "http://h:8080/p" gives h and 8080. A ":" in the path or a missing or invalid port gives nothing.
bool FindProxyInUrl(const char* pstrUrl, SkinUI::CUIString& strHost, int& nPort)
{
    const char* pStart = pstrUrl;
    if (const char* pScheme = std::strstr(pstrUrl, "://"))
        pStart = pScheme + 3;
    const char* pEnd = pStart + std::strcspn(pStart, "/?#");
    // User information ("user:password@") is not part of the host.
    for (const char* p = pStart; p < pEnd; ++p)
        if (*p == '@')
            pStart = p + 1;
    const char* pColon = nullptr;
    if (*pStart == '[') {
        const char* pClose = static_cast<const char*>(std::memchr(pStart, ']', pEnd - pStart));
        if (pClose != nullptr && pClose + 1 < pEnd && pClose[1] == ':')
            pColon = pClose + 1;
    } else {
        pColon = static_cast<const char*>(std::memchr(pStart, ':', pEnd - pStart));
    }
    if (pColon == nullptr || pColon == pStart)
        return false;
    long nValue = 0;
    const char* p = pColon + 1;
    for (; p < pEnd && *p >= '0' && *p <= '9' && nValue <= 65535; ++p)
        nValue = nValue * 10 + (*p - '0');
    if (p == pColon + 1 || p != pEnd || nValue < 1 || nValue > 65535)
        return false;
    strHost.AssignText(pStart, static_cast<int>(pColon - pStart));
    nPort = static_cast<int>(nValue);
    return true;
}

} // namespace

void SetHttpIdleLimitMs(DWORD dwLimitMs)
{
    g_dwIdleLimitMs.store(dwLimitMs);
}

// ----- Records ---------------------------------------------------------------------------------------------

HttpRequestInfo::HttpRequestInfo(int nVerb)
    : m_nVerb(nVerb),
      m_nStartByte(0),
      m_strUserAgent(DefaultUserAgent()),
      m_dwOpenFlags(INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE),
      m_nTimeoutMs(0),
      m_nProxyPort(80)
{
}

void HttpResponseInfo::ReadResponse(HINTERNET hRequest)
{
    m_hQueriedRequest = hRequest;
    if (hRequest == nullptr)
        return;
    const SkinUI::CUIString strStatus = QueryHeaderText(hRequest, HTTP_QUERY_STATUS_CODE);
    if (!strStatus.IsEmpty())
        m_nStatusCode = static_cast<int>(std::strtol(strStatus, nullptr, 10));
    const long long nLength = ParseLength(QueryHeaderText(hRequest, HTTP_QUERY_CONTENT_LENGTH));
    m_nContentLength64 = nLength > 0 ? nLength : 0;
    m_nContentLength = static_cast<int>(std::min<long long>(m_nContentLength64, INT_MAX));
    m_strLastModified = QueryHeaderText(hRequest, HTTP_QUERY_LAST_MODIFIED);
    m_strServer = QueryHeaderText(hRequest, HTTP_QUERY_SERVER);
    m_strETag = QueryHeaderText(hRequest, HTTP_QUERY_ETAG);
    m_nTotalLength = m_nContentLength64;
    long long nFirst = 0, nLast = 0, nTotal = 0;
    if (m_nStatusCode == 206 &&
        ParseContentRange(QueryHeaderText(hRequest, HTTP_QUERY_CONTENT_RANGE), nFirst, nLast, nTotal)) {
        m_nRangeStart = nFirst;
        m_nTotalLength = nTotal > 0 ? nTotal : 0;
    }
}

bool ParseContentRange(const char* pstrValue, long long& nFirst, long long& nLast, long long& nTotal)
{
    if (pstrValue == nullptr)
        return false;
    const char* p = pstrValue;
    while (*p == ' ')
        ++p;
    if (_strnicmp(p, "bytes", 5) != 0)
        return false;
    p += 5;
    while (*p == ' ')
        ++p;
    char* pEnd = nullptr;
    const auto number = [&pEnd](const char* pFrom) {
        if (*pFrom < '0' || *pFrom > '9')
            return -1LL;
        const long long n = ParseLength(pFrom);
        for (pEnd = const_cast<char*>(pFrom); *pEnd >= '0' && *pEnd <= '9'; ++pEnd) {
        }
        return n == LLONG_MAX ? -1LL : n;
    };
    nFirst = number(p);
    if (nFirst < 0 || *pEnd != '-')
        return false;
    nLast = number(pEnd + 1);
    if (nLast < nFirst || *pEnd != '/')
        return false;
    p = pEnd + 1;
    if (p[0] == '*') {
        nTotal = -1;
        pEnd = const_cast<char*>(p + 1);
    } else {
        nTotal = number(p);
        if (nTotal <= nLast)
            return false;
    }
    while (*pEnd == ' ')
        ++pEnd;
    return *pEnd == '\0';
}

SkinUI::CUIString BuildHttpRequestHeaders(const HttpRequestInfo& request)
{
    SkinUI::CUIString strHeaders = request.m_strHeaders;
    if (request.m_nStartByte > 0) {
        strHeaders += ("Range: bytes=" + std::to_string(request.m_nStartByte) + "-\r\n").c_str();
        if (!request.m_strIfRange.IsEmpty()) {
            strHeaders += "If-Range: ";
            strHeaders += request.m_strIfRange;
            strHeaders += "\r\n";
        }
    }
    return strHeaders;
}

// ----- Receive buffer --------------------------------------------------------------------------------------

namespace inner {

FCAutoCSec::FCAutoCSec()
{
    ::InitializeCriticalSection(&m_cs);
}

FCAutoCSec::~FCAutoCSec()
{
    ::DeleteCriticalSection(&m_cs);
}

void FCAutoCSec::Lock()
{
    ::EnterCriticalSection(&m_cs);
}

void FCAutoCSec::Unlock()
{
    ::LeaveCriticalSection(&m_cs);
}

namespace {

class CScopedLock
{
public:
    explicit CScopedLock(FCAutoCSec& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CScopedLock() { m_cs.Unlock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    FCAutoCSec& m_cs;
};

} // namespace

bool CReceiveBuffer::Reserve(long long nBytes)
{
    CScopedLock lock(*this);
    if (nBytes < 0 || static_cast<unsigned long long>(nBytes) > m_data.max_size() - m_data.size())
        return false;
    try {
        m_data.reserve(m_data.size() + static_cast<size_t>(nBytes));
    } catch (const std::exception&) // bad_alloc or length_error: the process has no room for it
    {
        return false;
    }
    return true;
}

bool CReceiveBuffer::Append(const char* pBytes, int nBytes)
{
    if (nBytes <= 0)
        return true;
    {
        CScopedLock lock(*this);
        try {
            m_data.append(pBytes, static_cast<size_t>(nBytes));
        } catch (const std::exception&) {
            return false;
        }
    }
    // Counted once stored, so the count never runs ahead of what TakeAll can hand over.
    m_nReceived.fetch_add(nBytes, std::memory_order_relaxed);
    return true;
}

int CReceiveBuffer::GetReceived() const
{
    return static_cast<int>(std::min<long long>(GetReceived64(), INT_MAX));
}

void CReceiveBuffer::TakeAll(std::string& strOut)
{
    CScopedLock lock(*this);
    strOut = std::move(m_data);
    m_data = std::string();
}

} // namespace inner

// ----- Task ------------------------------------------------------------------------------------------------

// What WinINet's completions reach. WinINet may complete a pending operation, and always reports the request
// handle's closing, after the task is gone, so the context is shared: one reference is the task's, one the
// request handle's (dropped at INTERNET_STATUS_HANDLE_CLOSING, WinINet's last word on a handle). It also
// keeps what a pending operation may still use: the read buffer, its INTERNET_BUFFERS and the request's
// header text and body.
class FCHttpRequest::CAsyncContext
{
public:
    static CAsyncContext* Create()
    {
        auto* pContext = new (std::nothrow) CAsyncContext();
        if (pContext != nullptr && pContext->m_hDone == nullptr) {
            pContext->Release();
            pContext = nullptr;
        }
        return pContext;
    }
    CAsyncContext(const CAsyncContext&) = delete;
    CAsyncContext& operator=(const CAsyncContext&) = delete;

    void AddRef() { m_nRefs.fetch_add(1); }
    void Release()
    {
        if (m_nRefs.fetch_sub(1) == 1)
            delete this;
    }

    static void CALLBACK StatusCallback(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, LPVOID pvInfo, DWORD)
    {
        auto* pContext = reinterpret_cast<CAsyncContext*>(dwContext);
        if (pContext == nullptr) // the session and connect handles carry no context
            return;
        if (dwStatus == INTERNET_STATUS_REQUEST_COMPLETE && pvInfo != nullptr) {
            const auto* pResult = static_cast<const INTERNET_ASYNC_RESULT*>(pvInfo);
            pContext->m_dwError.store(pResult->dwResult != 0 ? 0 : pResult->dwError);
            pContext->m_dwResult.store(static_cast<DWORD>(pResult->dwResult));
            ::SetEvent(pContext->m_hDone);
        } else if (dwStatus == INTERNET_STATUS_HANDLE_CLOSING) {
            pContext->Release();
        }
    }

    HANDLE m_hDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); // set by each completion
    std::atomic<DWORD> m_dwResult{0};                               // the completion's dwResult
    std::atomic<DWORD> m_dwError{0};                                // and its error when it failed
    std::unique_ptr<char[]> m_pPiece;
    INTERNET_BUFFERSA m_buffers = {};
    std::string m_strHeaders;
    std::string m_strBody;

private:
    CAsyncContext() = default;
    ~CAsyncContext()
    {
        if (m_hDone != nullptr)
            ::CloseHandle(m_hDone);
    }

    std::atomic<int> m_nRefs{1};
};

// What a worker thread is given: the task and its own copy of the handle it works on, so that StopWorkers
// may close and clear the task's handle field without racing the worker.
struct FCHttpRequest::WorkerStart
{
    FCHttpRequest* pTask;
    HINTERNET hHandle;
};

namespace {

class CStoreLock
{
public:
    explicit CStoreLock(inner::FCAutoCSec& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CStoreLock() { m_cs.Unlock(); }
    CStoreLock(const CStoreLock&) = delete;
    CStoreLock& operator=(const CStoreLock&) = delete;

private:
    inner::FCAutoCSec& m_cs;
};

bool IsTimeoutError(DWORD dwError)
{
    return dwError == ERROR_INTERNET_TIMEOUT || dwError == WSAETIMEDOUT;
}

} // namespace

FCHttpRequest::FCHttpRequest(int nTaskId, HWND hEventWnd, const HttpRequestInfo& request)
    : m_nTaskId(nTaskId),
      m_hEventWnd(hEventWnd),
      m_request(request),
      m_dwIdleLimitMs(g_dwIdleLimitMs.load()),
      m_bFileBody(request.HasBodyFile())
{
    m_nBodyOffset.store(m_request.m_nStartByte > 0 ? m_request.m_nStartByte : 0);
    // The owner may close its handle as soon as the task is made.
    if (m_request.m_hBodyFile != nullptr &&
        !::DuplicateHandle(::GetCurrentProcess(), m_request.m_hBodyFile, ::GetCurrentProcess(), &m_hBodyFile, 0,
                           FALSE, DUPLICATE_SAME_ACCESS))
        m_hBodyFile = nullptr; // the transfer then reports a write failure
    m_request.m_hBodyFile = nullptr;
    m_hStopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_pAsync = CAsyncContext::Create(); // without it (or the event) the session is not opened
    SplitUrl();
    OpenSession();
    if (!StartWorker(&ConnectThread, m_hSession, m_hConnectThread))
        ::PostMessageW(m_hEventWnd, WM_HTTP_TASK_EVENT, m_nTaskId, HTTP_EVENT_CONNECTED);
    m_nStartTick = ::GetTickCount64();
    if (m_request.m_nTimeoutMs > 0)
        ::SetTimer(m_hEventWnd, m_nTaskId, m_request.m_nTimeoutMs, nullptr);
}

FCHttpRequest::~FCHttpRequest()
{
    if (m_hEventWnd != nullptr)
        ::KillTimer(m_hEventWnd, m_nTaskId);
    CloseInternetHandle(m_hRequest);
    CloseInternetHandle(m_hConnection);
    CloseInternetHandle(m_hSession);
    CloseThreadHandle(m_hTransferThread);
    CloseThreadHandle(m_hConnectThread);
    CloseBodyFile();
    if (m_pAsync != nullptr)
        m_pAsync->Release();
    if (m_hStopEvent != nullptr)
        ::CloseHandle(m_hStopEvent);
}

int FCHttpRequest::GetElapsedMs() const
{
    return static_cast<int>(::GetTickCount64() - m_nStartTick);
}

void FCHttpRequest::SplitUrl()
{
    const CWinInetApi& api = WinInet();
    const DWORD cchUrl = static_cast<DWORD>(m_request.m_strUrl.GetLength());
    if (!api.bLoaded || cchUrl == 0)
        return;
    std::vector<char> host(cchUrl + 8, '\0');
    std::vector<char> path(cchUrl + 8, '\0');
    std::vector<char> extra(cchUrl + 8, '\0');
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = cchUrl + 8;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = cchUrl + 8;
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = cchUrl + 8;
    if (!api.pInternetCrackUrlA(m_request.m_strUrl, cchUrl, 0, &parts))
        return; // the fields stay empty and the connect fails
    m_nScheme = parts.nScheme;
    m_strHost = host.data();
    // The query goes to the server with the path; a fragment never leaves the client.
    m_strPath = path.data();
    if (char* pHash = std::strchr(extra.data(), '#'))
        *pHash = '\0';
    m_strPath += extra.data();
}

void FCHttpRequest::OpenSession()
{
    const CWinInetApi& api = WinInet();
    if (!api.bLoaded || m_pAsync == nullptr || m_hStopEvent == nullptr)
        return;
    SkinUI::CUIString strProxy;
    DWORD dwAccess = INTERNET_OPEN_TYPE_PRECONFIG;
    if (!m_request.m_strProxyHost.IsEmpty()) {
        strProxy.FormatText("%s:%d", m_request.m_strProxyHost.Chars(), m_request.m_nProxyPort);
        dwAccess = INTERNET_OPEN_TYPE_PROXY;
    }
    m_hSession = api.pInternetOpenA(m_request.m_strUserAgent, dwAccess, strProxy.IsEmpty() ? nullptr : strProxy.Chars(),
                                    nullptr, INTERNET_FLAG_ASYNC);
    if (m_hSession == nullptr)
        return;
    // The handles made from the session inherit the callback; only the request carries a context.
    if (api.pInternetSetStatusCallbackA(m_hSession, &CAsyncContext::StatusCallback) ==
        INTERNET_INVALID_STATUS_CALLBACK) {
        CloseInternetHandle(m_hSession);
        return;
    }
    if (!m_request.m_strProxyUser.IsEmpty())
        api.pInternetSetOptionA(m_hSession, INTERNET_OPTION_PROXY_USERNAME,
                                const_cast<char*>(m_request.m_strProxyUser.Chars()),
                                m_request.m_strProxyUser.GetLength());
    if (!m_request.m_strProxyPassword.IsEmpty())
        api.pInternetSetOptionA(m_hSession, INTERNET_OPTION_PROXY_PASSWORD,
                                const_cast<char*>(m_request.m_strProxyPassword.Chars()),
                                m_request.m_strProxyPassword.GetLength());
}

bool FCHttpRequest::StartWorker(unsigned(__stdcall* pfnThread)(void*), HINTERNET hHandle, HANDLE& hThread)
{
    std::unique_ptr<WorkerStart> start(new (std::nothrow) WorkerStart{this, hHandle});
    if (!start)
        return false;
    const uintptr_t uThread = ::_beginthreadex(nullptr, 0, pfnThread, start.get(), 0, nullptr);
    if (uThread == 0)
        return false;
    start.release(); // the thread owns it now
    hThread = reinterpret_cast<HANDLE>(uThread);
    return true;
}

void FCHttpRequest::SendEvent(int nKind) const
{
    // Once stopped, the task's events would be ignored anyway, and the window may be gone.
    if (!m_bStopRequested.load())
        ::SendNotifyMessageW(m_hEventWnd, WM_HTTP_TASK_EVENT, static_cast<WPARAM>(m_nTaskId), nKind);
}

unsigned __stdcall FCHttpRequest::ConnectThread(void* pvStart)
{
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(pvStart));
    FCHttpRequest& task = *start->pTask;
    HINTERNET hConnection = nullptr;
    if (start->hHandle != nullptr && !task.m_bStopRequested.load()) {
        const INTERNET_PORT nPort =
            task.m_nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
        hConnection = WinInet().pInternetConnectA(start->hHandle, task.m_strHost, nPort, nullptr, nullptr,
                                                  INTERNET_SERVICE_HTTP, 0, 0);
    }
    task.m_hConnection = hConnection;
    // The last use of the task on this thread: after event 0 the task may close this thread's handle.
    task.SendEvent(HTTP_EVENT_CONNECTED);
    return 0;
}

void FCHttpRequest::OpenRequest()
{
    CloseThreadHandle(m_hConnectThread);
    if (m_nScheme == INTERNET_SCHEME_HTTPS)
        m_request.m_dwOpenFlags |= INTERNET_FLAG_SECURE;
    if (m_hConnection != nullptr)
        m_hRequest = WinInet().pHttpOpenRequestA(m_hConnection, VerbText(m_request.m_nVerb), m_strPath, nullptr,
                                                 nullptr, nullptr, m_request.m_dwOpenFlags,
                                                 reinterpret_cast<DWORD_PTR>(m_pAsync));
    if (m_hRequest != nullptr)
        m_pAsync->AddRef(); // the request handle's reference, dropped when WinINet reports its closing
    if (!StartWorker(&TransferThread, m_hRequest, m_hTransferThread)) {
        m_response.m_bBodyComplete = FALSE;
        m_response.m_eBodyEnd = HttpBodyEnd::NoResponse;
        ::PostMessageW(m_hEventWnd, WM_HTTP_TASK_EVENT, m_nTaskId, HTTP_EVENT_RESPONSE);
        ::PostMessageW(m_hEventWnd, WM_HTTP_TASK_EVENT, m_nTaskId, HTTP_EVENT_FINISHED);
    }
}

unsigned __stdcall FCHttpRequest::TransferThread(void* pvStart)
{
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(pvStart));
    start->pTask->RunTransfer(start->hHandle);
    return 0;
}

void FCHttpRequest::RunTransfer(HINTERNET hRequest)
{
    const SkinUI::CUIString strHeaders = BuildHttpRequestHeaders(m_request);
    // A failed send shows up as a response without a status code. It is not read: Wine's InternetReadFile
    // answers such a request with success and no bytes, which would pass for a complete empty body.
    const bool bReadable = hRequest != nullptr && !m_bStopRequested.load() && SendRequest(hRequest, strHeaders);
    SendEvent(HTTP_EVENT_RESPONSE);
    HttpBodyEnd eEnd = HttpBodyEnd::NoResponse;
    if (m_bStopRequested.load())
        eEnd = HttpBodyEnd::Stopped;
    else if (bReadable)
        eEnd = ReadBody(hRequest);
    else if (IsTimeoutError(m_pAsync != nullptr ? m_pAsync->m_dwError.load() : 0))
        m_response.m_dwBodyError = m_pAsync->m_dwError.load();
    // The owner may use the file as soon as the transfer has ended.
    {
        CStoreLock lock(m_storeLock);
        CloseBodyFile();
    }
    m_response.m_eBodyEnd = eEnd;
    m_response.m_bBodyComplete = eEnd == HttpBodyEnd::Complete ? TRUE : FALSE;
    SendEvent(HTTP_EVENT_FINISHED);
}

bool FCHttpRequest::SendRequest(HINTERNET hRequest, const SkinUI::CUIString& strHeaders)
{
    const CWinInetApi& api = WinInet();
    // The idle limit for the head and for every wait for body bytes. WinINet takes it only on the request
    // before it is sent; it is a limit per wait, so a slow but steady sender is never cut.
    DWORD dwLimit = m_dwIdleLimitMs;
    api.pInternetSetOptionA(hRequest, INTERNET_OPTION_RECEIVE_TIMEOUT, &dwLimit, sizeof(dwLimit));
    // A pending send may still read the header text and the body after a stop: they live in the context.
    CAsyncContext& context = *m_pAsync;
    context.m_strHeaders.assign(strHeaders.Chars(), static_cast<size_t>(strHeaders.GetLength()));
    context.m_strBody = m_request.m_strPostData;
    const bool bHasBody = !context.m_strBody.empty();
    ::ResetEvent(context.m_hDone);
    if (api.pHttpSendRequestA(hRequest, context.m_strHeaders.c_str(), static_cast<DWORD>(context.m_strHeaders.size()),
                              bHasBody ? &context.m_strBody[0] : nullptr,
                              bHasBody ? static_cast<DWORD>(context.m_strBody.size()) : 0))
        return true;
    return ::GetLastError() == ERROR_IO_PENDING && WaitForCompletion() && context.m_dwResult.load() != 0;
}

// Waits for the completion of the pending asynchronous call; false on a stop, and when the idle limit
// passed without one (WinINet's own receive time-out normally ends the call first).
bool FCHttpRequest::WaitForCompletion()
{
    const HANDLE ahWait[2] = {m_hStopEvent, m_pAsync->m_hDone};
    const DWORD dwWait = ::WaitForMultipleObjects(2, ahWait, FALSE, m_dwIdleLimitMs);
    if (dwWait == WAIT_TIMEOUT)
        m_pAsync->m_dwError.store(ERROR_INTERNET_TIMEOUT);
    return dwWait == WAIT_OBJECT_0 + 1;
}

HttpBodyEnd FCHttpRequest::ReadBody(HINTERNET hRequest)
{
    const DWORD dwStatus = QueryStatusCode(hRequest);
    if (dwStatus == 0)
        return HttpBodyEnd::NoResponse; // no response head: nothing can be complete
    const long long nDeclared = QueryDeclaredLength(hRequest);
    if (m_bFileBody) {
        long long nOffset = 0;
        const HttpBodyEnd eJudged = JudgeFileAnswer(hRequest, dwStatus, nOffset);
        if (eJudged != HttpBodyEnd::Running)
            return eJudged;
        const HttpBodyEnd eStarted = StartBodyFile(nOffset);
        if (eStarted != HttpBodyEnd::Running)
            return eStarted;
    } else {
        // Reserved here, on the worker and under the buffer's lock, so the body never moves while it grows.
        if (nDeclared > 0 && !m_receiveBuffer.Reserve(nDeclared))
            return HttpBodyEnd::NoRoom;
        if (m_request.m_pBodyObserver) {
            CStoreLock lock(m_storeLock);
            if (m_bStopRequested.load())
                return HttpBodyEnd::Stopped;
            m_request.m_pBodyObserver->OnBodyStart(m_nBodyOffset.load());
        }
    }
    return ReadPieces(hRequest, nDeclared);
}

// Whether a file task may store this answer, and from which byte of the resource on. Running: it may.
HttpBodyEnd FCHttpRequest::JudgeFileAnswer(HINTERNET hRequest, DWORD dwStatus, long long& nOffset) const
{
    const long long nStart = m_request.m_nStartByte > 0 ? m_request.m_nStartByte : 0;
    if (dwStatus == 200) {
        nOffset = 0; // the whole resource, also after a range request: it starts again from its first byte
        return HttpBodyEnd::Running;
    }
    if (dwStatus != 206)
        return HttpBodyEnd::StatusRefused;
    if (nStart == 0)
        return HttpBodyEnd::PartialUnasked;
    long long nFirst = 0, nLast = 0, nTotal = 0;
    if (!ParseContentRange(QueryHeaderText(hRequest, HTTP_QUERY_CONTENT_RANGE), nFirst, nLast, nTotal) ||
        nFirst != nStart || (m_request.m_nExpectedLength > 0 && nTotal != m_request.m_nExpectedLength))
        return HttpBodyEnd::RangeMismatch;
    const SkinUI::CUIString& strExpected = m_request.m_strIfRange;
    if (!strExpected.IsEmpty()) {
        const bool bTag = IsEntityTag(strExpected);
        const SkinUI::CUIString strNow = QueryHeaderText(hRequest, bTag ? HTTP_QUERY_ETAG : HTTP_QUERY_LAST_MODIFIED);
        if (strNow != strExpected.Chars())
            return HttpBodyEnd::ValidatorChanged;
    }
    nOffset = nStart;
    return HttpBodyEnd::Running;
}

// Opens the body file (a path) and cuts it at nOffset, so that it holds exactly the bytes before the body.
HttpBodyEnd FCHttpRequest::StartBodyFile(long long nOffset)
{
    CStoreLock lock(m_storeLock);
    if (m_bStopRequested.load())
        return HttpBodyEnd::Stopped;
    if (m_hBodyFile == nullptr && !m_request.m_strBodyFile.empty()) {
        const HANDLE hFile = ::CreateFileW(m_request.m_strBodyFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           nOffset > 0 ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        m_hBodyFile = hFile != INVALID_HANDLE_VALUE ? hFile : nullptr;
    }
    LARGE_INTEGER position = {};
    position.QuadPart = nOffset;
    if (m_hBodyFile == nullptr || !::SetFilePointerEx(m_hBodyFile, position, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(m_hBodyFile)) {
        m_response.m_dwBodyError = ::GetLastError();
        return HttpBodyEnd::WriteFailed;
    }
    m_nBodyOffset.store(nOffset);
    if (m_request.m_pBodyObserver)
        m_request.m_pBodyObserver->OnBodyStart(nOffset);
    return HttpBodyEnd::Running;
}

// Non-blocking reads hand over whatever has arrived. When nothing has, the read goes pending and its
// completion only says that data is there (it takes none): the next read returns it.
HttpBodyEnd FCHttpRequest::ReadPieces(HINTERNET hRequest, long long nDeclared)
{
    CAsyncContext& context = *m_pAsync;
    if (!context.m_pPiece)
        context.m_pPiece.reset(new (std::nothrow) char[kAsyncPieceBytes]);
    if (!context.m_pPiece)
        return HttpBodyEnd::NoRoom;
    long long nReceived = 0;
    for (;;) {
        if (m_bStopRequested.load())
            return HttpBodyEnd::Stopped;
        context.m_buffers = INTERNET_BUFFERSA{};
        context.m_buffers.dwStructSize = sizeof(context.m_buffers);
        context.m_buffers.lpvBuffer = context.m_pPiece.get();
        context.m_buffers.dwBufferLength = kAsyncPieceBytes;
        ::ResetEvent(context.m_hDone);
        context.m_dwError.store(0);
        if (!WinInet().pInternetReadFileExA(hRequest, &context.m_buffers, IRF_NO_WAIT,
                                            reinterpret_cast<DWORD_PTR>(&context))) {
            const DWORD dwError = ::GetLastError();
            if (dwError == ERROR_IO_PENDING && WaitForCompletion() && context.m_dwResult.load() != 0)
                continue;
            if (m_bStopRequested.load())
                return HttpBodyEnd::Stopped;
            m_response.m_dwBodyError = dwError != ERROR_IO_PENDING ? dwError : context.m_dwError.load();
            return IsTimeoutError(m_response.m_dwBodyError) ? HttpBodyEnd::Idle : HttpBodyEnd::Cut;
        }
        const DWORD dwRead = context.m_buffers.dwBufferLength;
        if (dwRead == 0) {
            // A connection closed early ends like a normal end; only the declared length shows the cut. A
            // chunked body cut before its last (empty) chunk cannot be told from a whole one under Wine: its
            // WinINet ends both alike. Windows' fails the read, and so the body is incomplete there.
            return nDeclared < 0 || nReceived == nDeclared ? HttpBodyEnd::Complete : HttpBodyEnd::Cut;
        }
        if (dwRead > kAsyncPieceBytes)
            return HttpBodyEnd::Cut;
        if (nDeclared >= 0 && nReceived + dwRead > nDeclared)
            return HttpBodyEnd::TooLong; // nothing of a body longer than it said is stored
        const HttpBodyEnd eStored = StorePiece(context.m_pPiece.get(), dwRead);
        if (eStored != HttpBodyEnd::Running)
            return eStored;
        nReceived += dwRead;
    }
}

// Stores one piece (in the receive buffer or the file) and shows it to the observer, unless a stop came first.
HttpBodyEnd FCHttpRequest::StorePiece(const char* pPiece, DWORD nBytes)
{
    CStoreLock lock(m_storeLock);
    if (m_bStopRequested.load())
        return HttpBodyEnd::Stopped;
    if (m_bFileBody) {
        DWORD nWritten = 0;
        if (!::WriteFile(m_hBodyFile, pPiece, nBytes, &nWritten, nullptr) || nWritten != nBytes) {
            m_response.m_dwBodyError = nWritten != nBytes && ::GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL
                                                                                               : ::GetLastError();
            return HttpBodyEnd::WriteFailed;
        }
        m_receiveBuffer.Count(nBytes);
    } else if (!m_receiveBuffer.Append(pPiece, static_cast<int>(nBytes))) {
        return HttpBodyEnd::NoRoom;
    }
    if (m_request.m_pBodyObserver)
        m_request.m_pBodyObserver->OnBodyBytes(pPiece, nBytes);
    return HttpBodyEnd::Running;
}

void FCHttpRequest::CloseBodyFile()
{
    if (m_hBodyFile != nullptr) {
        ::CloseHandle(m_hBodyFile);
        m_hBodyFile = nullptr;
    }
}

HANDLE FCHttpRequest::StopWorkers()
{
    {
        // Waits for a piece being stored: after this block none is.
        CStoreLock lock(m_storeLock);
        m_bStopRequested.store(true);
    }
    if (m_hStopEvent != nullptr)
        ::SetEvent(m_hStopEvent); // ends an asynchronous wait at once
    if (IsThreadRunning(m_hTransferThread))
        return m_hTransferThread;
    if (IsThreadRunning(m_hConnectThread))
        return m_hConnectThread;
    return nullptr;
}

bool FCHttpRequest::IsIdle() const
{
    return !IsThreadRunning(m_hConnectThread) && !IsThreadRunning(m_hTransferThread);
}

// ----- Manager ---------------------------------------------------------------------------------------------

FCHttpRequestManager::FCHttpRequestManager()
{
    const HINSTANCE hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &EventWndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc); // already registered by another manager: fine
    m_hEventWnd = ::CreateWindowExW(0, kWindowClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance, nullptr);
    UIASSERT(m_hEventWnd != nullptr);
    if (m_hEventWnd != nullptr)
        ::SetWindowLongPtrW(m_hEventWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

FCHttpRequestManager::~FCHttpRequestManager()
{
    if (m_hEventWnd != nullptr) {
        ::SetWindowLongPtrW(m_hEventWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hEventWnd);
        m_hEventWnd = nullptr;
    }
    std::vector<HANDLE> threads;
    auto collect = [&threads](FCHttpRequest& task) {
        const HANDLE hThread = task.StopWorkers();
        if (hThread != nullptr && std::find(threads.begin(), threads.end(), hThread) == threads.end())
            threads.push_back(hThread);
    };
    for (auto& task : m_tasks)
        collect(*task);
    for (auto& task : m_doneTasks)
        collect(*task);
    const ULONGLONG nDeadline = ::GetTickCount64() + static_cast<ULONGLONG>(std::max(m_nStopWaitMs, 0));
    for (size_t i = 0; i < threads.size(); i += MAXIMUM_WAIT_OBJECTS) {
        const ULONGLONG nNow = ::GetTickCount64();
        const DWORD dwLeft = nNow < nDeadline ? static_cast<DWORD>(nDeadline - nNow) : 0;
        const DWORD nCount = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, threads.size() - i));
        ::WaitForMultipleObjects(nCount, &threads[i], TRUE, dwLeft);
    }
    // A worker still running uses its task: that task is left alone (never deleted, its thread never
    // killed) and the process's end finishes it.
    auto release = [](std::deque<std::unique_ptr<FCHttpRequest>>& tasks) {
        for (auto& task : tasks)
            if (!task->IsIdle())
                static_cast<void>(task.release());
        tasks.clear();
    };
    release(m_tasks);
    release(m_doneTasks);
}

int FCHttpRequestManager::AddRequest(const HttpRequestInfo& request)
{
    UIASSERT(::IsWindow(m_hEventWnd));
    ::SetTimer(m_hEventWnd, CLEANUP_TIMER_ID, CLEANUP_TIMER_PERIOD_MS, nullptr);
    const int nTaskId = m_nNextTaskId++;
    m_tasks.push_back(std::make_unique<FCHttpRequest>(nTaskId, m_hEventWnd, request));
    return nTaskId;
}

int FCHttpRequestManager::AddDownload(const char* pstrUrl)
{
    return AddRequest(MakeDownloadRequest(pstrUrl));
}

HttpRequestInfo FCHttpRequestManager::MakeDownloadRequest(const char* pstrUrl)
{
    HttpRequestInfo request(0);
    request.m_strUrl = pstrUrl != nullptr ? pstrUrl : "";
    request.m_strHeaders = "Accept-Encoding: gzip, deflate\r\n";
    SkinUI::CUIString strProxyHost;
    int nProxyPort = 0;
    if (FindProxyInUrl(request.m_strUrl, strProxyHost, nProxyPort)) {
        request.m_strProxyHost = strProxyHost;
        request.m_nProxyPort = nProxyPort;
    }
    return request;
}

FCHttpRequest* FCHttpRequestManager::FindTask(int nTaskId) const
{
    for (const auto& task : m_tasks)
        if (task->GetTaskId() == nTaskId)
            return task.get();
    return nullptr;
}

void FCHttpRequestManager::DeleteTask(int nTaskId)
{
    const auto it = std::find_if(m_tasks.begin(), m_tasks.end(), [nTaskId](const std::unique_ptr<FCHttpRequest>& task) {
        return task->GetTaskId() == nTaskId;
    });
    if (it == m_tasks.end())
        return;
    std::unique_ptr<FCHttpRequest> task = std::move(*it);
    m_tasks.erase(it);
    task->StopWorkers();
    m_doneTasks.push_back(std::move(task));
}

void FCHttpRequestManager::OnTaskResponse(FCHttpRequest&) {}

void FCHttpRequestManager::OnTaskFinished(FCHttpRequest&) {}

void FCHttpRequestManager::OnTaskTimeout(FCHttpRequest&) {}

LRESULT CALLBACK FCHttpRequestManager::EventWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pManager = reinterpret_cast<FCHttpRequestManager*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pManager == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    switch (uMsg) {
    case WM_TIMER:
        pManager->HandleEventTimer(wParam);
        return 0;
    case WM_HTTP_TASK_EVENT:
        pManager->HandleTaskEvent(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    default:
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
}

void FCHttpRequestManager::HandleTaskEvent(int nTaskId, int nKind)
{
    FCHttpRequest* pTask = FindTask(nTaskId);
    if (pTask == nullptr)
        return; // stopped or gone
    switch (nKind) {
    case HTTP_EVENT_CONNECTED:
        pTask->OpenRequest();
        break;
    case HTTP_EVENT_RESPONSE:
        pTask->m_response.ReadResponse(pTask->m_hRequest);
        OnTaskResponse(*pTask);
        break;
    case HTTP_EVENT_FINISHED:
        OnTaskFinished(*pTask);
        DeleteTask(nTaskId);
        break;
    default:
        break;
    }
}

void FCHttpRequestManager::HandleEventTimer(UINT_PTR uTimerId)
{
    if (uTimerId == CLEANUP_TIMER_ID) {
        if (m_tasks.empty() && m_doneTasks.empty()) {
            ::KillTimer(m_hEventWnd, CLEANUP_TIMER_ID);
            return;
        }
        for (auto it = m_doneTasks.begin(); it != m_doneTasks.end();) {
            if ((*it)->IsIdle())
                it = m_doneTasks.erase(it); // deletes the task
            else
                ++it;
        }
        return;
    }
    ::KillTimer(m_hEventWnd, uTimerId);
    const int nTaskId = static_cast<int>(uTimerId);
    if (FCHttpRequest* pTask = FindTask(nTaskId)) {
        OnTaskTimeout(*pTask);
        DeleteTask(nTaskId);
    }
}
