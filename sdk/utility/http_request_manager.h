// The HTTP download engine. FCHttpRequestManager runs HTTP tasks (FCHttpRequest) on worker threads over
// WinINet and reports their progress to its owner, on the owner's thread, through a hidden event window.
// The owner derives from the manager and overrides the three hooks. A task's body goes into memory (the
// receive buffer) or into a file; sizes and counts are 64-bit, with 32-bit accessors kept beside them.
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

// A transfer that receives no byte for this long (waiting for the response head or for body bytes) ends
// with the bytes so far, marked incomplete: a server that stops sending never hangs the owner.
constexpr DWORD HTTP_IDLE_LIMIT_MS = 60000;
// Tests shorten the limit; applies to tasks made later.
void SetHttpIdleLimitMs(DWORD dwLimitMs);

// Sees a task's body as it is stored, on the task's transfer thread (memory and file tasks alike). Calls
// come in order and never after the task was stopped (DeleteTask) or its transfer ended; they must not wait
// for the owner's thread.
class IHttpBodyObserver
{
public:
    virtual ~IHttpBodyObserver() = default;
    // The body is stored from byte nOffset of the resource on: 0 for a whole body (also when the server
    // ignored a range request), the asked byte for a range the server granted. Bytes seen earlier from
    // nOffset on no longer count.
    virtual void OnBodyStart(long long nOffset) = 0;
    // The next bytes of the body, once they are stored.
    virtual void OnBodyBytes(const char* pBytes, size_t nBytes) = 0;
};

// A request: copied by value into each task.
struct HttpRequestInfo
{
    // nVerb: 0 GET, 1 and 2 POST, 3 DELETE, anything else GET.
    explicit HttpRequestInfo(int nVerb = 0);

    std::string m_strPostData; // request body; empty means none
    int m_nVerb;
    SkinUI::CUIString m_strUrl;
    long long m_nStartByte;           // resume position; 0 asks for the whole resource
    SkinUI::CUIString m_strUserAgent; // the platform's default user agent
    SkinUI::CUIString m_strHeaders;   // extra header lines, each ended by "\r\n"
    DWORD m_dwOpenFlags;              // INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE
    int m_nTimeoutMs;                 // the task's own time-out; 0 means none
    SkinUI::CUIString m_strProxyHost; // empty: the system's proxy settings
    int m_nProxyPort;
    SkinUI::CUIString m_strProxyUser;
    SkinUI::CUIString m_strProxyPassword;

    // The body goes into a file instead of memory when one of these is set: a handle of the owner's, opened
    // for writing (the task works on a duplicate and moves the shared file pointer while it runs), or a path
    // (opened, or made, when the answer has come). A file task stores only a 200 or a granted range (206):
    // the file then holds bytes 0 to m_nStartByte - 1 as before (all of them go after a 200) and the body
    // after them, and nothing beyond. Any other answer leaves the file as it was.
    HANDLE m_hBodyFile = nullptr;
    std::wstring m_strBodyFile;
    // With a start byte: the resource's validator (an ETag, else a Last-Modified date) sent as If-Range, so
    // that a changed resource comes whole. A file task refuses a 206 that names another validator.
    SkinUI::CUIString m_strIfRange;
    // With a start byte, the resource's full length when known: a file task refuses a 206 for another one.
    long long m_nExpectedLength = 0;
    // Optional; shared by the copies of the record, kept alive by the task while its threads may use it.
    std::shared_ptr<IHttpBodyObserver> m_pBodyObserver;

    bool HasBodyFile() const { return m_hBodyFile != nullptr || !m_strBodyFile.empty(); }
};

// How a task's transfer ended.
enum class HttpBodyEnd
{
    Running,          // not ended yet
    Complete,         // read to its end, no more and no fewer bytes than the response declared
    NoResponse,       // no response head (the send failed, no answer within the idle limit)
    Cut,              // the connection ended before the declared length, or a read failed
    Idle,             // no byte came within the idle limit
    TooLong,          // more bytes came than the response declared
    Stopped,          // the owner stopped the task
    NoRoom,           // the receive buffer could not grow
    WriteFailed,      // the body file could not be opened or written (m_dwBodyError says why)
    // File tasks: the answer was not stored, the file is as it was.
    StatusRefused,    // a status other than 200 and 206
    PartialUnasked,   // a 206 to a request without a start byte
    RangeMismatch,    // a 206 whose Content-Range does not start at the start byte, or for another length
    ValidatorChanged, // a 206 whose ETag (or Last-Modified) differs from the If-Range validator
};

// The response head of a task, read on the manager's thread when the request has been sent.
struct HttpResponseInfo
{
    int m_nStatusCode = 0;    // 0 until a response was read, or when none could be
    int m_nContentLength = 0; // Content-Length; 0 when absent, 0x7FFFFFFF from 2 GiB on
    SkinUI::CUIString m_strLastModified;
    SkinUI::CUIString m_strServer;
    // True when the body was read to its end: false after a failed read, a stop, a body shorter or longer
    // than its Content-Length, a receive buffer that could not grow or a file that could not be written.
    // Set when the transfer ends, with m_eBodyEnd and m_dwBodyError.
    BOOL m_bBodyComplete = FALSE;
    HINTERNET m_hQueriedRequest = nullptr;

    long long m_nContentLength64 = 0; // Content-Length exactly; 0 when absent
    // The whole resource's length: a 206's Content-Range total, else the Content-Length; 0 when unknown.
    long long m_nTotalLength = 0;
    long long m_nRangeStart = -1; // first byte of a 206's Content-Range; -1 without one
    SkinUI::CUIString m_strETag;
    HttpBodyEnd m_eBodyEnd = HttpBodyEnd::Running;
    DWORD m_dwBodyError = 0; // the system's error code of a failed read or write, when there was one

    void ReadResponse(HINTERNET hRequest);
};

// "bytes <first>-<last>/<total>" of a Content-Range header: false unless it has that form; a total of "*"
// gives -1.
bool ParseContentRange(const char* pstrValue, long long& nFirst, long long& nLast, long long& nTotal);

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

// Body bytes received and not yet taken. The transfer thread appends; the owner's thread takes. It also
// keeps the count of body bytes received, for file tasks too (whose bytes go to the file instead).
class CReceiveBuffer : public FCAutoCSec
{
public:
    // Makes room for nBytes more bytes; false (nothing thrown) when the buffer cannot grow that far.
    bool Reserve(long long nBytes);
    // False when the buffer cannot grow; the bytes are then not stored and not counted.
    bool Append(const char* pBytes, int nBytes);
    // Counts bytes stored elsewhere (a file task's).
    void Count(long long nBytes) { m_nReceived.fetch_add(nBytes, std::memory_order_relaxed); }
    // Hands the buffered bytes over (the storage moves, nothing is copied) and empties the buffer.
    void TakeAll(std::string& strOut);
    // All bytes received so far; read without the lock, it only grows. The 32-bit count stops at 0x7FFFFFFF.
    int GetReceived() const;
    long long GetReceived64() const { return m_nReceived.load(std::memory_order_relaxed); }

private:
    std::string m_data;
    std::atomic<long long> m_nReceived{0};
};

} // namespace inner

// One HTTP request run in the background: a connect thread, then a transfer thread that sends the request
// and reads the whole body into the receive buffer or the body file. Made, driven and deleted by the
// manager. Every wait is an asynchronous WinINet call with large non-blocking reads, on Windows and under
// Wine alike: a stop ends any wait at once.
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
    long long GetReceivedBytes64() const { return m_receiveBuffer.GetReceived64(); }
    // Where in the resource the received bytes begin: the start byte, or 0 once a file task has found that
    // the server sends the whole resource. May be called while the transfer runs.
    long long GetBodyOffset() const { return m_nBodyOffset.load(); }
    void TakeReceivedData(std::string& strData) { m_receiveBuffer.TakeAll(strData); }

    // On event 0: opens the request and starts the transfer thread.
    void OpenRequest();
    // Makes the running worker end soon; returns its thread handle (still owned by the task), or null. Once
    // it has returned, the task stores no more body bytes and calls its observer no more.
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
    HttpBodyEnd ReadBody(HINTERNET hRequest);
    HttpBodyEnd JudgeFileAnswer(HINTERNET hRequest, DWORD dwStatus, long long& nOffset) const;
    HttpBodyEnd StartBodyFile(long long nOffset);
    HttpBodyEnd ReadPieces(HINTERNET hRequest, long long nDeclared);
    HttpBodyEnd StorePiece(const char* pPiece, DWORD nBytes);
    void CloseBodyFile();
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
    const DWORD m_dwIdleLimitMs; // fixed when the task is made
    // What WinINet's completions reach (it may outlive the task), and the event a stop sets.
    CAsyncContext* m_pAsync = nullptr;
    HANDLE m_hStopEvent = nullptr;
    // Set by StopWorkers; the workers look at it between calls and send no more events.
    std::atomic<bool> m_bStopRequested{false};
    // Held while a piece is stored and while a stop is made, so that no piece is stored after a stop.
    inner::FCAutoCSec m_storeLock;
    const bool m_bFileBody;       // the body goes into a file
    HANDLE m_hBodyFile = nullptr; // the file task's own handle (a duplicate of the owner's, or opened)
    std::atomic<long long> m_nBodyOffset{0};
};

// The header text a task sends: the extra headers plus, for a start byte above 0, an open-ended Range line
// (and If-Range with the validator when there is one).
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
    // The request AddDownload makes, for an owner that sets more of it before AddRequest.
    static HttpRequestInfo MakeDownloadRequest(const char* pstrUrl);
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
