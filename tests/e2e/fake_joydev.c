/* A pad for the end-to-end tests, presented to the program as the kernel's joydev presents
 * one (this machine has neither /dev/input nor uinput). Preloaded into the game, it answers
 * for /dev/input/js0: open, the JSIOCGVERSION, JSIOCGAXES, JSIOCGBUTTONS and JSIOCGNAME
 * ioctls, reads of js_event records (the pad's state as JS_EVENT_INIT records first, then the
 * events the test feeds in, EAGAIN when none is pending), stat and access. A pad pulled out
 * fails its reads and ioctls with ENODEV and its node is gone. Every other path and
 * descriptor goes to the C library untouched.
 *
 * The test drives it through the folder named by ZEPH_FAKE_JOYDEV_DIR:
 *   node        present while a pad is plugged in: "<plug number> <axes> <buttons> <name>",
 *               replaced whole (by rename) for each plug
 *   events.<plug number>
 *               the js_event records of that plug (8 bytes each), appended by the test
 * Without that variable every call goes straight through. */
#define _GNU_SOURCE
#undef _FORTIFY_SOURCE
/* These are the C library's plain entry points, the ones Allegro calls: on a 32-bit platform the
 * build's 64-bit offsets and time would rename them to open64, __stat64_time64 and so on (those
 * are in fake_joydev_time64.c). */
#undef _FILE_OFFSET_BITS
#undef _TIME_BITS
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/joystick.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include "fake_joydev.h"

#define NODE_PATH "/dev/input/js0"
#define MAX_OPEN 8
#define MAX_INPUTS 256 /* JSIOCGAXES and JSIOCGBUTTONS answer in one byte */

/* The C library's own functions, found on first use. */
#define REAL(name) real_##name()
#define DECLARE_REAL(ret, name, ...)                            \
  static ret (*real_##name(void))(__VA_ARGS__) {                \
    static ret (*fn)(__VA_ARGS__);                              \
    if (!fn) fn = (ret(*)(__VA_ARGS__))dlsym(RTLD_NEXT, #name); \
    return fn;                                                  \
  }
DECLARE_REAL(int, open, const char*, int, ...)
DECLARE_REAL(int, open64, const char*, int, ...)
DECLARE_REAL(int, openat, int, const char*, int, ...)
DECLARE_REAL(int, openat64, int, const char*, int, ...)
DECLARE_REAL(int, __open_2, const char*, int)
DECLARE_REAL(int, __open64_2, const char*, int)
DECLARE_REAL(ssize_t, read, int, void*, size_t)
DECLARE_REAL(ssize_t, __read_chk, int, void*, size_t, size_t)
DECLARE_REAL(int, ioctl, int, unsigned long, ...)
DECLARE_REAL(int, close, int)
DECLARE_REAL(int, stat, const char*, struct stat*)
DECLARE_REAL(int, stat64, const char*, struct stat64*)
DECLARE_REAL(int, lstat, const char*, struct stat*)
DECLARE_REAL(int, lstat64, const char*, struct stat64*)
DECLARE_REAL(int, fstatat, int, const char*, struct stat*, int)
DECLARE_REAL(int, fstatat64, int, const char*, struct stat64*, int)
DECLARE_REAL(int, access, const char*, int)
DECLARE_REAL(int, faccessat, int, const char*, int, int)

/* What the node says about the pad plugged in now. */
struct Pad {
  long plug;
  int axes;
  int buttons;
  char name[128];
};

/* One open descriptor of the pad, as joydev keeps a client. */
struct Client {
  int fd; /* -1: free */
  int nonblocking;
  long plug;
  int axes;
  int buttons;
  char name[128];
  int eventsFd;
  off_t offset; /* into the events file: what this client has read */
  int startup;  /* JS_EVENT_INIT records handed out so far */
  int16_t axisState[MAX_INPUTS];
  int16_t buttonState[MAX_INPUTS];
};

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static struct Client clients[MAX_OPEN] = {[0 ... MAX_OPEN - 1] = {.fd = -1}};
static int clientCount; /* read without the lock first: most descriptors are not ours */

static const char* padFolder;
static pthread_once_t padFolderOnce = PTHREAD_ONCE_INIT;

static void findFolder(void) {
  const char* dir = getenv("ZEPH_FAKE_JOYDEV_DIR");
  padFolder = dir && *dir ? dir : NULL;
}

static const char* folder(void) {
  pthread_once(&padFolderOnce, findFolder);
  return padFolder;
}

/* The pad's path, or another joystick node that must look absent so no real pad leaks into
 * the test: 1 for ours, -1 for another, 0 for everything else. */
static int classify(const char* path) {
  if (!path || !folder()) return 0;
  if (strcmp(path, NODE_PATH) == 0) return 1;
  if (strncmp(path, "/dev/input/js", 13) == 0 || strncmp(path, "/dev/js", 7) == 0) return -1;
  return 0;
}

static void pathIn(char* out, size_t size, const char* name) {
  snprintf(out, size, "%s/%s", folder(), name);
}

static int readPad(struct Pad* pad) {
  char path[4096], text[256];
  pathIn(path, sizeof path, "node");
  int fd = REAL(open)(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  ssize_t length = REAL(read)(fd, text, sizeof text - 1);
  REAL(close)(fd);
  if (length <= 0) return 0;
  text[length] = '\0';
  pad->name[0] = '\0';
  if (sscanf(text, "%ld %d %d %127[^\n]", &pad->plug, &pad->axes, &pad->buttons, pad->name) < 3)
    return 0;
  if (pad->axes < 0 || pad->axes >= MAX_INPUTS || pad->buttons < 0 || pad->buttons >= MAX_INPUTS)
    return 0;
  return 1;
}

static int stillPlugged(const struct Client* client) {
  struct Pad pad;
  return readPad(&pad) && pad.plug == client->plug;
}

static struct Client* clientOf(int fd) {
  for (int i = 0; i < MAX_OPEN; ++i)
    if (clients[i].fd == fd && fd >= 0) return &clients[i];
  return NULL;
}

static int isOurs(int fd) {
  if (__atomic_load_n(&clientCount, __ATOMIC_ACQUIRE) == 0) return 0;
  pthread_mutex_lock(&lock);
  int ours = clientOf(fd) != NULL;
  pthread_mutex_unlock(&lock);
  return ours;
}

/* The state the events so far leave the pad in: what a new client's INIT records say. */
static void foldEvents(struct Client* client) {
  struct js_event events[64];
  off_t offset = 0;
  ssize_t got;
  while ((got = pread(client->eventsFd, events, sizeof events, offset)) > 0) {
    int count = (int)(got / (ssize_t)sizeof events[0]);
    if (count == 0) break;
    for (int k = 0; k < count; ++k) {
      unsigned type = events[k].type & ~JS_EVENT_INIT;
      int number = events[k].number;
      if (type == JS_EVENT_AXIS && number < client->axes)
        client->axisState[number] = events[k].value;
      else if (type == JS_EVENT_BUTTON && number < client->buttons)
        client->buttonState[number] = events[k].value ? 1 : 0;
    }
    offset += (off_t)count * (off_t)sizeof events[0];
  }
  client->offset = offset;
}

static int openPad(int flags) {
  struct Pad pad;
  if (!readPad(&pad)) {
    errno = ENOENT;
    return -1;
  }
  if ((flags & O_ACCMODE) != O_RDONLY) {
    errno = EACCES;
    return -1;
  }
  char path[4096], name[64];
  snprintf(name, sizeof name, "events.%ld", pad.plug);
  pathIn(path, sizeof path, name);
  int eventsFd = REAL(open)(path, O_RDONLY | O_CLOEXEC);
  if (eventsFd < 0) {
    errno = ENOENT;
    return -1;
  }
  /* A real descriptor that select() and poll() always find readable; reads come here. */
  int fd = REAL(open)("/dev/null", O_RDONLY | (flags & O_CLOEXEC));
  if (fd < 0) {
    REAL(close)(eventsFd);
    return -1;
  }
  pthread_mutex_lock(&lock);
  struct Client* client = NULL;
  for (int i = 0; i < MAX_OPEN && !client; ++i)
    if (clients[i].fd < 0) client = &clients[i];
  if (!client) {
    pthread_mutex_unlock(&lock);
    REAL(close)(fd);
    REAL(close)(eventsFd);
    errno = EMFILE;
    return -1;
  }
  memset(client, 0, sizeof *client);
  client->fd = fd;
  client->nonblocking = (flags & O_NONBLOCK) != 0;
  client->plug = pad.plug;
  client->axes = pad.axes;
  client->buttons = pad.buttons;
  memcpy(client->name, pad.name, sizeof client->name);
  client->eventsFd = eventsFd;
  foldEvents(client);
  __atomic_add_fetch(&clientCount, 1, __ATOMIC_RELEASE);
  pthread_mutex_unlock(&lock);
  return fd;
}

static uint32_t nowMs(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  /* tv_sec may be a 32-bit long: times 1000 it would overflow after 25 days of uptime. */
  return (uint32_t)((uint64_t)now.tv_sec * 1000 + (uint64_t)now.tv_nsec / 1000000);
}

/* As joydev_read: INIT records first (buttons, then axes), then the queue. */
static ssize_t readPadEvents(struct Client* client, void* buffer, size_t count) {
  if (!stillPlugged(client)) {
    errno = ENODEV;
    return -1;
  }
  if (count < sizeof(struct js_event)) {
    errno = EINVAL;
    return -1;
  }
  struct js_event* out = buffer;
  size_t room = count / sizeof(struct js_event);
  size_t given = 0;
  while (given < room && client->startup < client->buttons + client->axes) {
    struct js_event* event = &out[given++];
    event->time = nowMs();
    if (client->startup < client->buttons) {
      event->type = JS_EVENT_BUTTON | JS_EVENT_INIT;
      event->number = (uint8_t)client->startup;
      event->value = client->buttonState[client->startup];
    } else {
      int axis = client->startup - client->buttons;
      event->type = JS_EVENT_AXIS | JS_EVENT_INIT;
      event->number = (uint8_t)axis;
      event->value = client->axisState[axis];
    }
    ++client->startup;
  }
  if (given < room) {
    ssize_t got = pread(client->eventsFd, &out[given], (room - given) * sizeof(struct js_event),
                        client->offset);
    if (got > 0) {
      size_t whole = (size_t)got / sizeof(struct js_event);
      client->offset += (off_t)(whole * sizeof(struct js_event));
      given += whole;
    }
  }
  if (given == 0) {
    errno = EAGAIN;
    return -1;
  }
  return (ssize_t)(given * sizeof(struct js_event));
}

static ssize_t padRead(int fd, void* buffer, size_t count) {
  for (;;) {
    pthread_mutex_lock(&lock);
    struct Client* client = clientOf(fd);
    ssize_t result = client ? readPadEvents(client, buffer, count) : -1;
    int error = errno;
    int blocking = client && !client->nonblocking;
    pthread_mutex_unlock(&lock);
    if (!(result < 0 && error == EAGAIN && blocking)) {
      errno = error;
      return result;
    }
    /* A blocking read waits for the next event, as the kernel's does. */
    struct timespec pause = {0, 5 * 1000 * 1000};
    nanosleep(&pause, NULL);
  }
}

static int padIoctl(int fd, unsigned long request, void* argument) {
  pthread_mutex_lock(&lock);
  struct Client* client = clientOf(fd);
  int result = 0, error = 0;
  if (!client || !stillPlugged(client)) {
    error = ENODEV;
  } else if (request == JSIOCGVERSION) {
    *(uint32_t*)argument = JS_VERSION;
  } else if (request == JSIOCGAXES) {
    *(uint8_t*)argument = (uint8_t)client->axes;
  } else if (request == JSIOCGBUTTONS) {
    *(uint8_t*)argument = (uint8_t)client->buttons;
  } else if (_IOC_TYPE(request) == 'j' && _IOC_NR(request) == _IOC_NR(JSIOCGNAME(0)) &&
             _IOC_DIR(request) == _IOC_READ) {
    size_t size = _IOC_SIZE(request);
    size_t length = strlen(client->name) + 1;
    if (length > size) length = size;
    memcpy(argument, client->name, length);
    result = (int)length;
  } else {
    error = EINVAL;
  }
  pthread_mutex_unlock(&lock);
  if (error) {
    errno = error;
    return -1;
  }
  return result;
}

static int padClose(int fd) {
  pthread_mutex_lock(&lock);
  struct Client* client = clientOf(fd);
  if (client) {
    REAL(close)(client->eventsFd);
    client->fd = -1;
    __atomic_sub_fetch(&clientCount, 1, __ATOMIC_RELEASE);
  }
  pthread_mutex_unlock(&lock);
  return REAL(close)(fd);
}

/* --- shared with fake_joydev_time64.c ------------------------------------------------- */

int fakeJoydevRoute(const char* path) { return classify(path); }

int fakeJoydevNode(char* path, size_t size, long* plug) {
  struct Pad pad;
  if (!readPad(&pad)) return 0;
  pathIn(path, size, "node");
  *plug = pad.plug;
  return 1;
}

int fakeJoydevIsOurs(int fd) { return isOurs(fd); }

int fakeJoydevIoctl(int fd, unsigned long request, void* argument) {
  return padIoctl(fd, request, argument);
}

int fakeJoydevAbsent(void) {
  errno = ENOENT;
  return -1;
}

static int padStat(struct stat* info) {
  char path[4096];
  long plug;
  if (!fakeJoydevNode(path, sizeof path, &plug) || REAL(stat)(path, info) != 0)
    return fakeJoydevAbsent();
  FAKE_JOYDEV_NODE_STAT(info, plug);
  return 0;
}

static int padStat64(struct stat64* info) {
  struct stat plain;
  if (padStat(&plain) != 0) return -1;
  memset(info, 0, sizeof *info);
  info->st_dev = plain.st_dev;
  info->st_ino = plain.st_ino;
  info->st_mode = plain.st_mode;
  info->st_nlink = plain.st_nlink;
  info->st_uid = plain.st_uid;
  info->st_gid = plain.st_gid;
  info->st_rdev = plain.st_rdev;
  info->st_atim = plain.st_atim;
  info->st_mtim = plain.st_mtim;
  info->st_ctim = plain.st_ctim;
  return 0;
}

/* A node of root's input group: readable, not writable, by the player. */
static int padAccess(int mode) {
  struct stat info;
  if (padStat(&info) != 0) return -1;
  if (mode & (W_OK | X_OK)) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

static int modeOf(int flags, va_list arguments) {
  return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(arguments, int) : 0;
}

/* --- the C library's entry points ------------------------------------------------------ */

/* The pad's paths get our answer, the other joystick paths are absent, the rest go through. */
#define ROUTE(path, ours, real)  \
  switch (classify(path)) {      \
    case 1:                      \
      return ours;               \
    case -1:                     \
      return fakeJoydevAbsent(); \
    default:                     \
      return real;               \
  }

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int mode = modeOf(flags, arguments);
  va_end(arguments);
  ROUTE(path, openPad(flags), REAL(open)(path, flags, mode));
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int mode = modeOf(flags, arguments);
  va_end(arguments);
  ROUTE(path, openPad(flags), REAL(open64)(path, flags, mode));
}

int openat(int dir, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int mode = modeOf(flags, arguments);
  va_end(arguments);
  ROUTE(path, openPad(flags), REAL(openat)(dir, path, flags, mode));
}

int openat64(int dir, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int mode = modeOf(flags, arguments);
  va_end(arguments);
  ROUTE(path, openPad(flags), REAL(openat64)(dir, path, flags, mode));
}

int __open_2(const char* path, int flags) {
  ROUTE(path, openPad(flags), REAL(__open_2)(path, flags));
}

int __open64_2(const char* path, int flags) {
  ROUTE(path, openPad(flags), REAL(__open64_2)(path, flags));
}

ssize_t read(int fd, void* buffer, size_t count) {
  return isOurs(fd) ? padRead(fd, buffer, count) : REAL(read)(fd, buffer, count);
}

ssize_t __read_chk(int fd, void* buffer, size_t count, size_t size) {
  if (!isOurs(fd)) return REAL(__read_chk)(fd, buffer, count, size);
  if (count > size) abort(); /* what the checked read does with a short buffer */
  return padRead(fd, buffer, count);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  return isOurs(fd) ? padIoctl(fd, request, argument) : REAL(ioctl)(fd, request, argument);
}

int close(int fd) { return isOurs(fd) ? padClose(fd) : REAL(close)(fd); }

#define STAT_HOOK(name, type, statFn)                  \
  int name(const char* path, struct type* info) {      \
    ROUTE(path, statFn(info), REAL(name)(path, info)); \
  }
STAT_HOOK(stat, stat, padStat)
STAT_HOOK(stat64, stat64, padStat64)
STAT_HOOK(lstat, stat, padStat)
STAT_HOOK(lstat64, stat64, padStat64)

int fstatat(int dir, const char* path, struct stat* info, int flags) {
  ROUTE(path, padStat(info), REAL(fstatat)(dir, path, info, flags));
}

int fstatat64(int dir, const char* path, struct stat64* info, int flags) {
  ROUTE(path, padStat64(info), REAL(fstatat64)(dir, path, info, flags));
}

int access(const char* path, int mode) { ROUTE(path, padAccess(mode), REAL(access)(path, mode)); }

int faccessat(int dir, const char* path, int mode, int flags) {
  ROUTE(path, padAccess(mode), REAL(faccessat)(dir, path, mode, flags));
}
