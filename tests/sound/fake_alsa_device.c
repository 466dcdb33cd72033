/* A sound card for tests, as an ALSA plugin: a playback device that takes 16-bit stereo at one
 * rate only (48000 Hz, as many raw devices do), consumes frames in real time on a timer, and
 * throws them away; and a control device with no controls, so that the card can be found. A test
 * points ALSA at it through a configuration file of its own (ALSA_CONFIG_PATH). */
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>
#include <alsa/pcm_external.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#define FAKE_RATE 48000

typedef struct {
  snd_pcm_ioplug_t io;
  int timer;
  struct timespec start;
  snd_pcm_uframes_t played;
} FakePcm;

static long long ElapsedFrames(const FakePcm* fake) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long ns = (now.tv_sec - fake->start.tv_sec) * 1000000000LL + (now.tv_nsec - fake->start.tv_nsec);
  return ns * (long long)fake->io.rate / 1000000000LL;
}

static int FakeStart(snd_pcm_ioplug_t* io) {
  FakePcm* fake = io->private_data;
  clock_gettime(CLOCK_MONOTONIC, &fake->start);
  fake->played = 0;
  const long periodNs = (long)(io->period_size * 1000000000LL / io->rate);
  struct itimerspec every = {{periodNs / 1000000000L, periodNs % 1000000000L},
                             {periodNs / 1000000000L, periodNs % 1000000000L}};
  return timerfd_settime(fake->timer, 0, &every, NULL) == 0 ? 0 : -errno;
}

static int FakeStop(snd_pcm_ioplug_t* io) {
  FakePcm* fake = io->private_data;
  struct itimerspec never;
  memset(&never, 0, sizeof never);
  timerfd_settime(fake->timer, 0, &never, NULL);
  return 0;
}

/* The device plays what it was given, at its rate: it never runs ahead of the application. */
static snd_pcm_sframes_t FakePointer(snd_pcm_ioplug_t* io) {
  FakePcm* fake = io->private_data;
  if (io->state == SND_PCM_STATE_RUNNING) {
    long long position = ElapsedFrames(fake);
    if (position > (long long)io->appl_ptr) position = (long long)io->appl_ptr;
    fake->played = (snd_pcm_uframes_t)position;
  }
  return (snd_pcm_sframes_t)(fake->played % io->buffer_size);
}

static snd_pcm_sframes_t FakeTransfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                      snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  return (snd_pcm_sframes_t)size;
}

static int FakeRevents(snd_pcm_ioplug_t* io, struct pollfd* pfd, unsigned int nfds, unsigned short* revents) {
  FakePcm* fake = io->private_data;
  *revents = 0;
  if (nfds > 0 && (pfd[0].revents & POLLIN) != 0) {
    unsigned long long expirations;
    if (read(fake->timer, &expirations, sizeof expirations) < 0) return 0;
    *revents = POLLOUT;
  }
  return 0;
}

static int FakeClose(snd_pcm_ioplug_t* io) {
  FakePcm* fake = io->private_data;
  close(fake->timer);
  free(fake);
  return 0;
}

static const snd_pcm_ioplug_callback_t kFakePcmCallbacks = {
    .start = FakeStart, .stop = FakeStop, .pointer = FakePointer,
    .transfer = FakeTransfer, .close = FakeClose, .poll_revents = FakeRevents};

SND_PCM_PLUGIN_DEFINE_FUNC(kestufake) {
  if (stream != SND_PCM_STREAM_PLAYBACK) return -ENODEV;
  FakePcm* fake = calloc(1, sizeof *fake);
  if (fake == NULL) return -ENOMEM;
  fake->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  fake->io.version = SND_PCM_IOPLUG_VERSION;
  fake->io.name = "KestuSequencer test card";
  fake->io.callback = &kFakePcmCallbacks;
  fake->io.private_data = fake;
  fake->io.poll_fd = fake->timer;
  fake->io.poll_events = POLLIN;
  int err = snd_pcm_ioplug_create(&fake->io, name, stream, mode);
  if (err < 0) {
    close(fake->timer);
    free(fake);
    return err;
  }
  static const unsigned int kAccess[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
  static const unsigned int kFormats[] = {SND_PCM_FORMAT_S16_LE};
  if ((err = snd_pcm_ioplug_set_param_list(&fake->io, SND_PCM_IOPLUG_HW_ACCESS, 1, kAccess)) < 0 ||
      (err = snd_pcm_ioplug_set_param_list(&fake->io, SND_PCM_IOPLUG_HW_FORMAT, 1, kFormats)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&fake->io, SND_PCM_IOPLUG_HW_CHANNELS, 2, 2)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&fake->io, SND_PCM_IOPLUG_HW_RATE, FAKE_RATE, FAKE_RATE)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&fake->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64 * 4, 4096 * 4)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(&fake->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 8)) < 0) {
    snd_pcm_ioplug_delete(&fake->io);
    return err;
  }
  *pcmp = fake->io.pcm;
  return 0;
}
SND_PCM_PLUGIN_SYMBOL(kestufake);

/* The card's control device: there, with nothing on it. */
static int NoElements(snd_ctl_ext_t* ext) { return 0; }
static int NoList(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id) { return -EINVAL; }
static snd_ctl_ext_key_t NoFind(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) { return SND_CTL_EXT_KEY_NOT_FOUND; }
static int NoAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* acc, unsigned int* count) { return -EINVAL; }
static int NoIntegerInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* imin, long* imax, long* istep) { return -EINVAL; }
static int NoRead(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) { return -EINVAL; }
static int NoEvent(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned int* mask) { return -EAGAIN; }
static void CloseControl(snd_ctl_ext_t* ext) { free(ext); }

static const snd_ctl_ext_callback_t kFakeCtlCallbacks = {
    .close = CloseControl, .elem_count = NoElements, .elem_list = NoList,
    .find_elem = NoFind, .get_attribute = NoAttribute, .get_integer_info = NoIntegerInfo,
    .read_integer = NoRead, .read_event = NoEvent};

SND_CTL_PLUGIN_DEFINE_FUNC(kestufake) {
  snd_ctl_ext_t* ext = calloc(1, sizeof *ext);
  if (ext == NULL) return -ENOMEM;
  ext->version = SND_CTL_EXT_VERSION;
  ext->card_idx = 0;
  strcpy(ext->id, "kestufake");
  strcpy(ext->driver, "kestufake");
  strcpy(ext->name, "Test card");
  strcpy(ext->longname, "KestuSequencer test card");
  strcpy(ext->mixername, "none");
  ext->poll_fd = -1;
  ext->callback = &kFakeCtlCallbacks;
  ext->private_data = ext;
  const int err = snd_ctl_ext_create(ext, name, mode);
  if (err < 0) {
    free(ext);
    return err;
  }
  *handlep = ext->handle;
  return 0;
}
SND_CTL_PLUGIN_SYMBOL(kestufake);
