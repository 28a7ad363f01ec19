#include "files/FileOutcome.h"

#include <cstring>
#include <utility>

FileOutcome FileOutcome::ok() { return {true, true, false, {}}; }
FileOutcome FileOutcome::failed(int error) {
  return {false, false, false, std::strerror(error), error};
}
FileOutcome FileOutcome::refused(std::string why) { return {false, false, false, std::move(why)}; }
FileOutcome FileOutcome::frozen() { return {false, false, true, "the file is read-only"}; }
