#pragma once

#include <memory>
#include <vector>

#include "Parloquin/views/License.h"
#include "Parloquin/views/SheetView.h"

class QAbstractButton;

namespace platform {
class NSWorkspace;
}

namespace parloquin {

// The sheet "Open-Source-Lizenzen": one row per notice with its licence and the button
// "Lizenz anzeigen", which opens the licence text.
class OpenSourceLicensesView : public SheetView {
public:
    OpenSourceLicensesView(std::vector<License> licenses, std::shared_ptr<platform::NSWorkspace> workspace,
                           QWidget* parent = nullptr);

    const std::vector<License>& licenses() const { return licenses_; }
    // The button "Lizenz anzeigen" of each row, in list order.
    const std::vector<QAbstractButton*>& licenseButtons() const { return licenseButtons_; }

private:
    std::vector<License> licenses_;
    std::shared_ptr<platform::NSWorkspace> workspace_;
    std::vector<QAbstractButton*> licenseButtons_;
};

}  // namespace parloquin
