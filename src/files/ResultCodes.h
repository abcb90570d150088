#pragma once
// Result codes of the file readers and writers (0 is success). The numbers
// are what the messages show, so they never change.
namespace morvane::filecode {

inline constexpr int kOk = 0;
inline constexpr int kNoMemory = 1;
inline constexpr int kException = 3;
inline constexpr int kNotFound = 4;
inline constexpr int kCannotOpen = 6;
inline constexpr int kShortWrite = 8;
inline constexpr int kShortHead = 8; // an image block's head cut short
inline constexpr int kShortRead = 9;
inline constexpr int kPastEnd = 10;        // a chunk larger than the rest of the file
inline constexpr int kRecordTooShort = 11; // an item too small for its record or name
inline constexpr int kVersion = 12;
inline constexpr int kBlockKind = 14;
inline constexpr int kFormat = 15; // unknown item type or pixel format, unusable image size
inline constexpr int kTag = 16;
inline constexpr int kHeaderSize = 17;
inline constexpr int kNoItems = 37;
inline constexpr int kCannotAdd = 48;

} // namespace morvane::filecode
