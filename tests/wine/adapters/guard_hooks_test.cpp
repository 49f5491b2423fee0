// The real low-level hooks under injected input: a stand-in guard thread
// arms them and owns a focused window that records every key message it is
// given and stands in for the guard dialog the alarm start is posted to; the
// test thread injects with SendInput. A key event the filter swallows never
// reaches the window; a final F13 marks the end of each injected sequence.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "win32/callback_edge_win32.h"
#include "win32/scoped_win32.h"
#include "guard/guard_dialog_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_thread_win32.h"
#include "guard/input_hooks_win32.h"
#include "tests/wine/injected_input.h"

namespace {

constexpr WORD SENTINEL = VK_F13;
constexpr UINT RUN_HERE = WM_APP + 7;

struct KeyMessage {
    UINT message;
    WPARAM key;
};

class GuardStandIn {
public:
    GuardStandIn()
    {
        thread_ = std::thread([this] { Main(); });
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return window_ != nullptr; });
    }
    ~GuardStandIn()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    // Runs the function on the hook thread and waits for it.
    void Run(const std::function<void()>& function)
    {
        SendMessageW(window_, RUN_HERE, 0, reinterpret_cast<LPARAM>(&function));
    }

    HWND Window() const { return window_; }
    bool CloseAsked() const { return closeAsked_; }
    // The alarm starts posted to the window, and the cause of the last one.
    int AlarmStarts() const { return alarmStarts_; }
    WPARAM LastCause() const { return lastCause_; }

    std::vector<KeyMessage> Keys()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return keys_;
    }
    void ClearKeys()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        keys_.clear();
        closeAsked_ = false;
    }
    bool SawSentinel()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::any_of(keys_.begin(), keys_.end(),
                           [](const KeyMessage& k) { return k.message == WM_KEYUP && k.key == SENTINEL; });
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        auto* self = reinterpret_cast<GuardStandIn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            if (self) {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->keys_.push_back({message, wParam});
            }
            break;
        case WM_CLOSE:
            if (self)
                self->closeAsked_ = true;
            return 0;  // recorded, never obeyed
        case RUN_HERE:
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 0;
        case WM_APP_ALARM:
            if (self) {
                self->lastCause_ = wParam;
                ++self->alarmStarts_;
            }
            return 0;
        default:
            break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void Main()
    {
        threadId_ = GetCurrentThreadId();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"GuardHooksTestWindow";
        RegisterClassW(&windowClass);
        HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"guard hooks test",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 300, 200, nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetForegroundWindow(window);
        SetFocus(window);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            window_ = window;
        }
        ready_.notify_all();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DestroyWindow(window);
    }

    std::thread thread_;
    DWORD threadId_ = 0;
    std::mutex mutex_;
    std::condition_variable ready_;
    HWND window_ = nullptr;
    std::vector<KeyMessage> keys_;
    std::atomic<bool> closeAsked_{false};
    std::atomic<int> alarmStarts_{0};
    std::atomic<WPARAM> lastCause_{0};
};

// Where the motion tests start: over no window, as Wine's X driver turns its
// own cursor warps over a window into late moves back to where it was.
constexpr POINT AWAY = {700, 450};

void Key(WORD key, bool up)
{
    Inject(KeyInput(key, up));
}

// Presses the keys in order and releases them in reverse.
void Chord(const std::vector<WORD>& keys)
{
    for (WORD key : keys)
        Key(key, false);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        Key(*key, true);
}

void Move(LONG dx, LONG dy)
{
    Inject(MouseInput(MOUSEEVENTF_MOVE, dx, dy));
}

// Five pixels at a time, as longer relative moves are accelerated; then a
// move of nothing, as each move is counted at the next event.
void MoveSlowly(LONG dx, LONG dy)
{
    const LONG steps = std::max(std::abs(dx), std::abs(dy)) / 5;
    for (LONG i = 0; i < steps; ++i)
        Move(dx / steps, dy / steps);
    Move(0, 0);
}

class GuardHooksTest : public testing::Test {
protected:
    GuardStandIn hooks;
    GuardConfig config;  // no mouse trigger, the usual sensitivity

    void SetUp() override
    {
        config.flags = 0;
        hooks.Run([] { SetFocus(nullptr); });
        hooks.Run([this] {
            SetForegroundWindow(hooks.Window());
            SetFocus(hooks.Window());
        });
    }

    // Injects the sentinel and waits until the window has it, so everything
    // injected before has been through the hooks.
    void Settle()
    {
        Chord({SENTINEL});
        for (int i = 0; i < 300 && !hooks.SawSentinel(); ++i)
            Sleep(10);
        ASSERT_TRUE(hooks.SawSentinel()) << "injected input never reached the test window";
    }

    // A hook answer Wine gave up waiting for still posts, after the sentinel:
    // wait for the expected count, then give the count for the check.
    int AlarmStartsReaching(int expected)
    {
        for (int i = 0; i < 300 && hooks.AlarmStarts() < expected; ++i)
            Sleep(10);
        return hooks.AlarmStarts();
    }

    // Under load Wine may report a position from before the last moves for a
    // while: a start point taken then would count them twice.
    void CursorSettlesAt(LONG x, LONG y)
    {
        POINT at = {};
        for (int i = 0; i < 300 && (!GetCursorPos(&at) || at.x != x || at.y != y); ++i)
            Sleep(10);
        ASSERT_TRUE(at.x == x && at.y == y) << "the cursor stayed at " << at.x << "," << at.y;
    }

    bool Reached(WPARAM key)
    {
        auto keys = hooks.Keys();
        return std::any_of(keys.begin(), keys.end(), [key](const KeyMessage& k) { return k.key == key; });
    }

    bool ReachedDown(WPARAM key)
    {
        auto keys = hooks.Keys();
        return std::any_of(keys.begin(), keys.end(), [key](const KeyMessage& k) {
            return k.key == key && (k.message == WM_KEYDOWN || k.message == WM_SYSKEYDOWN);
        });
    }

    void Arm()
    {
        bool armed = false;
        hooks.Run([&] { armed = !::Arm(hooks.Window(), config); });
        ASSERT_TRUE(armed);
    }
    void Disarm() { hooks.Run([] { ::Disarm(); }); }
};

// Arm registers the guard's alarm with the callback edge: a failure that
// reaches any edge starts it while armed, and nothing once disarmed.
TEST_F(GuardHooksTest, AFailureAtACallbacksEdgeStartsTheAlarmOnlyWhileArmed)
{
    const auto fail = [] { throw std::runtime_error("a failure for the test"); };
    const int before = hooks.AlarmStarts();
    Arm();
    AtCallbackEdge(fail);
    EXPECT_EQ(AlarmStartsReaching(before + 1), before + 1);
    EXPECT_EQ(hooks.LastCause(), WPARAM(AlarmCause::CallbackFailure));
    Disarm();
    AtCallbackEdge(fail);
    Settle();
    EXPECT_EQ(hooks.AlarmStarts(), before + 1);
}

TEST_F(GuardHooksTest, UnarmedAltF4AsksTheWindowToClose)
{
    // Without the hooks the same injection does reach the window: what the
    // armed tests see missing is the filter's doing.
    Chord({VK_LMENU, VK_F4});
    Settle();
    EXPECT_TRUE(ReachedDown(VK_F4));
    EXPECT_TRUE(hooks.CloseAsked());
}

TEST_F(GuardHooksTest, ArmedShortcutsNeverReachAWindow)
{
    Arm();
    EXPECT_TRUE(GuardArmed());
    struct Shortcut {
        const char* name;
        std::vector<WORD> keys;
        std::vector<WORD> blocked;  // must reach no window
    };
    // With Alt's own events gone, the second key of an Alt chord arrives as a
    // plain key press (an F4, a Tab), which closes and switches nothing.
    const Shortcut shortcuts[] = {
        {"Alt+F4", {VK_LMENU, VK_F4}, {VK_MENU}},
        {"Alt+Tab", {VK_LMENU, VK_TAB}, {VK_MENU}},
        {"Alt+Esc", {VK_LMENU, VK_ESCAPE}, {VK_MENU}},
        {"right Alt+F4", {VK_RMENU, VK_F4}, {VK_MENU}},
        {"Ctrl+Esc", {VK_LCONTROL, VK_ESCAPE}, {VK_ESCAPE}},
        {"Ctrl+Shift+Esc", {VK_LCONTROL, VK_LSHIFT, VK_ESCAPE}, {VK_SHIFT, VK_ESCAPE}},
        {"left Windows key", {VK_LWIN}, {VK_LWIN}},
        {"right Windows key", {VK_RWIN}, {VK_RWIN}},
    };
    for (const Shortcut& shortcut : shortcuts) {
        RenewHooks();  // a fresh filter swallows as the first did
        hooks.ClearKeys();
        Chord(shortcut.keys);
        Settle();
        for (WORD key : shortcut.blocked)
            EXPECT_FALSE(Reached(key)) << shortcut.name << ": key " << key << " got through";
        for (const KeyMessage& k : hooks.Keys())
            EXPECT_TRUE(k.message != WM_SYSKEYDOWN && k.message != WM_SYSKEYUP)
                << shortcut.name << ": a system key message for key " << k.key;
        EXPECT_FALSE(hooks.CloseAsked()) << shortcut.name;
        EXPECT_TRUE(IsWindow(hooks.Window())) << shortcut.name;
    }
    Disarm();
    EXPECT_FALSE(GuardArmed());
}

TEST_F(GuardHooksTest, ArmedTypingReachesTheWindow)
{
    Arm();
    const WORD typed[] = {'A', 'Z', '0', '7', VK_RETURN, VK_BACK, VK_SHIFT, VK_TAB, VK_ESCAPE};
    for (WORD key : typed)
        Chord({key == VK_SHIFT ? WORD(VK_LSHIFT) : key});
    Settle();
    for (WORD key : typed)
        EXPECT_TRUE(ReachedDown(key)) << "key " << key;
    Disarm();
}

TEST_F(GuardHooksTest, ArmedTypingStillWorksAfterCtrl)
{
    Arm();
    Chord({VK_LCONTROL});
    Chord({VK_RCONTROL});
    Chord({'K'});
    Chord({'3'});
    Chord({VK_RETURN});
    Settle();
    EXPECT_TRUE(ReachedDown('K'));
    EXPECT_TRUE(ReachedDown('3'));
    EXPECT_TRUE(ReachedDown(VK_RETURN));
    EXPECT_FALSE(GetAsyncKeyState(VK_CONTROL) & 0x8000);
    Disarm();
}

TEST_F(GuardHooksTest, DisarmedKeysFlowAgain)
{
    Arm();
    Disarm();
    Chord({VK_LWIN});
    Chord({VK_LMENU, VK_TAB});
    Settle();
    EXPECT_TRUE(ReachedDown(VK_LWIN));
    EXPECT_TRUE(ReachedDown(VK_TAB));
}

LONG Travel(POINT from, POINT to)
{
    // Whole pixels per step, as the detector counts them.
    const double dx = double(to.x - from.x);
    const double dy = double(to.y - from.y);
    return LONG(std::sqrt(dx * dx + dy * dy));
}

TEST_F(GuardHooksTest, MotionPastTheSensitivityPostsOneAlarmStart)
{
    config.flags = FLAG_TRIGGER_MOUSE_MOVE;
    config.sensitivity = 50;
    SetCursorPos(AWAY.x, AWAY.y);
    Settle();
    const int before = hooks.AlarmStarts();
    Arm();
    POINT start = {};
    GetCursorPos(&start);
    // Five pixels at a time up to 50 (longer relative moves are accelerated);
    // each move is counted at the next event.
    LONG travelled = 0;
    POINT last = start;
    for (int i = 0; i < 10; ++i) {
        if (i == 5)
            RenewHooks();  // the travel so far is kept
        Move(5, 0);
        Move(0, 0);
        Settle();
        POINT now = {};
        GetCursorPos(&now);
        travelled += Travel(last, now);
        last = now;
    }
    ASSERT_EQ(travelled, 50) << "the injected moves were not taken one pixel each";
    EXPECT_EQ(hooks.AlarmStarts(), before);
    Move(0, 1);
    Move(0, 0);
    Settle();
    EXPECT_EQ(AlarmStartsReaching(before + 1), before + 1);
    EXPECT_EQ(hooks.LastCause(), WPARAM(AlarmCause::MouseMoved));
    // Clicks and zero moves after it add nothing.
    Move(0, 0);
    Move(0, 0);
    Settle();
    EXPECT_EQ(hooks.AlarmStarts(), before + 1);
    hooks.Run([] { StopHook(); });
    Move(0, 60);
    Move(0, 0);
    Settle();
    EXPECT_EQ(hooks.AlarmStarts(), before + 1) << "motion counted after StopHook";
    Disarm();
}

TEST_F(GuardHooksTest, NoMouseHookWithoutTheMotionTrigger)
{
    config.sensitivity = 20;
    SetCursorPos(AWAY.x, AWAY.y);
    Settle();
    const int before = hooks.AlarmStarts();
    Arm();
    MoveSlowly(30, 0);
    Settle();
    EXPECT_EQ(hooks.AlarmStarts(), before) << "motion counted with the trigger off";
    CursorSettlesAt(AWAY.x + 30, AWAY.y);
    hooks.Run([] { SetHook(); });  // counts from here
    MoveSlowly(0, 15);
    Settle();
    EXPECT_EQ(hooks.AlarmStarts(), before);
    CursorSettlesAt(AWAY.x + 30, AWAY.y + 15);
    hooks.Run([] { ResetDistance(); });
    MoveSlowly(0, 15);
    Settle();
    EXPECT_EQ(hooks.AlarmStarts(), before) << "ResetDistance kept the travel";
    MoveSlowly(0, 10);
    Settle();
    EXPECT_EQ(AlarmStartsReaching(before + 1), before + 1);
    Disarm();
    MoveSlowly(0, -40);
    Settle();
    EXPECT_EQ(hooks.AlarmStarts(), before + 1) << "disarmed, motion still posted an alarm start";
}

TEST_F(GuardHooksTest, HooksAnswerWhileTheArmingThreadIsBusy)
{
    // The arming thread stands still (as in a slow alarm start) until the
    // injected input has been answered: the hooks must not need it.
    config.flags = FLAG_TRIGGER_MOUSE_MOVE;
    config.sensitivity = 20;
    SetCursorPos(AWAY.x, AWAY.y);
    Settle();
    const int before = hooks.AlarmStarts();
    Arm();
    const ScopedHandle busy(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread blocker([&] {
        hooks.Run([&] {
            SetEvent(busy.Get());
            WaitForSingleObject(release.Get(), INFINITE);
        });
    });
    WaitForSingleObject(busy.Get(), INFINITE);
    Chord({VK_LMENU, VK_TAB});
    Move(30, 0);
    Move(0, 0);
    SetEvent(release.Get());
    blocker.join();
    Settle();
    EXPECT_FALSE(Reached(VK_MENU)) << "Alt got through while the arming thread was busy";
    EXPECT_EQ(AlarmStartsReaching(before + 1), before + 1) << "the motion was not counted while the arming thread was busy";
    Disarm();
}

TEST(GuardHooksRefusalTest, NoHooksOnTheDesktopRefusesToArm)
{
    // A desktop this program may not hook: Arm says so and leaves nothing armed.
    const ScopedDesktop desktop(CreateDesktopW(L"KestrovaNoHooks", nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    const ScopedDesktop noHooks(OpenDesktopW(L"KestrovaNoHooks", 0, FALSE, DESKTOP_CREATEWINDOW | DESKTOP_READOBJECTS));
    ASSERT_TRUE(noHooks);
    bool armed = true;
    std::thread([&] {
        ASSERT_TRUE(SetThreadDesktop(noHooks.Get()));
        armed = !Arm(nullptr, GuardConfig{});
        EXPECT_FALSE(GuardArmed());
        ResetDistance();  // no hook thread to wait for
        Disarm();
    }).join();
    EXPECT_FALSE(armed);
}

}  // namespace
