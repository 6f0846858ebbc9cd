// Window records, classes and the per-thread message queues.
#include "platform/plat_window.h"
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>
#include "platform/plat_backend.h"
#include "platform/plat_listbox.h"
#include "platform/plat_time.h"

namespace {

struct Queue {
    uint32_t id = 0;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<MSG> messages;
    bool quit = false;
    int32_t quitCode = 0;
    void (*idle)(void*) = nullptr;
    void* idleParam = nullptr;
    uint32_t idlePeriod = 20;
};

struct Window {
    HWND handle = 0;
    std::string className;
    WNDPROC proc = nullptr;
    HWND parent = 0;
    uint32_t controlId = 0;
    std::shared_ptr<Queue> queue;
    std::string title;
    PLAT_RECT rect{0, 0, 0, 0};
    int showState = SW_HIDE;
    bool destroying = false;
    void* data = nullptr;
    uint32_t style = 0;
};

struct WindowClass {
    std::string name;
    WNDPROC proc;
    const MENU_ENTRY* menu;
    uint32_t menuCount;
};

struct TestMessage {
    uint32_t atTick;
    uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
};

// Guards the window table, the classes, the queue registry and the test
// messages. A queue's own mutex may be held while this one is taken, never
// the other way round.
std::mutex g_mutex;
std::map<HWND, std::shared_ptr<Window>> g_windows;
std::vector<WindowClass> g_classes;
std::map<uint32_t, std::weak_ptr<Queue>> g_queues;
std::vector<TestMessage> g_testMessages;
HWND g_nextHandle = 1;
uint32_t g_nextQueue = 1;
uint32_t g_guiQueue = 0;

thread_local std::shared_ptr<Queue> t_queue;

struct IdleGate {
    uint32_t (*busy)(void*);
    void* param;
};
std::mutex g_gateMutex;
std::vector<IdleGate> g_gates;

bool GatesBusy()
{
    std::lock_guard<std::mutex> lock(g_gateMutex);
    for (const IdleGate& g : g_gates)
        if (g.busy(g.param))
            return true;
    return false;
}

constexpr uint32_t WAIT_IDLE_MS = 1000;
constexpr uint32_t WAIT_TESTS_MS = 5;

std::shared_ptr<Queue> CurrentQueue()
{
    if (!t_queue) {
        t_queue = std::make_shared<Queue>();
        std::lock_guard<std::mutex> lock(g_mutex);
        t_queue->id = g_nextQueue++;
        g_queues[t_queue->id] = t_queue;
    }
    return t_queue;
}

std::shared_ptr<Window> FindWindow(HWND handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(handle);
    return it == g_windows.end() ? nullptr : it->second;
}

bool IsGuiQueue(const Queue& q)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_guiQueue == q.id;
}

void Push(const std::shared_ptr<Queue>& q, const MSG& msg, bool front)
{
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        if (front)
            q->messages.push_front(msg);
        else
            q->messages.push_back(msg);
    }
    q->cv.notify_all();
    if (IsGuiQueue(*q) && PLAT_GetBackend()->wake)
        PLAT_GetBackend()->wake();
}

MSG MakeMsg(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    return MSG{window, message, wParam, lParam, PLAT_GetTickCount()};
}

void PostDueTestMessages(const Queue& q)
{
    std::vector<TestMessage> due;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_testMessages.empty() || g_guiQueue != q.id)
            return;
        uint32_t now = PLAT_GetTickCount();
        for (auto it = g_testMessages.begin(); it != g_testMessages.end();) {
            if (static_cast<int32_t>(now - it->atTick) >= 0) {
                due.push_back(*it);
                it = g_testMessages.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const TestMessage& t : due) {
        HWND main = PLAT_GetMainWindow();
        if (!main || !PLAT_PostMessage(main, t.message, t.wParam, t.lParam)) {
            // No run is on: keep the message for the next main window.
            std::lock_guard<std::mutex> lock(g_mutex);
            g_testMessages.push_back(t);
        }
    }
}

bool HasTestMessages()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return !g_testMessages.empty();
}

// Takes the next message of a live window (or a thread message) or the quit
// message; false when the queue holds neither.
bool TakeMessage(Queue& q, MSG* msg, int32_t* result)
{
    while (!q.messages.empty()) {
        MSG m = q.messages.front();
        q.messages.pop_front();
        if (m.hwnd && !PLAT_IsWindow(m.hwnd))
            continue;   // its window was destroyed
        *msg = m;
        *result = 1;
        return true;
    }
    if (q.quit) {
        q.quit = false;
        *msg = MSG{0, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, PLAT_GetTickCount()};
        *result = 0;
        return true;
    }
    return false;
}

LRESULT CallProc(const std::shared_ptr<Window>& w, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    return w->proc ? w->proc(w->handle, message, wParam, lParam) : 0;
}

uint32_t MatchAccelerator(const ACCEL* table, uint32_t count, const MSG* msg, uint16_t* cmd)
{
    const uint8_t modifierMask = FSHIFT | FCONTROL | FALT;
    uint8_t modifiers = 0;
    if (msg->lParam & PLAT_KEY_SHIFT) modifiers |= FSHIFT;
    if (msg->lParam & PLAT_KEY_CTRL) modifiers |= FCONTROL;
    if (msg->lParam & PLAT_KEY_ALT) modifiers |= FALT;
    for (uint32_t i = 0; i < count; ++i) {
        const ACCEL& a = table[i];
        bool virt = a.fVirt & FVIRTKEY;
        bool match = false;
        if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN)
            match = virt && a.key == msg->wParam && (a.fVirt & modifierMask) == modifiers;
        else if (msg->message == WM_CHAR)
            match = !virt && !(a.fVirt & FALT) && a.key == msg->wParam;
        else if (msg->message == WM_SYSCHAR)
            match = !virt && (a.fVirt & FALT) && a.key == msg->wParam;
        if (match) {
            *cmd = a.cmd;
            return 1;
        }
    }
    return 0;
}

}

uint32_t PLAT_RegisterClass(const PLAT_WNDCLASS* cls)
{
    if (!cls || !cls->className || !cls->proc)
        return 0;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const WindowClass& c : g_classes)
        if (strcasecmp(c.name.c_str(), cls->className) == 0)
            return 0;
    g_classes.push_back(WindowClass{cls->className, cls->proc, cls->menu, cls->menuCount});
    return 1;
}

void PLAT_UnregisterClass(const char* className)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_classes.erase(std::remove_if(g_classes.begin(), g_classes.end(),
                                   [&](const WindowClass& c) { return strcasecmp(c.name.c_str(), className) == 0; }),
                    g_classes.end());
}

HWND PLAT_CreateWindow(const char* className, const char* title, uint32_t style, int32_t x, int32_t y, int32_t width,
                       int32_t height, HWND parent, uint32_t controlId, void* createParam)
{
    auto w = std::make_shared<Window>();
    const MENU_ENTRY* menu = nullptr;
    uint32_t menuCount = 0;
    w->queue = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (strcasecmp(className, PLAT_LISTBOX_CLASS) == 0) {
            w->proc = PLAT_ListBoxProc;
        } else if (strcasecmp(className, PLAT_STATIC_CLASS) == 0 || strcasecmp(className, PLAT_BUTTON_CLASS) == 0) {
            w->proc = PLAT_DefWindowProc;
        } else {
            for (const WindowClass& c : g_classes)
                if (strcasecmp(c.name.c_str(), className) == 0) {
                    w->proc = c.proc;
                    menu = c.menu;
                    menuCount = c.menuCount;
                }
        }
        if (!w->proc || (parent && !g_windows.count(parent)))
            return 0;
        if (g_guiQueue == 0)
            g_guiQueue = w->queue->id;
        w->handle = g_nextHandle++;
        w->className = className;
        w->title = title ? title : "";
        w->parent = parent;
        w->controlId = controlId;
        w->style = style;
        w->rect = PLAT_RECT{x, y, x + width, y + height};
        g_windows[w->handle] = w;
    }
    if (w->proc == PLAT_ListBoxProc)
        PLAT_ListBoxAttach(w->handle);
    PLAT_GetBackend()->windowCreated(w->handle, className, w->title.c_str(), parent, menu, menuCount);
    if (CallProc(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(createParam)) == -1) {
        PLAT_DestroyWindow(w->handle);
        return 0;
    }
    return w->handle;
}

uint32_t PLAT_DestroyWindow(HWND window)
{
    std::shared_ptr<Window> w;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_windows.find(window);
        if (it == g_windows.end() || it->second->destroying)
            return 0;
        w = it->second;
        w->destroying = true;
    }
    CallProc(w, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto& [handle, child] : g_windows)
            if (child->parent == window)
                children.push_back(handle);
    }
    for (HWND child : children)
        PLAT_DestroyWindow(child);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windows.erase(window);
    }
    if (w->proc == PLAT_ListBoxProc)
        PLAT_ListBoxDetach(window);
    PLAT_GetBackend()->windowDestroyed(window);
    return 1;
}

uint32_t PLAT_IsWindow(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return window != 0 && g_windows.count(window) != 0;
}

uint32_t PLAT_GetWindowId(HWND window)
{
    auto w = FindWindow(window);
    return w ? w->controlId : 0;
}

HWND PLAT_GetParent(HWND window)
{
    auto w = FindWindow(window);
    return w ? w->parent : 0;
}

uint32_t PLAT_ShowWindow(HWND window, int showState)
{
    auto w = FindWindow(window);
    if (!w)
        return 0;
    uint32_t wasVisible = w->showState != SW_HIDE;
    w->showState = showState;
    PLAT_GetBackend()->windowShown(window, showState);
    CallProc(w, WM_WINDOWPOSCHANGED, 0, 0);
    return wasVisible;
}

uint32_t PLAT_IsWindowVisible(HWND window)
{
    auto w = FindWindow(window);
    return w && w->showState != SW_HIDE;
}

uint32_t PLAT_IsIconic(HWND window)
{
    auto w = FindWindow(window);
    return w && (w->showState == SW_SHOWMINIMIZED || w->showState == 6 || w->showState == 7);
}

uint32_t PLAT_MoveWindow(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t)
{
    auto w = FindWindow(window);
    if (!w)
        return 0;
    w->rect = PLAT_RECT{x, y, x + width, y + height};
    if (PLAT_GetBackend()->windowMoved)
        PLAT_GetBackend()->windowMoved(window);
    CallProc(w, WM_WINDOWPOSCHANGED, 0, 0);
    return 1;
}

uint32_t PLAT_GetWindowRect(HWND window, PLAT_RECT* rect)
{
    auto w = FindWindow(window);
    if (!w)
        return 0;
    *rect = w->rect;
    return 1;
}

HWND PLAT_FindChild(HWND parent, uint32_t controlId)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [handle, w] : g_windows)
        if (w->parent == parent && w->controlId == controlId && !w->destroying)
            return handle;
    return 0;
}

std::vector<HWND> PLAT_GetChildren(HWND parent)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<HWND> children;
    for (auto& [handle, w] : g_windows)
        if (w->parent == parent && !w->destroying)
            children.push_back(handle);
    return children;
}

uint32_t PLAT_GetWindowStyle(HWND window)
{
    auto w = FindWindow(window);
    return w ? w->style : 0;
}

std::string PLAT_GetClassName(HWND window)
{
    auto w = FindWindow(window);
    return w ? w->className : std::string();
}

uint32_t PLAT_GetClientRect(HWND window, PLAT_RECT* rect)
{
    auto w = FindWindow(window);
    if (!w)
        return 0;
    *rect = PLAT_RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return 1;
}

void PLAT_InvalidateWindow(HWND) {}

HWND PLAT_GetMainWindow()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [handle, w] : g_windows)
        if (w->parent == 0 && !w->destroying)
            return handle;
    return 0;
}

uint32_t PLAT_PostMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<Queue> q;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_windows.find(window);
        if (it == g_windows.end() || it->second->destroying)
            return 0;
        q = it->second->queue;
    }
    Push(q, MakeMsg(window, message, wParam, lParam), false);
    return 1;
}

LRESULT PLAT_SendMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    auto w = FindWindow(window);
    return w ? CallProc(w, message, wParam, lParam) : 0;
}

uint32_t PLAT_PostCommand(HWND window, uint16_t commandId)
{
    return PLAT_PostMessage(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

LRESULT PLAT_DefWindowProc(HWND window, uint32_t message, WPARAM, LPARAM lParam)
{
    if (message == WM_CLOSE)
        PLAT_DestroyWindow(window);
    else if (message == WM_SETTEXT)
        PLAT_SetWindowText(window, reinterpret_cast<const char*>(lParam));
    return 0;
}

uint32_t PLAT_GetCurrentThreadQueue()
{
    return CurrentQueue()->id;
}

uint32_t PLAT_PostThreadMessage(uint32_t queue, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<Queue> q;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_queues.find(queue);
        if (it == g_queues.end())
            return 0;
        q = it->second.lock();
    }
    if (!q)
        return 0;
    Push(q, MakeMsg(0, message, wParam, lParam), false);
    return 1;
}

void PLAT_PostQuitMessage(int32_t exitCode)
{
    auto q = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->quit = true;
        q->quitCode = exitCode;
    }
    q->cv.notify_all();
}

int32_t PLAT_GetMessage(MSG* msg)
{
    auto q = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_guiQueue == 0)
            g_guiQueue = q->id;
    }
    const PLAT_BACKEND* backend = PLAT_GetBackend();
    for (;;) {
        PostDueTestMessages(*q);
        std::unique_lock<std::mutex> lock(q->mutex);
        int32_t result;
        if (TakeMessage(*q, msg, &result))
            return result;
        uint32_t wait = HasTestMessages() ? WAIT_TESTS_MS : WAIT_IDLE_MS;
        if (q->idle && PLAT_IsVirtualTime() && GatesBusy()) {
            q->cv.wait_for(lock, std::chrono::milliseconds(1));
            continue;
        }
        if (q->idle && PLAT_IsVirtualTime()) {
            auto fn = q->idle;
            void* param = q->idleParam;
            uint32_t period = q->idlePeriod;
            lock.unlock();
            PLAT_AdvanceVirtualTime(period);
            fn(param);
            lock.lock();
            if (!q->messages.empty() || q->quit)
                continue;
            wait = WAIT_TESTS_MS;   // nothing came of it: let other threads post
        }
        if (backend->waitEvents && IsGuiQueue(*q)) {
            lock.unlock();
            backend->waitEvents(wait);
            continue;
        }
        q->cv.wait_for(lock, std::chrono::milliseconds(wait));
    }
}

// What a user or a signal asks for: keys, commands, closing a window, quitting.
bool IsInputMessage(uint32_t message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_COMMAND || message == WM_CLOSE;
}

uint32_t PLAT_InputWaiting()
{
    const PLAT_BACKEND* backend = PLAT_GetBackend();
    auto q = CurrentQueue();
    if (backend->pollInput && IsGuiQueue(*q))
        backend->pollInput();
    std::lock_guard<std::mutex> lock(q->mutex);
    if (q->quit)
        return 1;
    for (const MSG& m : q->messages)
        if (IsInputMessage(m.message))
            return 1;
    return 0;
}

uint32_t PLAT_MessagesWaitingBesides(uint32_t message)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q->mutex);
    if (q->quit)
        return 1;
    for (const MSG& m : q->messages)
        if (m.message != message)
            return 1;
    return 0;
}

uint32_t PLAT_PeekMessage(MSG* msg)
{
    auto q = CurrentQueue();
    PostDueTestMessages(*q);
    std::lock_guard<std::mutex> lock(q->mutex);
    while (!q->messages.empty()) {
        MSG m = q->messages.front();
        q->messages.pop_front();
        if (m.hwnd && !PLAT_IsWindow(m.hwnd))
            continue;
        *msg = m;
        return 1;
    }
    return 0;
}

uint32_t PLAT_TranslateMessage(const MSG* msg)
{
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)
        return 0;
    uint8_t character = static_cast<uint8_t>((msg->lParam >> 16) & 0xFF);
    if (!character)
        return 0;
    uint32_t message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    MSG ch = MakeMsg(msg->hwnd, message, character, msg->lParam);
    std::shared_ptr<Queue> q;
    if (msg->hwnd) {
        auto w = FindWindow(msg->hwnd);
        if (!w)
            return 0;
        q = w->queue;
    } else {
        q = CurrentQueue();
    }
    // The character comes next, ahead of anything posted meanwhile.
    Push(q, ch, true);
    return 1;
}

LRESULT PLAT_DispatchMessage(const MSG* msg)
{
    if (!msg->hwnd)
        return 0;
    auto w = FindWindow(msg->hwnd);
    return w ? CallProc(w, msg->message, msg->wParam, msg->lParam) : 0;
}

uint32_t PLAT_TranslateAccelerator(HWND window, const ACCEL* table, uint32_t count, const MSG* msg)
{
    uint16_t cmd;
    if (!table || !PLAT_IsWindow(window) || !MatchAccelerator(table, count, msg, &cmd))
        return 0;
    PLAT_SendMessage(window, WM_COMMAND, MAKEWPARAM(cmd, 1), 0);
    return 1;
}

void PLAT_SetIdleTimer(void (*fn)(void* param), void* param, uint32_t periodMs)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q->mutex);
    q->idle = fn;
    q->idleParam = param;
    q->idlePeriod = periodMs ? periodMs : 1;
}

uint32_t PLAT_SetWindowText(HWND window, const char* text)
{
    std::string title = text ? text : "";
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_windows.find(window);
        if (it == g_windows.end())
            return 0;
        it->second->title = title;
    }
    if (PLAT_GetBackend()->titleChanged)
        PLAT_GetBackend()->titleChanged(window, title.c_str());
    return 1;
}

uint32_t PLAT_GetWindowText(HWND window, char* buffer, uint32_t bufferSize)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(window);
    if (it == g_windows.end() || bufferSize == 0)
        return 0;
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(it->second->title.size(), bufferSize - 1));
    memcpy(buffer, it->second->title.data(), n);
    buffer[n] = 0;
    return n;
}

uint32_t PLAT_SetWindowData(HWND window, void* data)
{
    auto w = FindWindow(window);
    if (!w)
        return 0;
    w->data = data;
    return 1;
}

void* PLAT_GetWindowData(HWND window)
{
    auto w = FindWindow(window);
    return w ? w->data : nullptr;
}

void PLAT_ShowFrame(HWND window, const uint8_t* rgb, int32_t width, int32_t height, uint32_t stride)
{
    const PLAT_BACKEND* backend = PLAT_GetBackend();
    if (backend->showFrame)
        backend->showFrame(window, rgb, width, height, stride);
}

uint32_t PLAT_WantsFrames()
{
    return PLAT_GetBackend()->showFrame != nullptr;
}

void PLAT_AddIdleGate(uint32_t (*busy)(void* param), void* param)
{
    std::lock_guard<std::mutex> lock(g_gateMutex);
    g_gates.push_back(IdleGate{busy, param});
}

void PLAT_RemoveIdleGate(uint32_t (*busy)(void* param), void* param)
{
    std::lock_guard<std::mutex> lock(g_gateMutex);
    g_gates.erase(std::remove_if(g_gates.begin(), g_gates.end(),
                                 [&](const IdleGate& g) { return g.busy == busy && g.param == param; }),
                  g_gates.end());
}

int32_t PLAT_MessageBox(HWND owner, const char* text, const char* caption, uint32_t type)
{
    return PLAT_GetBackend()->messageBox(owner, text ? text : "", caption ? caption : "", type);
}

void PLAT_ScheduleTestMessage(uint32_t atTick, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_testMessages.push_back(TestMessage{atTick, message, wParam, lParam});
}

void PLAT_ClearTestMessages()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_testMessages.clear();
}

void PLAT_ResetWindows()
{
    std::vector<std::shared_ptr<Window>> old;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto& [handle, w] : g_windows)
            old.push_back(w);
        g_windows.clear();
        g_classes.clear();
        g_queues.clear();
        g_testMessages.clear();
        g_guiQueue = 0;
    }
    for (auto& w : old)
        if (w->proc == PLAT_ListBoxProc)
            PLAT_ListBoxDetach(w->handle);
    t_queue.reset();
}
