#include "Parloquin/views/SettingBinding.h"

#include <QAbstractButton>
#include <QPointer>

#include "Parloquin/views/SegmentedPicker.h"

namespace parloquin {

SettingBinding::SettingBinding(platform::UserDefaults& defaults, std::string key, Value defaultValue, QObject* parent)
    : QObject(parent), defaults_(defaults), key_(std::move(key)), default_(std::move(defaultValue)) {
    last_ = value();
    // Observers run on whichever thread made the change: the controls move on ours.
    observation_ = defaults_.observe(key_, [this](const std::string&) {
        QMetaObject::invokeMethod(this, [this] { keyChanged(); }, Qt::QueuedConnection);
    });
}

SettingBinding::Value SettingBinding::value() const {
    const auto stored = defaults_.object(key_);
    if (!stored) return default_;
    if (std::holds_alternative<bool>(default_)) {
        if (std::holds_alternative<bool>(*stored) || std::holds_alternative<std::int64_t>(*stored) ||
            std::holds_alternative<double>(*stored))
            return Value(defaults_.boolForKey(key_));
        return default_;
    }
    return stored->index() == default_.index() ? *stored : default_;
}

bool SettingBinding::boolValue() const {
    const Value current = value();
    const bool* flag = std::get_if<bool>(&current);
    return flag && *flag;
}

QString SettingBinding::stringValue() const {
    const Value current = value();
    const std::string* text = std::get_if<std::string>(&current);
    return text ? QString::fromStdString(*text) : QString();
}

bool SettingBinding::setValue(const Value& value) {
    if (defaults_.set(key_, value)) return true;
    showInControls();
    return false;
}

void SettingBinding::keyChanged() {
    const Value current = value();
    if (current == last_) return;
    last_ = current;
    showInControls();
    emit changed();
}

void SettingBinding::showInControls() {
    for (const auto& show : controls_) show();
}

void SettingBinding::bindToggle(QAbstractButton* toggle) {
    QPointer<QAbstractButton> control(toggle);
    controls_.push_back([this, control] {
        if (control) control->setChecked(boolValue());
    });
    toggle->setChecked(boolValue());
    // Only what the user does writes: showing a value (setChecked) does not click.
    connect(toggle, &QAbstractButton::clicked, this, [this](bool checked) { setValue(Value(checked)); });
}

void SettingBinding::bindPicker(SegmentedPicker* picker) {
    QPointer<SegmentedPicker> control(picker);
    controls_.push_back([this, control] {
        if (control) control->setValue(stringValue());
    });
    picker->setValue(stringValue());
    connect(picker, &SegmentedPicker::valueChosen, this,
            [this](const QString& chosen) { setValue(Value(chosen.toStdString())); });
}

}  // namespace parloquin
