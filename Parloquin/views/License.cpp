#include "Parloquin/views/License.h"

namespace parloquin {

// Kept together with the application's package list in scripts/packages.sh: a test checks that
// every library package there has its notice here, and that every package named here is listed there.
const std::vector<License::Component>& License::components() {
    static const std::vector<Component> components = {
        {"Qt", "LGPL 3.0", "https://doc.qt.io/qt-6/lgpl.html",
         {"qt6-base-dev", "qt6-svg-dev", "libqt6svg6", "qt6-svg-plugins", "qt6-translations-l10n"}},
        {"libtorch (PyTorch)", "BSD 3-Clause", "https://github.com/pytorch/pytorch/blob/main/LICENSE",
         {"libtorch-dev"}},
        {"oneDNN", "Apache 2.0", "https://github.com/oneapi-src/oneDNN/blob/master/LICENSE", {"libdnnl-dev"}},
        {"OpenBLAS", "BSD 3-Clause", "https://github.com/OpenMathLib/OpenBLAS/blob/develop/LICENSE",
         {"libopenblas0-pthread", "libopenblas-dev"}},
        {"libsndfile", "LGPL 2.1", "https://github.com/libsndfile/libsndfile/blob/master/COPYING",
         {"libsndfile1-dev"}},
        {"FFmpeg", "LGPL 2.1 / GPL 2.0", "https://ffmpeg.org/legal.html",
         {"libavformat-dev", "libavcodec-dev", "libavutil-dev", "libswresample-dev"}},
        {"libsoxr", "LGPL 2.1", "https://sourceforge.net/p/soxr/code/ci/master/tree/LICENCE", {"libsoxr-dev"}},
        {"PulseAudio (libpulse)", "LGPL 2.1", "https://gitlab.freedesktop.org/pulseaudio/pulseaudio/-/blob/master/LICENSE",
         {"libpulse-dev"}},
        {"libcanberra", "LGPL 2.1", "https://0pointer.de/lennart/projects/libcanberra/",
         {"libcanberra-dev"}},
        {"freedesktop-Klangthema (sound-theme-freedesktop)", "CC BY-SA 3.0 / CC BY 3.0 / GPL 2.0",
         "https://www.freedesktop.org/wiki/Specifications/sound-theme-spec/", {"sound-theme-freedesktop"}},
        {"libcurl", "curl License", "https://curl.se/docs/copyright.html", {"libcurl4-openssl-dev"}},
        {"OpenSSL (libcrypto)", "Apache 2.0", "https://www.openssl.org/source/license.html", {"libssl-dev"}},
        {"ICU", "Unicode License", "https://github.com/unicode-org/icu/blob/main/LICENSE", {"libicu-dev"}},
        {"CLD2", "Apache 2.0", "https://github.com/CLD2Owners/cld2/blob/master/LICENSE", {"libcld2-dev"}},
        {"JSON for Modern C++ (nlohmann-json)", "MIT", "https://github.com/nlohmann/json/blob/develop/LICENSE.MIT",
         {"nlohmann-json3-dev"}},
        {"yaml-cpp", "MIT", "https://github.com/jbeder/yaml-cpp/blob/master/LICENSE", {"libyaml-cpp-dev"}},
        {"ONNX", "Apache 2.0", "https://github.com/onnx/onnx/blob/main/LICENSE", {"libonnx-dev"}},
        {"Protocol Buffers", "BSD 3-Clause", "https://github.com/protocolbuffers/protobuf/blob/main/LICENSE",
         {"libprotobuf-dev"}},
        {"zlib", "zlib License", "https://zlib.net/zlib_license.html", {"zlib1g-dev"}},
        {"eSpeak NG", "GPL 3.0", "https://github.com/espeak-ng/espeak-ng/blob/master/COPYING",
         {"libespeak-ng-dev", "espeak-ng-data"}},
        {"SoundTouch", "LGPL 2.1", "https://codeberg.org/soundtouch/soundtouch/src/branch/master/COPYING.TXT",
         {"libsoundtouch-dev"}},
        {"libsystemd", "LGPL 2.1", "https://github.com/systemd/systemd/blob/main/LICENSE.LGPL2.1", {"libsystemd-dev"}},
        {"X11-Bibliotheken (libX11, libXi, libXtst)", "MIT", "https://gitlab.freedesktop.org/xorg/lib/libx11/-/blob/master/COPYING",
         {"libx11-dev", "libxi-dev", "libxtst-dev"}},
        {"Wayland (libwayland-client, wayland-protocols)", "MIT",
         "https://gitlab.freedesktop.org/wayland/wayland/-/blob/main/COPYING", {"libwayland-dev", "wayland-protocols"}},
        {"libxkbcommon", "MIT", "https://github.com/xkbcommon/libxkbcommon/blob/master/LICENSE", {"libxkbcommon-dev"}},
        {"KDE-Plasma-Wayland-Protokolle (fake-input)", "LGPL 2.1",
         "https://invent.kde.org/libraries/plasma-wayland-protocols/-/tree/master/LICENSES", {"plasma-wayland-protocols"}},
        {"KI-Modell (Parakeet TDT 0.6B v3)", "CC BY 4.0", "https://creativecommons.org/licenses/by/4.0/", {}},
    };
    return components;
}

std::vector<License> License::defaultNotices() {
    std::vector<License> notices;
    for (const Component& component : components())
        notices.push_back({platform::UUID(), component.name, component.license, component.url});
    return notices;
}

}  // namespace parloquin
