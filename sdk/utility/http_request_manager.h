// The HTTP download engine. FCHttpRequestManager runs HTTP tasks (FCHttpRequest) on worker threads over
// WinINet and reports their progress to its owner, on the owner's thread, through a hidden event window.
// The owner derives from the manager and overrides the three hooks.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include "SkinUI/Utils/UIString.h"

typedef LPVOID HINTERNET; // as WinINet declares it; its header stays out of the engine's users

// Event message the workers send to the manager's event window: wParam = task id, lParam = event kind.
constexpr UINT WM_HTTP_TASK_EVENT = WM_APP + 0x30;
enum HttpTaskEvent
{
    HTTP_EVENT_CONNECTED = 0, // the connect thread has ended; the request is opened next
    HTTP_EVENT_RESPONSE = 1,  // the request was sent; the response head can be read
    HTTP_EVENT_FINISHED = 2,  // the body transfer has ended
};
// Timer of the event window that deletes stopped tasks; task time-out timers use the task ids (100 up).
constexpr UINT_PTR CLEANUP_TIMER_ID = 30;
constexpr UINT CLEANUP_TIMER_PERIOD_MS = 100;

// How a worker waits for WinINet, and so how a stop wakes it. CloseHandle: blocking calls, which closing
// the request handle ends (Windows). AsyncWait: asynchronous WinINet, the worker waits on events that a
// completion or a stop sets; needed under Wine, whose WinINet ignores a close while a call blocks, and
// faster there (no query per read, large non-blocking reads). Automatic picks by platform; tests force
// either. Applies to tasks made later.
enum class HttpWakeMethod
{
    Automatic,
    CloseHandle,
    AsyncWait,
};
void SetHttpWakeMethod(HttpWakeMethod eMethod);
// The method that tasks made now use (never Automatic).
HttpWakeMethod GetHttpWakeMethod();

// A transfer that receives no byte for this long (waiting for the response head or for body bytes) ends
// with the bytes so far, marked incomplete: a server that stops sending never hangs the owner.
constexpr DWORD HTTP_IDLE_LIMIT_MS = 60000;
// Tests shorten the limit; applies to tasks made later.
void SetHttpIdleLimitMs(DWORD dwLimitMs);

// A request: copied by value into each task.
struct HttpRequestInfo
{
    // nVerb: 0 GET, 1 and 2 POST, 3 DELETE, anything else GET.
    explicit HttpRequestInfo(int nVerb = 0);

    std::string m_strPostData; // request body; empty means none
    int m_nVerb;
    SkinUI::CUIString m_strUrl;
    int m_nStartByte;                 // resume position; 0 asks for the whole resource
    SkinUI::CUIString m_strUserAgent; // the platform's default user agent
    SkinUI::CUIString m_strHeaders;   // extra header lines, each ended by "\r\n"
    DWORD m_dwOpenFlags;              // INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE
    int m_nTimeoutMs;                 // the task's own time-out; 0 means none
    SkinUI::CUIString m_strProxyHost; // empty: the system's proxy settings
    int m_nProxyPort;
    SkinUI::CUIString m_strProxyUser;
    SkinUI::CUIString m_strProxyPassword;
};

// The response head of a task, read on the manager's thread when the request has been sent.
struct HttpResponseInfo
{
    int m_nStatusCode = 0;    // 0 until a response was read, or when none could be
    int m_nContentLength = 0; // Content-Length; 0 when absent
    SkinUI::CUIString m_strLastModified;
    SkinUI::CUIString m_strServer;
    // True when the body was read to its end: false after a failed read, a stop, a body shorter than its
    // Content-Length or a receive buffer that could not grow. Set when the transfer ends.
    BOOL m_bBodyComplete = FALSE;
    HINTERNET m_hQueriedRequest = nullptr;

    void ReadResponse(HINTERNET hRequest);
};

namespace inner {

// Owns one critical section for the object's life.
class FCAutoCSec
{
public:
    FCAutoCSec();
    virtual ~FCAutoCSec();
    FCAutoCSec(const FCAutoCSec&) = delete;
    FCAutoCSec& operator=(const FCAutoCSec&) = delete;

    void Lock();
    void Unlock();

private:
    CRITICAL_SECTION m_cs;
};

// Body bytes received and not yet taken. The transfer thread appends; the owner's thread takes.
class CReceiveBuffer : public FCAutoCSec
{
public:
    // Makes room for nBytes more bytes; false (nothing thrown) when the buffer cannot grow that far.
    bool Reserve(long long nBytes);
    // False when the buffer cannot grow; the bytes are then not stored and not counted.
    bool Append(const char* pBytes, int nBytes);
    // Hands the buffered bytes over (the storage moves, nothing is copied) and empties the buffer.
    void TakeAll(std::string& strOut);
    // All bytes received so far; read without the lock, it only grows.
    int GetReceived() const { return m_nReceived.load(std::memory_order_relaxed); }

private:
    std::string m_data;
    std::atomic<int> m_nReceived{0};
};

} // namespace inner

// One HTTP request run in the background: a connect thread, then a transfer thread that sends the request
// and reads the whole body into the receive buffer. Made, driven and deleted by the manager.
class FCHttpRequest
{
public:
    FCHttpRequest(int nTaskId, HWND hEventWnd, const HttpRequestInfo& request);
    virtual ~FCHttpRequest();
    FCHttpRequest(const FCHttpRequest&) = delete;
    FCHttpRequest& operator=(const FCHttpRequest&) = delete;

    int GetTaskId() const { return m_nTaskId; }
    const HttpRequestInfo& GetRequestInfo() const { return m_request; }
    const HttpResponseInfo& GetResponseInfo() const { return m_response; }
    int GetElapsedMs() const;
    // May be called while the transfer runs.
    int GetReceivedBytes() const { return m_receiveBuffer.GetReceived(); }
    void TakeReceivedData(std::string& strData) { m_receiveBuffer.TakeAll(strData); }

    // On event 0: opens the request and starts the transfer thread.
    void OpenRequest();
    // Makes the running worker end soon; returns its thread handle (still owned by the task), or null.
    HANDLE StopWorkers();
    // Neither worker thread runs.
    bool IsIdle() const;

private:
    friend class FCHttpRequestManager;
    struct WorkerStart;
    class CAsyncContext;

    static unsigned __stdcall ConnectThread(void* pvStart);
    static unsigned __stdcall TransferThread(void* pvStart);
    void SplitUrl();
    void OpenSession();
    bool StartWorker(unsigned(__stdcall* pfnThread)(void*), HINTERNET hHandle, HANDLE& hThread);
    void RunTransfer(HINTERNET hRequest);
    bool SendRequest(HINTERNET hRequest, const SkinUI::CUIString& strHeaders);
    bool WaitForCompletion();
    bool ReadBody(HINTERNET hRequest);
    bool ReadBodyBlocking(HINTERNET hRequest, long long& nReceived);
    bool ReadBodyAsync(HINTERNET hRequest, long long& nReceived);
    void SendEvent(int nKind) const;

    int m_nTaskId;
    HWND m_hEventWnd;
    HttpRequestInfo m_request;
    ULONGLONG m_nStartTick = 0;
    int m_nScheme = 0;
    SkinUI::CUIString m_strHost;
    SkinUI::CUIString m_strPath;
    HttpResponseInfo m_response;
    inner::CReceiveBuffer m_receiveBuffer;
    HINTERNET m_hSession = nullptr;
    HINTERNET m_hConnection = nullptr;
    HINTERNET m_hRequest = nullptr;
    HANDLE m_hConnectThread = nullptr;
    HANDLE m_hTransferThread = nullptr;
    // Fixed when the task is made.
    const bool m_bAsync;
    const DWORD m_dwIdleLimitMs;
    // AsyncWait: what WinINet's completions reach (it may outlive the task), and the event a stop sets.
    CAsyncContext* m_pAsync = nullptr;
    HANDLE m_hStopEvent = nullptr;
    // Set by StopWorkers; the workers look at it between blocking calls and send no more events.
    std::atomic<bool> m_bStopRequested{false};
};

// The header text a task sends: the extra headers plus, for a start byte above 0, an open-ended Range line.
SkinUI::CUIString BuildHttpRequestHeaders(const HttpRequestInfo& request);

// Runs HTTP tasks for one owner. Everything runs on the thread that made the manager, which must pump
// messages: the workers talk to it only through WM_HTTP_TASK_EVENT messages to its event window.
class FCHttpRequestManager
{
public:
    FCHttpRequestManager();
    // Stops every task, waits for their threads at most m_nStopWaitMs in all, and deletes the tasks whose
    // threads have ended; a task whose thread still runs is left alone and ends with the process.
    virtual ~FCHttpRequestManager();
    FCHttpRequestManager(const FCHttpRequestManager&) = delete;
    FCHttpRequestManager& operator=(const FCHttpRequestManager&) = delete;

    // Always makes a task and returns its id; network failures arrive later through the hooks.
    int AddRequest(const HttpRequestInfo& request);
    // A GET of pstrUrl with "Accept-Encoding: gzip, deflate". A port written in the URL's host part makes
    // that host:port the request's proxy; the request itself always goes to port 80 (443 for https).
    int AddDownload(const char* pstrUrl);
    // The running task with that id, or null (also for a task that was stopped but not yet deleted).
    FCHttpRequest* FindTask(int nTaskId) const;
    // Stops a running task; it is deleted once its threads have ended. Unknown ids are ignored.
    void DeleteTask(int nTaskId);

    HWND GetEventWindow() const { return m_hEventWnd; }
    void SetStopWaitMs(int nStopWaitMs) { m_nStopWaitMs = nStopWaitMs; }

protected:
    // The response head has been read into the task's response record; the body is being read.
    virtual void OnTaskResponse(FCHttpRequest& task);
    // The body transfer has ended. The task is deleted right after: take the body here (TakeReceivedData).
    virtual void OnTaskFinished(FCHttpRequest& task);
    // The task's own time-out elapsed while it ran; it is deleted right after.
    virtual void OnTaskTimeout(FCHttpRequest& task);

private:
    static LRESULT CALLBACK EventWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void HandleTaskEvent(int nTaskId, int nKind);
    void HandleEventTimer(UINT_PTR uTimerId);

    std::deque<std::unique_ptr<FCHttpRequest>> m_tasks;
    std::deque<std::unique_ptr<FCHttpRequest>> m_doneTasks;
    HWND m_hEventWnd = nullptr;
    int m_nStopWaitMs = 3000;
    int m_nNextTaskId = 100;
};
