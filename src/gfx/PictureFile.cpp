// Reading a picture file into memory and checking it.
#include "gfx/PictureFile.h"

#include "files/ReadFile.h"

void readPictureFile(const std::string& name, PictureFile& picture) {
  picture.name = name;
  picture.refusal.clear();
  const FileOutcome read = readWholeFile(name, kMaxPictureBytes, picture.bytes);
  if (!read) {
    picture.state =
        read.reason == kMissingReason ? BitmapFileState::Missing : BitmapFileState::Damaged;
    if (picture.state == BitmapFileState::Damaged) picture.refusal = read.reason;
    return;
  }
  picture.state = checkBitmapBytes(picture.bytes);
  if (picture.state != BitmapFileState::Readable) picture.bytes.clear();
}

PictureFile readPictureFile(const std::string& name) {
  PictureFile picture;
  readPictureFile(name, picture);
  return picture;
}
