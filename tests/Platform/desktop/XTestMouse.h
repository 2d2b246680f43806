#pragma once

typedef struct _XDisplay Display;

namespace parloquin_test {

// The test's mouse: moves the pointer and clicks through XTEST on a connection of its own.
class XTestMouse {
public:
    XTestMouse();
    ~XTestMouse();
    XTestMouse(const XTestMouse&) = delete;
    XTestMouse& operator=(const XTestMouse&) = delete;

    bool isOpen() const { return display_ != nullptr; }

    // Screen coordinates of the default screen.
    void moveTo(int x, int y);
    void click(int x, int y, unsigned button = 1);

private:
    Display* display_;
};

}  // namespace parloquin_test
