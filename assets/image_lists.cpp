// The image lists: which picture file is which entry. To swap an icon, replace its file or its
// line here (and in assets.qrc).
#include <iterator>
#include <string>

#include "assets/image_loading.h"
#include "assets/images.h"

namespace kestu::assets {
namespace {

template <size_t N>
std::vector<QImage> LoadList(const char* const (&names)[N], QSize size) {
  std::vector<QImage> list;
  list.reserve(N);
  for (const char* name : names) {
    list.push_back(detail::LoadPicture(name, size, QImage::Format_ARGB32_Premultiplied));
  }
  return list;
}

// Entry n - 1 is instrument n, in the order of the sample set.
const char* const kSoundFiles[] = {
    "sound/01_piano.xpm",       "sound/02_music_box.xpm", "sound/03_kick.xpm",
    "sound/04_trumpet.xpm",     "sound/05_flute.xpm",     "sound/06_guitar.xpm",
    "sound/07_snare.xpm",       "sound/08_hihat.xpm",     "sound/09_electric_bass.xpm",
    "sound/10_marimba.xpm",     "sound/11_boing.xpm",     "sound/12_organ.xpm",
    "sound/13_violin.xpm",      "sound/14_aah.xpm",       "sound/15_chip_lead.xpm",
    "sound/16_end_mark.xpm",    "sound/17_eraser.xpm",    "sound/18_hover_marker.xpm",
};

const char* const kKestuFiles[] = {
    "kestu/0_run_a.xpm", "kestu/1_run_b.xpm", "kestu/2_stand.xpm",
    "kestu/3_jump.xpm",  "kestu/4_wave.xpm",
};

const char* const kCommonFiles[] = {
    "common/0_new.xpm",   "common/1_open.xpm",   "common/2_save.xpm",
    "common/3_paste.xpm", "common/4_option.xpm",
};

const char* const kPlayerFiles[] = {
    "player/0_play_idle.xpm", "player/1_play_running.xpm", "player/2_stop_idle.xpm",
    "player/3_stop_active.xpm", "player/4_loop_off.xpm",   "player/5_loop_on.xpm",
};

const char* const kEtcFiles[] = {
    "etc/00_eraser_off.xpm", "etc/01_eraser_on.xpm", "etc/02_time34_off.xpm",
    "etc/03_time34_on.xpm",  "etc/04_time44_off.xpm", "etc/05_time44_on.xpm",
    "etc/06_extra1_up.xpm",  "etc/07_extra1_down.xpm", "etc/08_extra2_up.xpm",
    "etc/09_extra2_down.xpm", "etc/10_extra3_up.xpm",  "etc/11_extra3_down.xpm",
    "etc/12_undo_up.xpm",    "etc/13_undo_pressed.xpm",
};

static_assert(std::size(kSoundFiles) == 18);
static_assert(std::size(kKestuFiles) == 5);
static_assert(std::size(kCommonFiles) == 5);
static_assert(std::size(kPlayerFiles) == 6);
static_assert(std::size(kEtcFiles) == 14);

}  // namespace

const std::vector<QImage>& SoundImages() {
  static const std::vector<QImage> list = LoadList(kSoundFiles, QSize(16, 16));
  return list;
}

const std::vector<QImage>& KestuImages() {
  static const std::vector<QImage> list = LoadList(kKestuFiles, QSize(16, 22));
  return list;
}

const std::vector<QImage>& CommonImages() {
  static const std::vector<QImage> list = LoadList(kCommonFiles, QSize(16, 16));
  return list;
}

const std::vector<QImage>& PlayerImages() {
  static const std::vector<QImage> list = LoadList(kPlayerFiles, QSize(16, 16));
  return list;
}

const std::vector<QImage>& etcImages() {
  static const std::vector<QImage> list = LoadList(kEtcFiles, QSize(16, 16));
  return list;
}

}  // namespace kestu::assets
