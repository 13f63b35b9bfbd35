// The extractor stub's exit codes: the tool that starts the package waits for it but does not
// read them; scripts and tests do. 1 to 5 mean what they mean for qavup-pack.
#pragma once

namespace stub {

enum Exit : unsigned {
  kDone = 0,
  kUsage = 1,               // an unknown option, a second folder, or -n without a folder
  kCannotReadPackage = 2,   // its own file cannot be read, or is no Windows program
  kDamaged = 3,             // no archive, truncated, bad header, bad data, CRC mismatch
  kUnsafeName = 4,          // a member name or folder that would leave the target folder
  kUnsupported = 5,         // a method or header level the stub does not read
  kCannotCreateFolder = 6,  // the target folder or a member's folder cannot be made
  kCannotWrite = 7,         // a member cannot be written, or the old file cannot be replaced
  kOutOfMemory = 8,
  kCancelled = 9,           // the user closed the dialog without extracting
};

}  // namespace stub
