#pragma once

// Stand-ins for the clipboard and the keyboard that PasteHelper delivers text through.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/PasteHelper.h"
#include "Platform/desktop/CGEvent.h"
#include "Platform/desktop/NSPasteboard.h"
#include "Platform/desktop/SyntheticKeyboard.h"
#include "tests/Parloquin/services/DesktopFakes.h"

namespace parloquin_test {

// A clipboard that keeps a log of what was done to it. One that refuses leaves its contents as
// they were, as a clipboard another program keeps.
class FakePasteboard : public platform::NSPasteboard {
public:
    void clearContents() override {
        if (!refuses) contents.reset();
        log.push_back("clear");
    }
    bool setString(const std::string& text) override {
        log.push_back("set " + text);
        if (refuses) return false;
        contents = text;
        return true;
    }
    std::optional<std::string> string() const override { return contents; }

    std::optional<std::string> contents;
    std::vector<std::string> log;
    bool refuses = false;
};

// A keyboard that notes each event and when it was posted, with the keys the user holds and the
// class of the window that has the focus.
class FakeKeyboard : public platform::SyntheticKeyboard {
public:
    bool post(const platform::CGEvent& event) override {
        events.push_back(event);
        times.push_back(std::chrono::steady_clock::now());
        if (onPost) onPost(event);
        return true;
    }
    bool isAnyKeyDown() override {
        ++keyStateReads;
        return keysDown;
    }
    std::vector<std::string> focusedWindowClass() override { return windowClass; }
    bool reachesFocusedWindow() override { return reaches; }

    std::vector<platform::CGEvent> events;
    std::vector<std::chrono::steady_clock::time_point> times;
    std::function<void(const platform::CGEvent&)> onPost;
    bool keysDown = false;
    bool reaches = true;  // false: no way reaches the focused window (it takes no keys)
    int keyStateReads = 0;
    std::vector<std::string> windowClass{"gedit", "Gedit"};
};

// Puts fakes in place of the desktop that PasteHelper works through, for one test.
class FakeDesktop {
public:
    FakeDesktop()
        : previous_(parloquin::PasteHelper::setDesktop({pasteboard, keyboard, permissions, selection})) {}
    ~FakeDesktop() { parloquin::PasteHelper::setDesktop(previous_); }
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeKeyboard> keyboard = std::make_shared<FakeKeyboard>();
    std::shared_ptr<FakePermissions> permissions = std::make_shared<FakePermissions>();
    std::shared_ptr<FakePasteboard> selection = std::make_shared<FakePasteboard>();

private:
    parloquin::PasteHelper::Desktop previous_;
};

}  // namespace parloquin_test
