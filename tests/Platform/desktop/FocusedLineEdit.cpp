#include "tests/Platform/desktop/FocusedLineEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin_test {

FocusedLineEdit::FocusedLineEdit() : window_(std::make_unique<QWidget>()) {
    auto* layout = new QVBoxLayout(window_.get());
    edit_ = new QLineEdit(window_.get());
    layout->addWidget(edit_);
    QObject::connect(edit_, &QLineEdit::returnPressed, [this] { ++returnPresses_; });
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
