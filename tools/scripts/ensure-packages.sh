# Sourced by tools/run and tools/test: installs the Debian packages a command needs when missing.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building needs.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev librtaudio-dev libpulse-dev libjack-jackd2-dev libpipewire-0.3-dev libgtest-dev
                libbenchmark-dev fonts-ipafont-gothic)
# What running the program needs beyond building it: a display is the user's own. The toolkit's
# own Japanese texts (file dialogs, buttons) come from qt6-translations-l10n.
RUN_PACKAGES=(pulseaudio-utils qt6-translations-l10n)
# What the tests need beyond building: servers for real sound (PulseAudio, JACK on its dummy
# driver, a headless PipeWire with its session manager, pulse and JACK servers and a session bus)
# and a real window, a window manager to frame it, tools that measure them, the desktop's
# validators for the installed tree (desktop entry, AppStream metainfo, manual pages), a Wayland
# compositor that runs headless with the toolkit's Wayland platform, gio to open a score as a
# double-click does, the README's icon cache command, the toolkit's Japanese texts, and clang for
# the fuzzers.
TEST_PACKAGES=(clang libclang-rt-14-dev pulseaudio pulseaudio-utils jackd2 pipewire wireplumber pipewire-pulse
               pipewire-jack dbus-daemon xvfb xauth sox imagemagick
               xdotool x11-utils openbox desktop-file-utils shared-mime-info qt6-translations-l10n
               appstream groff-base weston qt6-wayland libglib2.0-bin gtk-update-icon-cache)
