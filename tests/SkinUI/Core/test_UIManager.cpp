// The paint manager without painting: registry, option groups, registration lists, notifications, control
// timers, the delete queue, focus and message routing. The host is a message-only window.
#include "UITestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// A manager with a message-only host and a root container holding the given leaves.
struct Tree
{
    EventLog log;
    CPaintManagerUI pm;
    HostWindow host{pm};
    CTestContainerUI* root = nullptr;

    explicit Tree(std::initializer_list<const char*> names = {}, bool bTabStops = false)
    {
        auto pRoot = std::make_unique<CTestContainerUI>("root", &log);
        for (const char* pstrName : names)
            pRoot->Add(std::make_unique<CRecordingControlUI>(pstrName, &log, bTabStops));
        root = pRoot.get();
        pm.SetRootControl(pRoot.release());
    }
    CRecordingControlUI* Leaf(int i) const { return static_cast<CRecordingControlUI*>(root->ChildAt(i)); }

    // Hands a WM_TIMER for a system timer id to the manager, as the window would.
    void Tick(UINT uWinTimer)
    {
        LRESULT lRes = 0;
        pm.HandleWindowMessage(WM_TIMER, uWinTimer, 0, lRes);
    }
};

class CountingFilter : public IMessageFilterUI
{
public:
    explicit CountingFilter(bool bHandle, LRESULT lResult = 0) : m_bHandle(bHandle), m_lResult(lResult) {}
    LRESULT FilterMessage(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override
    {
        messages.push_back(uMsg);
        bHandled = m_bHandle;
        return m_lResult;
    }
    std::vector<UINT> messages;

private:
    bool m_bHandle;
    LRESULT m_lResult;
};

class Accelerator : public ITranslateAccelerator
{
public:
    explicit Accelerator(LRESULT lResult) : m_lResult(lResult) {}
    LRESULT TranslateKey(MSG* pMsg) override
    {
        seen.push_back(pMsg->message);
        return m_lResult;
    }
    std::vector<UINT> seen;

private:
    LRESULT m_lResult;
};

} // namespace

// ---- Registry ----

TEST(ManagerRegistry, LaterControlOfTheSameNameWinsLookupByName)
{
    Tree t({"dup", "other", "dup"});
    EXPECT_EQ(t.pm.FindControlByName("dup"), t.Leaf(2));
    EXPECT_EQ(t.pm.FindControlByName("other"), t.Leaf(1));
    EXPECT_EQ(t.pm.FindControlByName("DUP"), nullptr); // exact case only
    // The child search ignores case and answers the first in visiting order.
    EXPECT_EQ(t.pm.FindChildByName(nullptr, "DUP"), t.Leaf(0));
    EXPECT_EQ(t.pm.FindChildByName(nullptr, "nosuch"), nullptr);
}

TEST(ManagerRegistry, ClassSearchesCountInVisitingOrder)
{
    Tree t;
    auto* pA = t.root->Add(std::make_unique<CRecordingControlUI>("a", nullptr, false, "ButtonUI"));
    t.root->Add(std::make_unique<CRecordingControlUI>("b", nullptr, false, "LabelUI"));
    auto* pC = t.root->Add(std::make_unique<CRecordingControlUI>("c", nullptr, false, "ButtonUI"));
    EXPECT_EQ(t.pm.FindChildByClass(nullptr, "ButtonUI", 0), pA);
    EXPECT_EQ(t.pm.FindChildByClass(nullptr, "ButtonUI", 1), pC);
    EXPECT_EQ(t.pm.FindChildByClass(nullptr, "ButtonUI", 2), nullptr);
    EXPECT_EQ(t.pm.FindChildByClass(nullptr, "LabelUI", 1), nullptr);
    EXPECT_EQ(t.pm.FindChildByClass(nullptr, "buttonui", 0), nullptr);
    // "*" counts every control; children come before their container without FIND_ME_FIRST.
    EXPECT_EQ(t.pm.FindChildByClass(nullptr, "*", 3), t.root);
    EXPECT_EQ(t.pm.FindChildrenByClass(nullptr, "*")->Count(), 4);
    CUIPtrArray* pButtons = t.pm.FindChildrenByClass(nullptr, "ButtonUI");
    ASSERT_EQ(pButtons->Count(), 2);
    EXPECT_EQ(pButtons->At(1), pC);
    EXPECT_EQ(t.pm.GetFoundControls(), pButtons);
}

TEST(ManagerRegistry, FindControlAtAnswersTheTopmostControl)
{
    Tree t({"under", "over"});
    t.root->SetPos(CUIRect(0, 0, 100, 100));
    t.Leaf(0)->SetPos(CUIRect(10, 10, 60, 60));
    t.Leaf(1)->SetPos(CUIRect(40, 40, 90, 90));
    EXPECT_EQ(t.pm.FindControlAt(CUIPoint(50, 50)), t.Leaf(1));
    EXPECT_EQ(t.pm.FindControlAt(CUIPoint(20, 20)), t.Leaf(0));
    EXPECT_EQ(t.pm.FindControlAt(CUIPoint(95, 5)), t.root);
    EXPECT_EQ(t.pm.FindControlAt(CUIPoint(100, 50)), nullptr); // right edge is outside
    t.Leaf(1)->SetVisible(false);
    EXPECT_EQ(t.pm.FindControlAt(CUIPoint(50, 50)), t.Leaf(0));
    EXPECT_EQ(t.pm.FindChildAt(t.Leaf(0), CUIPoint(50, 50)), t.Leaf(0));
}

TEST(ManagerRegistry, SearchesWithoutARootFindNothing)
{
    AssertCounter asserts;
    CPaintManagerUI pm;
    EXPECT_EQ(pm.FindControlByName("x"), nullptr);
    EXPECT_EQ(pm.FindControlAt(CUIPoint(1, 1)), nullptr);
    EXPECT_EQ(pm.FindChildAt(nullptr, CUIPoint(1, 1)), nullptr);
    EXPECT_EQ(pm.FindChildByName(nullptr, "x"), nullptr);
    EXPECT_EQ(pm.FindChildByClass(nullptr, "*", 0), nullptr);
    EXPECT_EQ(pm.FindChildrenByClass(nullptr, "*")->Count(), 0);
    EXPECT_EQ(pm.GetRootControl(), nullptr);
    EXPECT_FALSE(pm.AttachControlTree(nullptr, nullptr));
    EXPECT_EQ(pm.MoveFocusByTab(false), true);
    EXPECT_EQ(pm.GetFocusedControl(), nullptr);
    EXPECT_GE(asserts.Count(), 7); // programming errors are still reported
}

TEST(ManagerRegistry, ForgottenControlLeavesTheNameTableAndTheFocus)
{
    Tree t({"a", "b"});
    t.pm.FocusControl(t.Leaf(0));
    t.pm.ForgetControl(t.Leaf(0));
    EXPECT_EQ(t.pm.GetFocusedControl(), nullptr);
    EXPECT_EQ(t.pm.FindControlByName("a"), nullptr);
    EXPECT_EQ(t.pm.FindControlByName("b"), t.Leaf(1));
    // A control that lost its name to a later one does not erase the later one's entry.
    auto pOther = std::make_unique<CRecordingControlUI>("b");
    t.pm.AttachControlTree(pOther.get(), t.root);
    t.pm.ForgetControl(t.Leaf(1));
    EXPECT_EQ(t.pm.FindControlByName("b"), pOther.get());
}

TEST(ManagerRegistry, NewRootReplacesTheOldOneThroughTheDeleteQueue)
{
    Tree t({"a"});
    bool bOldDeleted = false;
    t.root->pDeletedFlag = &bOldDeleted;
    auto pNew = std::make_unique<CTestContainerUI>("newroot");
    auto* pNewRoot = pNew.get();
    EXPECT_TRUE(t.pm.SetRootControl(pNew.release()));
    EXPECT_EQ(t.pm.GetRootControl(), pNewRoot);
    EXPECT_FALSE(bOldDeleted); // kept until the delete message arrives
    HostWindow::Pump();
    EXPECT_TRUE(bOldDeleted);

    // Installing the same root again keeps it alive.
    bool bNewDeleted = false;
    pNewRoot->pDeletedFlag = &bNewDeleted;
    EXPECT_TRUE(t.pm.SetRootControl(pNewRoot));
    HostWindow::Pump();
    EXPECT_FALSE(bNewDeleted);
    pNewRoot->pDeletedFlag = nullptr;
}

TEST(ManagerRegistry, ScheduledControlIsDeletedOnceOnTheDeleteMessage)
{
    Tree t;
    bool bDeleted = false;
    auto* pDoomed = new CRecordingControlUI("doomed");
    pDoomed->pDeletedFlag = &bDeleted;
    t.pm.AttachControlTree(pDoomed, t.root);
    t.pm.ScheduleDelete(pDoomed);
    t.pm.ScheduleDelete(pDoomed); // queued once only
    EXPECT_EQ(pDoomed->GetParent(), nullptr);
    EXPECT_FALSE(bDeleted);
    HostWindow::Pump();
    EXPECT_TRUE(bDeleted);
    EXPECT_EQ(t.pm.FindControlByName("doomed"), nullptr);
}

TEST(ManagerRegistry, DestructorDeletesTheRootAndQueuedControls)
{
    bool bRootDeleted = false;
    bool bQueuedDeleted = false;
    {
        CPaintManagerUI pm;
        auto pRoot = std::make_unique<CRecordingControlUI>("root");
        pRoot->pDeletedFlag = &bRootDeleted;
        auto* pQueued = new CRecordingControlUI("queued");
        pQueued->pDeletedFlag = &bQueuedDeleted;
        pm.ScheduleDelete(pQueued);
        HostWindow host(pm);
        pm.SetRootControl(pRoot.release());
    }
    EXPECT_TRUE(bRootDeleted);
    EXPECT_TRUE(bQueuedDeleted);
}

// ---- Option groups and registration lists ----

TEST(ManagerLists, OptionGroupsDisappearWithTheirLastMember)
{
    CPaintManagerUI pm;
    CControlUI a, b;
    EXPECT_TRUE(pm.JoinOptionGroup("g", &a));
    EXPECT_FALSE(pm.JoinOptionGroup("g", &a));
    EXPECT_TRUE(pm.JoinOptionGroup("g", &b));
    ASSERT_NE(pm.GetOptionGroupMembers("g"), nullptr);
    EXPECT_EQ(pm.GetOptionGroupMembers("g")->Count(), 2);
    pm.LeaveOptionGroup("g", &a);
    pm.LeaveOptionGroup("g", &a);
    EXPECT_EQ(pm.GetOptionGroupMembers("g")->At(0), &b);
    pm.LeaveOptionGroup("g", &b);
    EXPECT_EQ(pm.GetOptionGroupMembers("g"), nullptr);
    pm.JoinOptionGroup("h", &a);
    pm.ClearOptionGroups();
    EXPECT_EQ(pm.GetOptionGroupMembers("h"), nullptr);
}

TEST(ManagerLists, RegistrationsAssertOnDuplicatesAndUnregisterReportsSuccess)
{
    AssertCounter asserts;
    CPaintManagerUI pm;
    NotifyRecorder n(nullptr);
    CountingFilter f(false);
    Accelerator acc(1);
    EXPECT_TRUE(pm.RegisterNotifier(&n));
    EXPECT_TRUE(pm.RegisterPreMessageFilter(&f));
    EXPECT_TRUE(pm.RegisterMessageFilter(&f));
    EXPECT_TRUE(pm.RegisterAccelerator(&acc));
    EXPECT_EQ(asserts.Count(), 0);
    pm.RegisterNotifier(&n);
    EXPECT_EQ(asserts.Count(), 1);
    EXPECT_TRUE(pm.UnregisterNotifier(&n));
    EXPECT_TRUE(pm.UnregisterNotifier(&n));
    EXPECT_FALSE(pm.UnregisterNotifier(&n));
    EXPECT_TRUE(pm.UnregisterPreMessageFilter(&f));
    EXPECT_FALSE(pm.UnregisterPreMessageFilter(&f));
    EXPECT_TRUE(pm.UnregisterMessageFilter(&f));
    EXPECT_TRUE(pm.UnregisterAccelerator(&acc));
    EXPECT_FALSE(pm.UnregisterAccelerator(&acc));
}

TEST(ManagerLists, PostPaintControlsCanBeReordered)
{
    CPaintManagerUI pm;
    CControlUI a, b, c;
    pm.RegisterPostPaintControl(&a);
    pm.RegisterPostPaintControl(&b);
    pm.RegisterPostPaintControl(&c);
    EXPECT_TRUE(pm.MovePostPaintControl(&c, 0));
    EXPECT_EQ(pm.CountPostPaintControls(), 3);
    EXPECT_TRUE(pm.UnregisterPostPaintControl(&c));
    EXPECT_TRUE(pm.UnregisterPostPaintControl(&a));
    EXPECT_TRUE(pm.UnregisterPostPaintControl(&b));
    EXPECT_FALSE(pm.UnregisterPostPaintControl(&b));
    EXPECT_EQ(pm.CountPostPaintControls(), 0);
}

TEST(ManagerLists, DeletedControlLeavesThePostPaintList)
{
    Tree t({"a"});
    auto* pGone = new CRecordingControlUI("gone");
    t.pm.AttachControlTree(pGone, t.root);
    t.pm.RegisterPostPaintControl(t.Leaf(0));
    t.pm.RegisterPostPaintControl(pGone);
    delete pGone;
    EXPECT_EQ(t.pm.CountPostPaintControls(), 1);
    EXPECT_FALSE(t.pm.UnregisterPostPaintControl(pGone));
    EXPECT_TRUE(t.pm.UnregisterPostPaintControl(t.Leaf(0)));
}

// ---- Notifications ----

namespace {
EventLog* g_pListenerLog = nullptr;
bool LogNotifyListener(void* pParam)
{
    const auto* pMsg = static_cast<NotifyEventUI*>(pParam);
    g_pListenerLog->push_back(std::string("listener:") + pMsg->type.Chars());
    return false; // the result is ignored
}
} // namespace

TEST(ManagerNotify, SenderListenersThenEveryNotifierInOrder)
{
    Tree t({"btn"});
    NotifyRecorder first(&t.log), second(&t.log);
    t.pm.RegisterNotifier(&first);
    t.pm.RegisterNotifier(&second);
    g_pListenerLog = &t.log;
    t.Leaf(0)->m_notifyListeners += LogNotifyListener;
    const DWORD dwBefore = ::GetTickCount();
    t.pm.SendNotify(t.Leaf(0), "click", 3, 4);
    EXPECT_EQ(t.log, (EventLog{"listener:click", "notify:click:btn", "notify:click:btn"}));
    ASSERT_EQ(first.received.size(), 1u);
    const NotifyEventUI& msg = first.received[0];
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(msg.lParam, 4);
    EXPECT_EQ(msg.mousePoint.x, -1);
    EXPECT_EQ(msg.mousePoint.y, -1);
    EXPECT_GE(msg.timestamp, dwBefore);
    EXPECT_STREQ(msg.virtualWindow, "");
}

namespace {
// A notifier that, when called, unregisters itself or another notifier, or deletes the sender.
class MeddlingNotifier : public NotifyRecorder
{
public:
    MeddlingNotifier(EventLog* pLog, CPaintManagerUI* pm) : NotifyRecorder(pLog), m_pm(pm) {}
    void ReceiveNotify(NotifyEventUI& msg) override
    {
        NotifyRecorder::ReceiveNotify(msg);
        if (pUnregister != nullptr)
            m_pm->UnregisterNotifier(pUnregister);
        if (bDeleteSender) {
            delete msg.sender;
            bDeleteSender = false;
        }
    }
    INotifyUI* pUnregister = nullptr;
    bool bDeleteSender = false;

private:
    CPaintManagerUI* m_pm;
};

// A sender listener that deletes the control it listens to.
struct SenderDeleter
{
    EventLog* log;
    CControlUI* pControl;
    bool OnNotify(void*)
    {
        log->push_back("deleter");
        delete pControl;
        return true;
    }
};
} // namespace

TEST(ManagerNotify, ReceiversMayUnregisterOrDeleteTheSenderWhileItIsDelivered)
{
    struct Case
    {
        const char* name;
        int iActor;      // the notifier that acts (0..2), or -1 for the sender's own listener
        int iUnregister; // the notifier it unregisters (-1: none)
        bool bDelete;    // it deletes the sender
        EventLog expected;
    };
    const Case cases[] = {
        {"first unregisters itself", 0, 0, false, {"notify:click:s", "notify:click:s", "notify:click:s"}},
        {"middle unregisters itself", 1, 1, false, {"notify:click:s", "notify:click:s", "notify:click:s"}},
        {"first unregisters the last", 0, 2, false, {"notify:click:s", "notify:click:s"}},
        {"first deletes the sender", 0, -1, true, {"notify:click:s", "notify:click:null", "notify:click:null"}},
        {"listener deletes the sender",
         -1,
         -1,
         true,
         {"deleter", "notify:click:null", "notify:click:null", "notify:click:null"}},
    };
    for (const Case& c : cases) {
        Tree t;
        auto* pSender = new CRecordingControlUI("s");
        bool bDeleted = false;
        pSender->pDeletedFlag = &bDeleted;
        t.pm.AttachControlTree(pSender, t.root);
        std::unique_ptr<MeddlingNotifier> notifiers[3];
        for (auto& p : notifiers) {
            p = std::make_unique<MeddlingNotifier>(&t.log, &t.pm);
            t.pm.RegisterNotifier(p.get());
        }
        SenderDeleter deleter{&t.log, pSender};
        if (c.iActor < 0) {
            pSender->m_notifyListeners += MakeDelegate(&deleter, &SenderDeleter::OnNotify);
        } else {
            if (c.iUnregister >= 0)
                notifiers[c.iActor]->pUnregister = notifiers[c.iUnregister].get();
            notifiers[c.iActor]->bDeleteSender = c.bDelete;
        }
        t.pm.SendNotify(pSender, "click");
        EXPECT_EQ(t.log, c.expected) << c.name;
        EXPECT_EQ(bDeleted, c.bDelete) << c.name;
        if (!bDeleted)
            delete pSender;
    }
}

TEST(ManagerNotify, QueuedNotificationWaitsForTheDrain)
{
    Tree t({"a", "b"});
    NotifyRecorder notes(&t.log);
    t.pm.RegisterNotifier(&notes);
    t.pm.SendNotify(t.Leaf(0), "first", 1, 0, true);
    t.pm.SendNotify(t.Leaf(1), "second", 2, 0, true);
    EXPECT_TRUE(t.log.empty());
    t.pm.DrainNotifyQueue();
    EXPECT_EQ(t.log, (EventLog{"notify:first:a", "notify:second:b"}));
    EXPECT_EQ(notes.received[1].wParam, 2u);
    t.log.clear();
    t.pm.DrainNotifyQueue();
    EXPECT_TRUE(t.log.empty());
}

TEST(ManagerNotify, QueuedNotificationOfAForgottenSenderHasNoSender)
{
    Tree t({"a"});
    NotifyRecorder notes(&t.log);
    t.pm.RegisterNotifier(&notes);
    {
        CRecordingControlUI temp("temp");
        t.pm.AttachControlTree(&temp, t.root);
        t.pm.SendNotify(&temp, "late", 0, 0, true);
    }
    t.pm.DrainNotifyQueue();
    EXPECT_EQ(t.log, (EventLog{"notify:late:null"}));
}

TEST(ManagerNotify, WindowMessagesDrainTheQueue)
{
    Tree t({"a"});
    NotifyRecorder notes(&t.log);
    t.pm.RegisterNotifier(&notes);
    t.pm.SendNotify(t.Leaf(0), "queued", 0, 0, true);
    ::SendMessageA(t.host.Handle(), WM_NULL, 0, 0);
    EXPECT_EQ(t.log, (EventLog{"notify:queued:a"}));
}

namespace {
// Queues a follow-up notification while the first one is delivered.
class ChainingNotifier : public INotifyUI
{
public:
    ChainingNotifier(CPaintManagerUI& pm, EventLog& log) : m_pm(pm), m_log(log) {}
    void ReceiveNotify(NotifyEventUI& msg) override
    {
        m_log.push_back(msg.type.Chars());
        if (msg.type == "first")
            m_pm.SendNotify(msg.sender, "second", 0, 0, true);
    }

private:
    CPaintManagerUI& m_pm;
    EventLog& m_log;
};
} // namespace

TEST(ManagerNotify, NotificationsQueuedDuringTheDrainAreDeliveredByIt)
{
    Tree t({"a"});
    ChainingNotifier chain(t.pm, t.log);
    t.pm.RegisterNotifier(&chain);
    t.pm.SendNotify(t.Leaf(0), "first", 0, 0, true);
    t.pm.DrainNotifyQueue();
    EXPECT_EQ(t.log, (EventLog{"first", "second"}));
}

TEST(ManagerNotify, VirtualWindowRoutingFillsTheName)
{
    Tree t({"a"});
    NotifyRecorder notes(nullptr);
    t.pm.RegisterNotifier(&notes);
    t.root->SetVirtualWindow("page1");
    t.pm.SendNotify(t.Leaf(0), "click");
    t.pm.SendNotify(t.Leaf(0), "later", 0, 0, true);
    t.pm.DrainNotifyQueue();
    ASSERT_EQ(notes.received.size(), 2u);
    EXPECT_STREQ(notes.received[0].virtualWindow, "page1");
    EXPECT_STREQ(notes.received[1].virtualWindow, "page1");
}

TEST(ManagerNotify, MessageFilterThatHandlesStopsTheMessage)
{
    Tree t;
    CountingFilter pass(false), stop(true, 42), never(true, 7);
    t.pm.RegisterMessageFilter(&pass);
    t.pm.RegisterMessageFilter(&stop);
    t.pm.RegisterMessageFilter(&never);
    LRESULT lRes = 0;
    EXPECT_TRUE(t.pm.HandleWindowMessage(WM_USER + 5, 0, 0, lRes));
    EXPECT_EQ(lRes, 42);
    EXPECT_EQ(pass.messages.size(), 1u);
    EXPECT_TRUE(never.messages.empty());

    CPaintManagerUI unattached;
    EXPECT_FALSE(unattached.HandleWindowMessage(WM_USER + 5, 0, 0, lRes));
}

// ---- Control timers ----

TEST(ManagerTimers, FirstSystemIdIs17AndATimerCannotStartTwice)
{
    Tree t({"a", "b"});
    EXPECT_TRUE(t.pm.StartControlTimer(t.Leaf(0), 8, 100000));
    EXPECT_FALSE(t.pm.StartControlTimer(t.Leaf(0), 8, 50));
    EXPECT_TRUE(t.pm.StartControlTimer(t.Leaf(1), 8, 100000)); // same id, other control
    t.Tick(17);
    ASSERT_EQ(t.Leaf(0)->events.size(), 1u);
    EXPECT_EQ(t.Leaf(0)->events[0].nKind, UIEV_TIMER);
    EXPECT_EQ(t.Leaf(0)->events[0].wParam, 8u);
    EXPECT_EQ(t.Leaf(0)->senders[0], t.Leaf(0));
    EXPECT_TRUE(t.Leaf(1)->events.empty());
    t.Tick(18);
    EXPECT_EQ(t.Leaf(1)->events.size(), 1u);
}

TEST(ManagerTimers, ElapsedTimerBecomesATimerNotification)
{
    Tree t({"a"});
    NotifyRecorder notes(&t.log);
    t.pm.RegisterNotifier(&notes);
    t.pm.StartControlTimer(t.Leaf(0), 10, 100000);
    t.Tick(17);
    ASSERT_EQ(notes.received.size(), 1u);
    EXPECT_STREQ(notes.received[0].type, "timer");
    EXPECT_EQ(notes.received[0].wParam, 10u);
    EXPECT_EQ(notes.received[0].sender, t.Leaf(0));
}

TEST(ManagerTimers, StoppedTimerIsSilentAndRestartsOnItsOldId)
{
    Tree t({"a"});
    EXPECT_FALSE(t.pm.StopControlTimer(t.Leaf(0), 9));
    ASSERT_TRUE(t.pm.StartControlTimer(t.Leaf(0), 9, 100000));
    EXPECT_TRUE(t.pm.StopControlTimer(t.Leaf(0), 9));
    EXPECT_FALSE(t.pm.StopControlTimer(t.Leaf(0), 9));
    t.Tick(17);
    EXPECT_TRUE(t.Leaf(0)->events.empty());
    ASSERT_TRUE(t.pm.StartControlTimer(t.Leaf(0), 9, 100000));
    t.Tick(17);
    EXPECT_EQ(t.Leaf(0)->events.size(), 1u);
}

TEST(ManagerTimers, SystemIdsWrapBackTo17AndNeverCollide)
{
    Tree t({"a", "b"});
    // Ids 17..254 are handed out; 0..16 never (the host window's own timers use them). Then every id is
    // taken and a start fails instead of stealing one.
    for (UINT i = 0; i < 238; ++i)
        ASSERT_TRUE(t.pm.StartControlTimer(t.Leaf(0), i, 100000)) << i;
    EXPECT_FALSE(t.pm.StartControlTimer(t.Leaf(1), 1, 100000));
    for (UINT id = 0; id < 17; ++id)
        t.Tick(id);
    EXPECT_TRUE(t.Leaf(0)->events.empty());
    t.Tick(254);
    ASSERT_EQ(t.Leaf(0)->events.size(), 1u);
    EXPECT_EQ(t.Leaf(0)->events.back().wParam, 237u);

    // Removing a control's timers frees their ids; the counter wraps back to 17.
    t.pm.StopAllTimersOf(t.Leaf(0));
    EXPECT_TRUE(t.pm.StartControlTimer(t.Leaf(1), 1, 100000));
    EXPECT_TRUE(t.pm.StartControlTimer(t.Leaf(1), 2, 100000));
    t.Leaf(0)->events.clear();
    for (UINT id = 0; id < 255; ++id)
        t.Tick(id);
    EXPECT_TRUE(t.Leaf(0)->events.empty());
    ASSERT_EQ(t.Leaf(1)->events.size(), 2u);
    t.Tick(17);
    t.Tick(18);
    ASSERT_EQ(t.Leaf(1)->events.size(), 4u);
    EXPECT_EQ(t.Leaf(1)->events[2].wParam, 1u);
    EXPECT_EQ(t.Leaf(1)->events[3].wParam, 2u);
}

TEST(ManagerTimers, TimersNeedAHostWindowAndDieWithTheirControl)
{
    CPaintManagerUI lone;
    CControlUI c;
    EXPECT_FALSE(lone.StartControlTimer(&c, 1, 10));

    Tree t({"a"});
    {
        CRecordingControlUI temp("temp");
        t.pm.AttachControlTree(&temp, t.root);
        ASSERT_TRUE(t.pm.StartControlTimer(&temp, 1, 100000));
    }
    t.Tick(17); // the record went with the control: nothing is delivered to freed memory
    ASSERT_TRUE(t.pm.StartControlTimer(t.Leaf(0), 1, 100000));
    t.Tick(18);
    EXPECT_EQ(t.Leaf(0)->events.size(), 1u);
    t.pm.StopAllTimers();
    t.Tick(18);
    EXPECT_EQ(t.Leaf(0)->events.size(), 1u);
}

// ---- Focus ----

TEST(ManagerFocus, MovingTheFocusReportsInOrder)
{
    Tree t({"A", "B"});
    NotifyRecorder notes(&t.log);
    t.pm.RegisterNotifier(&notes);
    t.pm.FocusControl(t.Leaf(0));
    t.log.clear();
    t.pm.FocusControl(t.Leaf(1));
    EXPECT_EQ(t.log, (EventLog{"A:killfocus<-B", "notify:killfocus:A", "B:setfocus<-B", "notify:setfocus:B"}));
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(1));
    EXPECT_TRUE(t.Leaf(1)->IsFocused());
    EXPECT_FALSE(t.Leaf(0)->IsFocused());
    t.log.clear();
    t.pm.FocusControl(t.Leaf(1));
    EXPECT_TRUE(t.log.empty());
    EXPECT_EQ(::GetFocus(), t.host.Handle());
}

TEST(ManagerFocus, ControlThatCannotTakeTheFocusOnlyClearsIt)
{
    Tree t({"A", "B"});
    NotifyRecorder notes(&t.log);
    t.pm.RegisterNotifier(&notes);
    t.pm.FocusControl(t.Leaf(0));
    t.Leaf(1)->SetEnabled(false);
    t.log.clear();
    t.pm.FocusControl(t.Leaf(1));
    EXPECT_EQ(t.log, (EventLog{"A:killfocus<-B", "notify:killfocus:A"}));
    EXPECT_EQ(t.pm.GetFocusedControl(), nullptr);

    // A control of another manager.
    CPaintManagerUI other;
    CRecordingControlUI foreign("F", &t.log);
    foreign.SetManager(&other, nullptr, false);
    t.pm.FocusControl(t.Leaf(0));
    t.log.clear();
    t.pm.FocusControl(&foreign);
    EXPECT_EQ(t.log, (EventLog{"A:killfocus<-F", "notify:killfocus:A"}));
    EXPECT_EQ(t.pm.GetFocusedControl(), nullptr);
    foreign.SetManager(nullptr, nullptr, false);
}

namespace {
// Deletes itself when it loses the focus.
class SelfDeletingControl : public CRecordingControlUI
{
public:
    using CRecordingControlUI::CRecordingControlUI;
    void HandleEvent(InputEventUI& event) override
    {
        if (event.nKind == UIEV_KILLFOCUS) {
            delete this;
            return;
        }
        CRecordingControlUI::HandleEvent(event);
    }
};
} // namespace

TEST(ManagerFocus, ControlDeletedByItsKillFocusIsNotReportedAfterwards)
{
    Tree t({"B"});
    NotifyRecorder notes(&t.log);
    t.pm.RegisterNotifier(&notes);
    auto* pSelf = new SelfDeletingControl("S", &t.log);
    t.pm.AttachControlTree(pSelf, t.root);
    t.pm.FocusControl(pSelf);
    t.log.clear();
    t.pm.FocusControl(t.Leaf(0));
    EXPECT_EQ(t.log, (EventLog{"B:setfocus<-B", "notify:setfocus:B"}));
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(0));
}

TEST(ManagerFocus, BackwardTabWrapsToTheLastTabStop)
{
    Tree t({"one", "plain", "two", "three"}, true);
    auto* pPlain = t.Leaf(1);
    pPlain->SetEnabled(false); // disabled controls are skipped
    t.pm.FocusControl(t.Leaf(0));
    t.pm.MoveFocusByTab(false);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(3));
    t.pm.MoveFocusByTab(false);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(2));
    t.pm.MoveFocusByTab(false);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(0));
}

// ---- Routing queued messages ----

TEST(ManagerRouting, QueuedMessagesPassAcceleratorsThenPreFilters)
{
    Tree t;
    Accelerator passes(1), consumes(0);
    CountingFilter pre(true);
    MSG msg = {};
    msg.hwnd = t.host.Handle();
    msg.message = WM_KEYDOWN;
    EXPECT_FALSE(CPaintManagerUI::RouteQueuedMessage(&msg));
    t.pm.RegisterPreMessageFilter(&pre);
    EXPECT_TRUE(CPaintManagerUI::RouteQueuedMessage(&msg));
    EXPECT_EQ(pre.messages.size(), 1u);
    t.pm.RegisterAccelerator(&passes);
    t.pm.RegisterAccelerator(&consumes);
    EXPECT_TRUE(CPaintManagerUI::RouteQueuedMessage(&msg));
    EXPECT_EQ(passes.seen.size(), 1u);
    EXPECT_EQ(consumes.seen.size(), 1u);
    EXPECT_EQ(pre.messages.size(), 1u); // consumed before the pre-filters

    // A child window's messages reach its skinned parent's manager.
    const HWND hChild = ::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, t.host.Handle(), nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hChild, nullptr);
    msg.hwnd = hChild;
    EXPECT_TRUE(CPaintManagerUI::RouteQueuedMessage(&msg));
    EXPECT_EQ(consumes.seen.size(), 2u);
    ::DestroyWindow(hChild);

    msg.hwnd = nullptr;
    EXPECT_FALSE(CPaintManagerUI::RouteQueuedMessage(&msg));
}
