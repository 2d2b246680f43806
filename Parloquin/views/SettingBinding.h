#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "Platform/system/UserDefaults.h"

class QAbstractButton;

namespace parloquin {

class SegmentedPicker;

// One setting of the user defaults, bound both ways to the controls that show it: a control
// writes the key the moment the user changes it, and any change of the key (from this page,
// another page, the tray, or an edit of the settings file) moves every control bound to it.
//
// The value read is the stored (or registered) one when it has the default's type — numbers count
// as switches — else the default given here, which is where settings without a registered
// default keep theirs. Changes made on other threads arrive on this object's thread.
class SettingBinding : public QObject {
    Q_OBJECT
public:
    using Value = platform::UserDefaults::Value;

    SettingBinding(platform::UserDefaults& defaults, std::string key, Value defaultValue, QObject* parent = nullptr);

    const std::string& key() const { return key_; }
    const Value& defaultValue() const { return default_; }
    Value value() const;
    bool boolValue() const;
    QString stringValue() const;

    // Writes the key at once. False when the store could not save it: it then keeps the old
    // value, and the bound controls show that again.
    bool setValue(const Value& value);

    void bindToggle(QAbstractButton* toggle);
    void bindPicker(SegmentedPicker* picker);

signals:
    // The value read for the key changed (after the bound controls moved).
    void changed();

private:
    void keyChanged();
    void showInControls();

    platform::UserDefaults& defaults_;
    std::string key_;
    Value default_;
    Value last_;
    std::vector<std::function<void()>> controls_;
    platform::UserDefaults::Observation observation_;
};

}  // namespace parloquin
