#pragma once

// Stand-ins for the desktop's permission checks and alerts, recording what they are asked.

#include <functional>
#include <vector>

#include "Parloquin/services/AlertPresenter.h"
#include "Platform/desktop/PermissionProbe.h"

namespace parloquin_test {

class FakePermissions : public platform::PermissionProbe {
public:
    bool isAccessibilityTrusted(bool prompt) override {
        (prompt ? prompts : checks)++;
        return accessibility;
    }
    bool canMonitorInput() override { return inputMonitoring; }

    bool accessibility = true;
    bool inputMonitoring = true;
    int checks = 0;
    int prompts = 0;
};

class RecordingAlerts : public parloquin::AlertPresenter {
public:
    int runModal(const parloquin::Alert& alert) override {
        shown.push_back(alert);
        if (duringModal) duringModal();
        return response;
    }
    std::vector<parloquin::Alert> shown;
    int response = parloquin::alertFirstButtonReturn + 1;
    std::function<void()> duringModal;
};

}  // namespace parloquin_test
