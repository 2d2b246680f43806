#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/AppVersion.h"
#include "Platform/system/HostDescription.h"

namespace parloquin {

// What the page "Sonstiges" shows and where its links lead, apart from its widgets.
struct OtherSettings {
    struct PrivacyFeature {
        const char* icon;
        const char* text;
    };
    struct AboutRow {
        std::string label;
        std::string value;
    };
    // A link row: opens the address, or the notices when it has none.
    struct LegalLinkRow {
        const char* icon;
        const char* title;
        const char* address;  // null: the open-source notices
    };
    struct SupportLinkRow {
        const char* icon;
        const char* title;
        const char* description;
        const char* address;
    };

    static constexpr const char* title = "SONSTIGES";
    static constexpr const char* subtitle = "Datenschutz, Lizenzen und Rechtliches";

    static constexpr const char* privacyPolicyAddress = "https://parloquin.example/datenschutz";
    static constexpr const char* termsAddress = "https://parloquin.example/agb";
    static constexpr const char* supportAddress = "https://parloquin.example/support";
    static constexpr const char* supportMailAddress = "mailto:support@parloquin.example";

    static const std::vector<PrivacyFeature>& privacyFeatures();
    // Version, operating system, processor, model, the models' size on disk, languages.
    static std::vector<AboutRow> aboutRows(const AppVersion& version, const platform::HostDescription& host,
                                           std::uint64_t modelBytes);
    // The 25 languages of the model, in the order shown.
    static const std::vector<const char*>& languages();
    static const std::vector<LegalLinkRow>& legalLinks();
    static const std::vector<SupportLinkRow>& supportLinks();

    // The folder as a person reads it, "~/.local/share/RarivOredu/": the home folder as "~".
    static std::string modelFolderText(const std::filesystem::path& folder, const std::filesystem::path& home);

    // The question before the cache is cleared; only its first button clears.
    static Alert clearCacheConfirmation();
    // Why the diagnostics report was not saved.
    static Alert diagnosticsExportFailure(const std::string& reason);

    // The status line under the tools, after each of them.
    static std::string cacheClearedText(std::size_t removed, const std::optional<std::filesystem::path>& failure);
    static std::string diagnosticsSavedText(const std::filesystem::path& file);
    static constexpr const char* modelFolderOpeningText = "Der Modellordner wird im Dateimanager geöffnet.";
    static std::string noFileManagerText(const std::filesystem::path& folder);
};

}  // namespace parloquin
