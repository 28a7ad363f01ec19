/* What the two halves of the fake pad share: fake_joydev.c answers the C library's plain entry
 * points, fake_joydev_time64.c those a 32-bit program built with 64-bit time calls instead. */
#pragma once
#include <stddef.h>
#include <sys/sysmacros.h>

/* Hidden: the test's preload library offers the C library's names and nothing else. */
#define FAKE_JOYDEV_SHARED __attribute__((visibility("hidden")))

/* 1 for the pad's path, -1 for another joystick node (absent to the game), 0 for the rest. */
FAKE_JOYDEV_SHARED int fakeJoydevRoute(const char* path);
/* The node file of the pad plugged in now and its plug number; 0 when none is. */
FAKE_JOYDEV_SHARED int fakeJoydevNode(char* path, size_t size, long* plug);
FAKE_JOYDEV_SHARED int fakeJoydevIsOurs(int fd);
FAKE_JOYDEV_SHARED int fakeJoydevIoctl(int fd, unsigned long request, void* argument);
/* Fails with ENOENT. */
FAKE_JOYDEV_SHARED int fakeJoydevAbsent(void);

/* The node, given the node file's own stat, made a character device of the joystick major;
 * each plug is a new inode. */
#define FAKE_JOYDEV_NODE_STAT(info, plug)    \
  do {                                       \
    (info)->st_mode = S_IFCHR | 0664;        \
    (info)->st_rdev = makedev(13, 0);        \
    (info)->st_ino = (ino_t)(1000 + (plug)); \
    (info)->st_size = 0;                     \
  } while (0)
