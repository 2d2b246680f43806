// What the page "Sonstiges" shows, apart from its widgets: the about card on a fixed machine, the
// languages, the links, the model folder as a person reads it, and the notices, kept together
// with the application's package list.
#include "Parloquin/views/OtherSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Parloquin/views/License.h"

namespace {

using parloquin::License;
using parloquin::OtherSettings;

TEST(OtherSettingsTest, TheAboutCardShowsVersionMachineAndModel) {
    platform::HostDescription host;
    host.operatingSystemVersion = "6.1 (Debian GNU/Linux 12)";
    host.processorName = "AMD Ryzen 7 7840U w/ Radeon 780M Graphics";
    auto rows = OtherSettings::aboutRows({"0.1.0", "7"}, host, 2'480'123'456);
    std::vector<std::pair<std::string, std::string>> shown;
    for (const auto& row : rows) shown.emplace_back(row.label, row.value);
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, std::string>>{
                         {"Version", "0.1.0 (7)"},
                         {"Linux", "6.1 (Debian GNU/Linux 12)"},
                         {"Chip", "AMD Ryzen 7 7840U w/ Radeon 780M Graphics"},
                         {"Modell", "Parloquin Sprachmodell v3"},
                         {"Modellgröße", "2,5 GB"},
                         {"Sprachen", "25 EU-Sprachen"},
                     }));
    // A build without version keys.
    EXPECT_EQ(OtherSettings::aboutRows({}, host, 0)[0].value, "1.0 (1)");
    EXPECT_EQ(OtherSettings::aboutRows({std::nullopt, "12"}, host, 0)[0].value, "1.0 (12)");
}

TEST(OtherSettingsTest, TheTwentyFiveLanguagesInOrder) {
    const std::vector<std::string> expected = {
        "Englisch (EN)",   "Deutsch (DE)",       "Französisch (FR)",    "Spanisch (ES)",    "Italienisch (IT)",
        "Portugiesisch (PT)", "Niederländisch (NL)", "Polnisch (PL)",   "Tschechisch (CS)", "Rumänisch (RO)",
        "Schwedisch (SV)", "Dänisch (DA)",       "Norwegisch (NO)",     "Finnisch (FI)",    "Ungarisch (HU)",
        "Slowakisch (SK)", "Kroatisch (HR)",     "Bulgarisch (BG)",     "Litauisch (LT)",   "Slowenisch (SL)",
        "Estnisch (ET)",   "Lettisch (LV)",      "Irisch (GA)",         "Maltesisch (MT)",  "Luxemburgisch (LB)",
    };
    EXPECT_EQ(std::vector<std::string>(OtherSettings::languages().begin(), OtherSettings::languages().end()),
              expected);
}

TEST(OtherSettingsTest, TheModelFolderAsAPersonReadsIt) {
    struct Case {
        const char* folder;
        const char* home;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"/home/anna/.local/share/RarivOredu", "/home/anna", "~/.local/share/RarivOredu/"},
        {"/home/anna/.local/share/RarivOredu/", "/home/anna/", "~/.local/share/RarivOredu/"},
        {"/data/anna/RarivOredu", "/home/anna", "/data/anna/RarivOredu/"},
        {"/home/annabel/RarivOredu", "/home/anna", "/home/annabel/RarivOredu/"},
        {"/srv/RarivOredu", "/", "/srv/RarivOredu/"},
        {"/home/anna/RarivOredu", "", "/home/anna/RarivOredu/"},
    };
    for (const Case& c : cases) EXPECT_EQ(OtherSettings::modelFolderText(c.folder, c.home), c.text) << c.folder;
}

std::string fileText(const std::string& relative) {
    std::ifstream in(std::string(PARLOQUIN_SOURCE_DIR) + "/" + relative);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The packages of a bash array "name=( … )", without comments, and those that one release's lines
// add to it ("name+=(…)" on one line).
std::vector<std::string> packageArray(const std::string& script, const std::string& name) {
    std::vector<std::string> packages;
    const std::size_t start = script.find("\n" + name + "=(");
    if (start == std::string::npos) return packages;
    std::istringstream lines(script.substr(start + name.size() + 3));
    for (std::string line; std::getline(lines, line);) {
        const bool last = line.find(')') != std::string::npos && line.find('#') == std::string::npos;
        line = line.substr(0, line.find('#'));
        line = line.substr(0, line.find(')'));
        std::istringstream words(line);
        for (std::string word; words >> word;) packages.push_back(word);
        if (last) break;
    }
    const std::string added = name + "+=(";
    for (std::size_t at = script.find(added); at != std::string::npos; at = script.find(added, at + 1)) {
        const std::size_t from = at + added.size();
        std::istringstream words(script.substr(from, script.find(')', from) - from));
        for (std::string word; words >> word;) packages.push_back(word);
    }
    return packages;
}

TEST(OtherSettingsTest, EveryLibraryOfTheApplicationsPackagesHasItsNoticeAndNoNoticeNamesAnotherPackage) {
    const std::vector<std::string> application =
        packageArray(fileText("scripts/packages.sh"), "application_packages");
    ASSERT_FALSE(application.empty());

    std::set<std::string> noticed;
    for (const License::Component& component : License::components())
        for (std::string_view package : component.packages) noticed.emplace(package);
    for (const std::string& package : application) {
        const bool library = package.starts_with("lib") || package.starts_with("qt6-") || package.ends_with("-dev");
        if (library) {
            EXPECT_TRUE(noticed.contains(package)) << package;
        }
    }
    const std::set<std::string> listed(application.begin(), application.end());
    for (const std::string& package : noticed) EXPECT_TRUE(listed.contains(package)) << package;
}

TEST(OtherSettingsTest, TheNoticesNameTheirLicenceAndLinkToItsText) {
    const std::vector<License> first = License::defaultNotices();
    const std::vector<License> second = License::defaultNotices();
    ASSERT_EQ(first.size(), License::components().size());
    std::set<std::string> names;
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_FALSE(first[i].license.empty()) << first[i].name;
        EXPECT_TRUE(first[i].url.starts_with("https://")) << first[i].name;
        EXPECT_TRUE(names.insert(first[i].name).second) << first[i].name;
        // Each opening makes new ids; the order stays.
        EXPECT_EQ(first[i].name, second[i].name);
        EXPECT_NE(first[i].id, second[i].id);
    }
    for (const char* component : {"Qt", "libtorch", "OpenBLAS", "libsndfile", "FFmpeg", "libsoxr", "PulseAudio",
                                  "libcurl", "ICU", "CLD2", "nlohmann-json", "eSpeak NG", "KI-Modell"}) {
        EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                                [&](const std::string& name) { return name.find(component) != std::string::npos; }))
            << component;
    }
}

}  // namespace
