// Window-shell base: handler table, quit keys, monitor-power command, event translation, loop.
#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "app/Application.h"
#include "app/ProcessEntry.h"
#include "engine/core/Fatal.h"

namespace {

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { ClearPostedQuitForTesting(); }
    void TearDown() override { ClearPostedQuitForTesting(); }
};

SDL_Event KeyEvent(SDL_Keycode key, bool repeat = false)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.repeat = repeat ? 1 : 0;
    return e;
}

SDL_Event WindowEvent(Uint8 which, int a = 0, int b = 0)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = which;
    e.window.data1 = a;
    e.window.data2 = b;
    return e;
}

// Records what reaches the overridden operations through the table.
class ProbeApplication : public Application {
public:
    ProbeApplication() : Application("probe") {}
    bool OnKeyDown(uintptr_t wParam, intptr_t lParam) override
    {
        keys.push_back(static_cast<int>(wParam));
        return Application::OnKeyDown(wParam, lParam);
    }
    void Frame() override
    {
        keysSeenAtFrame.push_back(keys.size());
        if (keysSeenAtFrame.size() >= 50)
            PostQuitMessage(0);  // safety net: never loop forever in a failing test
    }
    std::vector<int> keys;
    std::vector<size_t> keysSeenAtFrame;
};

}  // namespace

TEST_F(ApplicationTest, EscapeAndF12QuitAndOtherKeysDoNothing)
{
    for (int key = 0; key < 256; ++key) {
        ClearPostedQuitForTesting();
        Application app("");
        EXPECT_FALSE(app.WindowProc(WM_KEYDOWN, static_cast<uintptr_t>(key), 0));
        const bool quits = key == VK_ESCAPE || key == VK_F12;
        EXPECT_EQ(app.IsQuitRequested(), quits) << key;
        EXPECT_EQ(IsQuitPosted(), quits) << key;
    }
}

TEST_F(ApplicationTest, HandlerTableReachesOverridesAndClosingTheWindowQuits)
{
    ProbeApplication app;
    EXPECT_EQ(GetCurrentApplication(), &app);
    EXPECT_TRUE(app.HasHandler(WM_SETCURSOR));
    EXPECT_TRUE(app.HasHandler(WM_DESTROY));
    EXPECT_TRUE(app.HasHandler(WM_KEYDOWN));
    EXPECT_TRUE(app.HasHandler(WM_COMMAND));
    EXPECT_FALSE(app.HasHandler(WM_MOVE));
    EXPECT_FALSE(app.HasHandler(WM_SIZE));

    app.WindowProc(WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(app.keys, std::vector<int>{'A'});
    EXPECT_FALSE(app.IsQuitRequested());
    // A message without a handler goes to default processing only.
    EXPECT_FALSE(app.WindowProc(WM_MOVE, 0, 0));

    EXPECT_FALSE(app.WindowProc(WM_DESTROY, 0, 0));
    EXPECT_TRUE(app.IsQuitRequested());
    EXPECT_FALSE(app.IsWindowLive());
    EXPECT_TRUE(IsQuitPosted());
}

TEST_F(ApplicationTest, OnlyTheMonitorPowerCommandIsSwallowed)
{
    Application app("");
    EXPECT_TRUE(app.WindowProc(WM_COMMAND, SC_MONITORPOWER, 0));
    EXPECT_TRUE(app.WindowProc(WM_COMMAND, 0x5F170, 2));  // only the low 16 bits count
    EXPECT_FALSE(app.WindowProc(WM_COMMAND, 0xF160, 0));
    EXPECT_FALSE(app.WindowProc(WM_COMMAND, 0xF1700, 0));
    EXPECT_FALSE(app.WindowProc(WM_COMMAND, 1, 0));
    EXPECT_FALSE(app.IsQuitRequested());
}

TEST_F(ApplicationTest, SdlEventsBecomeMessagesWithVirtualKeyCodes)
{
    auto key = [](SDL_Keycode k) { return TranslateEvent(KeyEvent(k)); };
    ASSERT_TRUE(key(SDLK_ESCAPE));
    EXPECT_EQ(key(SDLK_ESCAPE)->message, WM_KEYDOWN);
    EXPECT_EQ(key(SDLK_ESCAPE)->wParam, 27u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(key(SDLK_F1 + i)->wParam, static_cast<uintptr_t>(112 + i));
    EXPECT_EQ(key(SDLK_a)->wParam, static_cast<uintptr_t>('A'));
    EXPECT_EQ(key(SDLK_z)->wParam, static_cast<uintptr_t>('Z'));
    EXPECT_EQ(key(SDLK_5)->wParam, static_cast<uintptr_t>('5'));
    EXPECT_EQ(key(SDLK_SPACE)->wParam, 32u);
    EXPECT_FALSE(key(SDLK_LSHIFT).has_value());
    // An auto-repeated key is still a key-down, flagged in bit 30 of lParam.
    auto repeated = TranslateEvent(KeyEvent(SDLK_F5, true));
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->wParam, 116u);
    EXPECT_NE(repeated->lParam & (1 << 30), 0);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(TranslateEvent(quit)->message, WM_DESTROY);
    EXPECT_EQ(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE))->message, WM_DESTROY);
    auto moved = TranslateEvent(WindowEvent(SDL_WINDOWEVENT_MOVED, 100, 200));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->message, WM_MOVE);
    EXPECT_EQ(moved->lParam, (200 << 16) | 100);
    auto sized = TranslateEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 768));
    ASSERT_TRUE(sized);
    EXPECT_EQ(sized->message, WM_SIZE);
    EXPECT_EQ(sized->lParam, (768 << 16) | 1024);
    EXPECT_EQ(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_ENTER))->message, WM_SETCURSOR);
    EXPECT_FALSE(TranslateEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED)).has_value());
}

TEST_F(ApplicationTest, LoopHandlesOneEventPerFrameAndEndsAtTheQuitMessage)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    {
        ProbeApplication app;
        for (SDL_Keycode k : {SDLK_a, SDLK_b, SDLK_ESCAPE, SDLK_c}) {
            SDL_Event e = KeyEvent(k);
            ASSERT_EQ(SDL_PushEvent(&e), 1);
        }
        app.Run();
        // One key before each frame; Escape's frame still runs, then the loop ends.
        EXPECT_EQ(app.keys, (std::vector<int>{'A', 'B', 27}));
        EXPECT_EQ(app.keysSeenAtFrame, (std::vector<size_t>{1, 2, 3}));
    }
    {
        // With no events at all the loop keeps rendering frames without blocking.
        ClearPostedQuitForTesting();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        ProbeApplication idle;
        idle.Run();
        EXPECT_EQ(idle.keysSeenAtFrame.size(), 50u);
    }
    {
        // A quit posted before the loop (an Init that gave up) ends it at once.
        ClearPostedQuitForTesting();
        ProbeApplication early;
        PostQuitMessage(0);
        early.Run();
        EXPECT_TRUE(early.keysSeenAtFrame.empty());
    }
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST_F(ApplicationTest, AFloodOfUnhandledEventsDoesNotHoldBackTheNextKey)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    {
        ProbeApplication app;
        // A viewer moving the mouse while the production plays: thousands of events no
        // handler takes (motion, key releases, unmapped keys, window events, messages
        // without a handler such as WM_MOVE in the base), then Escape.
        int pushed = 0;
        for (int i = 0; i < 6000; ++i) {
            SDL_Event e{};
            switch (i % 6) {
            case 0:
            case 1:
            case 2:
                e.type = SDL_MOUSEMOTION;
                e.motion.x = i % 640;
                e.motion.y = i % 480;
                break;
            case 3:
                e = KeyEvent(SDLK_LSHIFT);
                break;
            case 4:
                e = WindowEvent(SDL_WINDOWEVENT_EXPOSED);
                break;
            default:
                e = WindowEvent(SDL_WINDOWEVENT_MOVED, i, i);
                break;
            }
            pushed += SDL_PushEvent(&e);
        }
        ASSERT_EQ(pushed, 6000);
        SDL_Event up = KeyEvent(SDLK_a);
        up.type = SDL_KEYUP;
        ASSERT_EQ(SDL_PushEvent(&up), 1);
        SDL_Event escape = KeyEvent(SDLK_ESCAPE);
        ASSERT_EQ(SDL_PushEvent(&escape), 1);
        app.Run();
        // Escape acts before the first frame; that frame runs and the loop ends.
        EXPECT_EQ(app.keys, std::vector<int>{27});
        EXPECT_EQ(app.keysSeenAtFrame, std::vector<size_t>{1});
    }
    {
        // Handled messages still take one frame each, whatever lies between them.
        ClearPostedQuitForTesting();
        ProbeApplication app;
        for (SDL_Keycode k : {SDLK_a, SDLK_LSHIFT, SDLK_b, SDLK_ESCAPE}) {
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            for (int i = 0; i < 100; ++i)
                ASSERT_EQ(SDL_PushEvent(&motion), 1);
            SDL_Event e = KeyEvent(k);
            ASSERT_EQ(SDL_PushEvent(&e), 1);
        }
        SDL_Event enter = WindowEvent(SDL_WINDOWEVENT_ENTER);
        ASSERT_EQ(SDL_PushEvent(&enter), 1);
        app.Run();
        EXPECT_EQ(app.keys, (std::vector<int>{'A', 'B', 27}));
        EXPECT_EQ(app.keysSeenAtFrame, (std::vector<size_t>{1, 2, 3}));
        // The message after the quit key stays queued for nobody.
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST_F(ApplicationTest, EventsNoHandlerTakesAreSwitchedOffSoAFullQueueCannotDropAKey)
{
    Application app("");
    ASSERT_TRUE(app.Init());  // the main window, on SDL's off-screen driver in the tests
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    // More pointer motion than SDL's queue holds (65,535 events), made the way a real
    // pointer makes it: none of it is queued, so the key behind it still gets in.
    for (int i = 0; i < 70000; ++i)
        SDL_WarpMouseInWindow(app.GetWindow(), i % 2 == 0 ? 10 : 20, 10);
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION), 0);
    SDL_Event escape = KeyEvent(SDLK_ESCAPE);
    ASSERT_EQ(SDL_PushEvent(&escape), 1);
    SDL_Event close = WindowEvent(SDL_WINDOWEVENT_CLOSE);
    ASSERT_EQ(SDL_PushEvent(&close), 1);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (Uint32 type : {SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL, SDL_KEYUP,
                        SDL_TEXTINPUT, SDL_TEXTEDITING, SDL_FINGERDOWN, SDL_FINGERUP, SDL_FINGERMOTION})
        SDL_EventState(type, SDL_ENABLE);  // the other tests push these themselves
}

// A real processor division by zero (the undefined-behaviour checker would stop it first).
static __attribute__((noinline, no_sanitize("undefined"))) int Divide(int a, volatile int& b)
{
    return a / b;
}

TEST_F(ApplicationTest, ProcessorExceptionInAFrameLeavesTheLoopAsANamedApplicationError)
{
    class Dividing : public Application {
    public:
        Dividing() : Application("") {}
        void Frame() override
        {
            if (++frames == 3)
                result = Divide(100, divisor);
        }
        int frames = 0;
        volatile int divisor = 0;
        volatile int result = 0;
    };
    Dividing app;
    try {
        app.Run();
        FAIL() << "the loop ended without an error";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "Integer divided by Zero.");
    }
    EXPECT_EQ(app.frames, 3);
}

// A stop signal during loading gives the display back before the process ends: the full-
// screen window leaves full screen and the cursor shows again.
TEST_F(ApplicationTest, RestoreDisplayLeavesFullScreenAndShowsTheCursor)
{
    RestoreDisplay();  // no application: nothing to do, no crash
    ProbeApplication application;
    ASSERT_TRUE(application.Init());
    SDL_Window* window = application.GetWindow();
    ASSERT_NE(window, nullptr);
    SDL_ShowWindow(window);
    ASSERT_EQ(SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP), 0) << SDL_GetError();
    ASSERT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    RestoreDisplay();
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN, 0u);
}
