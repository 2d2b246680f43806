#include "tests/Platform/desktop/FocusedLineEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin_test {
namespace {

class EscapeCounter : public QObject {
public:
    explicit EscapeCounter(int& count) : count_(count) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) ++count_;
        return false;
    }

private:
    int& count_;
};

}  // namespace

FocusedLineEdit::FocusedLineEdit() : window_(std::make_unique<QWidget>()) {
    auto* layout = new QVBoxLayout(window_.get());
    edit_ = new QLineEdit(window_.get());
    layout->addWidget(edit_);
    QObject::connect(edit_, &QLineEdit::returnPressed, [this] { ++returnPresses_; });
    escapeCounter_ = std::make_unique<EscapeCounter>(escapePresses_);
    edit_->installEventFilter(escapeCounter_.get());
    window_->resize(300, 60);
    window_->show();
    window_->activateWindow();
    edit_->setFocus();
    waitUntil([this] { return isFocused(); });
}

FocusedLineEdit::~FocusedLineEdit() = default;

bool FocusedLineEdit::isFocused() const {
    return window_->isActiveWindow() && QApplication::focusWidget() == edit_;
}

std::string FocusedLineEdit::text() const { return edit_->text().toStdString(); }

}  // namespace parloquin_test
