/* The fake pad's entry points for a program built with 64-bit time on a 32-bit platform, where
 * the C library's stat family and ioctl have other names (__stat64_time64, __ioctl_time64) and
 * struct stat another layout. This file is built with those flags, so each definition below
 * takes the renamed symbol and the layout the program passes; elsewhere it is empty. */
#define _GNU_SOURCE
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif
#ifndef _TIME_BITS
#define _TIME_BITS 64
#endif
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include "fake_joydev.h"

/* Only where time was 32 bits by default: a 64-bit platform keeps the plain names. */
#if defined(__USE_TIME_BITS64) && __TIMESIZE == 32

/* The C library's function that the definition below stands in for: dlsym by its real name. */
#define NEXT(type, symbol) \
  static type fn;          \
  if (!fn) fn = (type)dlsym(RTLD_NEXT, symbol)

typedef int (*StatFn)(const char*, struct stat*);
typedef int (*StatAtFn)(int, const char*, struct stat*, int);
typedef int (*IoctlFn)(int, unsigned long, ...);

static int padStat(struct stat* info) {
  NEXT(StatFn, "__stat64_time64");
  char path[4096];
  long plug;
  if (!fakeJoydevNode(path, sizeof path, &plug) || fn(path, info) != 0) return fakeJoydevAbsent();
  FAKE_JOYDEV_NODE_STAT(info, plug);
  return 0;
}

static int routed(const char* path, struct stat* info) {
  return fakeJoydevRoute(path) == 1 ? padStat(info) : fakeJoydevAbsent();
}

int stat(const char* path, struct stat* info) {
  NEXT(StatFn, "__stat64_time64");
  return fakeJoydevRoute(path) ? routed(path, info) : fn(path, info);
}

int lstat(const char* path, struct stat* info) {
  NEXT(StatFn, "__lstat64_time64");
  return fakeJoydevRoute(path) ? routed(path, info) : fn(path, info);
}

int fstatat(int dir, const char* path, struct stat* info, int flags) {
  NEXT(StatAtFn, "__fstatat64_time64");
  return fakeJoydevRoute(path) ? routed(path, info) : fn(dir, path, info, flags);
}

int ioctl(int fd, unsigned long request, ...) {
  NEXT(IoctlFn, "__ioctl_time64");
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  return fakeJoydevIsOurs(fd) ? fakeJoydevIoctl(fd, request, argument) : fn(fd, request, argument);
}

#endif
