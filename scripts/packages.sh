# The Debian packages Parloquin needs, one list per purpose. Sourced by scripts/install-deps.sh,
# which installs the lists a purpose needs, and by the test of these lists (tests/scripts).

# Building and running the application. No sound server: the application talks to the desktop's
# PulseAudio server, PulseAudio's own or PipeWire's (pipewire-pulse), through the client library.
# On Debian 12 the pulseaudio package conflicts with pipewire-audio: installing it would take a
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
  # speech model import: the checkpoints' configuration
  libyaml-cpp-dev
  # desktop
  qt6-base-dev qt6-svg-dev libqt6svg6 libx11-dev libxi-dev libxtst-dev
  # the hotkey's feedback sounds: libcanberra with the freedesktop sound theme. Its PulseAudio
  # output (libcanberra-pulse) is not asked for here: it wants a PulseAudio server package, and a
  # desktop that has one has it already; without it the sounds go through ALSA.
  libcanberra-dev sound-theme-freedesktop
  # fonts for the texts: DejaVu holds the key symbols (⇧ ⌘ ⌥), Noto the colour emoji
  fonts-dejavu-core fonts-noto-color-emoji
  # speech synthesis
  libespeak-ng-dev espeak-ng-data libsoundtouch-dev  # time-stretching at other speeds
)

# The tests and benchmarks, besides the application's packages.
test_packages=(
  git
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev  # the loopback model hub
  # the private desktop session: X server, system tray, session bus
  xvfb xauth x11-utils trayer dbus dbus-x11 xdotool imagemagick
  xterm  # a terminal that tests paste into
  # sound tools and the tones of the PipeWire test session
  pulseaudio-utils sox
  libcanberra-pulse  # the feedback sounds played into the test sound server
  ffmpeg  # writes the audio test fixtures (tests/fixtures/audio/make-fixtures.sh)
  # a German locale, so that tests can check that files and reports ignore the user's locale
  locales
)

# The tests' sound server where the machine has none: PulseAudio. Where PipeWire's PulseAudio
# server is installed, the tests run a private one of it instead (scripts/test-session.sh).
test_sound_server_packages=(pulseaudio)

# Continuous integration, besides the tests' packages: a notification daemon with a D-Bus service
# file, as desktops have, so that every run shows that the tests' session bus starts none.
ci_packages=(dunst)
