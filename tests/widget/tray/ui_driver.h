// Answering modal boxes, dialogs and menus the way a person would: a second
// thread of the test waits for the window to appear and answers it with
// messages or input while the script thread sits in the modal call.
#ifndef TESTS_WIDGET_TRAY_UI_DRIVER_H
#define TESTS_WIDGET_TRAY_UI_DRIVER_H

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace tray_test {

// A visible top-level window of class className ("#32770" for dialogs and
// message boxes, "#32768" for menus) that belongs to process pid.
HWND findWindowOf(DWORD pid, const char *className);

// Waits (up to about 20 s) on a thread of its own for a window of the class
// in process pid, then calls answer(window) on that thread, once.
class Answerer {
public:
    Answerer(const char *className, std::function<void(HWND)> answer,
             DWORD pid = GetCurrentProcessId());
    ~Answerer() { join(); }
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    // After join: whether the window appeared.
    bool found() const { return found_; }

private:
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// The text of a window or of a dialog's control.
std::wstring textOf(HWND window);
std::wstring itemText(HWND dialog, int id);
// The window with the keyboard focus in the thread of window (window itself
// when none has it).
HWND focusOf(HWND window);
// Posts a key press (down and up) to window.
void pressKey(HWND window, WORD key);
// Waits up to about 10 s for the text of window to become expected.
bool waitForText(HWND window, const std::wstring &expected);

} // namespace tray_test

#endif
