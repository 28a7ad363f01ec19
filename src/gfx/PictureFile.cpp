// Reading a picture file into memory and checking it.
#include "gfx/PictureFile.h"

#include "files/ReadFile.h"

PictureFile readPictureFile(const std::string& name) {
  PictureFile picture;
  picture.name = name;
  const FileOutcome read = readWholeFile(name, kMaxPictureBytes, picture.bytes);
  if (!read) {
    picture.state =
        read.reason == kMissingReason ? BitmapFileState::Missing : BitmapFileState::Damaged;
    if (picture.state == BitmapFileState::Damaged) picture.refusal = read.reason;
    return picture;
  }
  picture.state = checkBitmapBytes(picture.bytes);
  if (picture.state != BitmapFileState::Readable) picture.bytes = {};
  return picture;
}
