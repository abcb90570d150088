#pragma once
// Result codes of the file readers and writers, one type per family of
// routines. The numbers are what the messages' "(err=%d)" show and what
// callers and files have relied on, so none ever changes: 0 is success
// everywhere, 1 out of memory, 3 exception, 4 not found, 6 cannot open, and
// each family adds its own. The same number may mean different things in
// two families (8 is a short image-block head to a reader and a short write
// to a writer; 15 an unusable image to a block reader and a plain container
// with flags to an event-file reader); separate types keep a code of one
// family from being returned or compared as another's.
#include <new>

namespace morvane {

// Opening a file for reading.
enum class OpenCode : int { Ok = 0, NotFound = 4, CannotOpen = 6 };

// Reading an image block ("MTNL"), alone or as a file's thumbnail.
enum class BlockReadCode : int {
    Ok = 0,
    NoMemory = 1,
    Exception = 3,
    NotFound = 4,
    CannotOpen = 6,
    ShortHead = 8,
    ShortRead = 9, // data beyond the stream, or data that do not unpack
    Kind = 14,
    Format = 15, // a pixel format or size the caller's rules refuse
    Tag = 16,
};

// Reading a nib or brush preset file, the image blocks inside it included.
enum class PresetReadCode : int {
    Ok = 0,
    NoMemory = 1,
    Exception = 3,
    NotFound = 4,
    CannotOpen = 6,
    ShortHead = 8, // of an image block
    ShortRead = 9,
    PastEnd = 10,        // a chunk larger than the rest of the file
    RecordTooShort = 11, // an item too small for its record or name
    Version = 12,
    Kind = 14,   // of an image block
    Format = 15, // unknown item type, unusable image
    Tag = 16,
    HeaderSize = 17,
    NoItems = 37,
    CannotAdd = 48,
};

// Writing an image block, or a preset file with its blocks.
enum class WriteCode : int {
    Ok = 0,
    NoMemory = 1,
    Exception = 3,
    CannotOpen = 6,
    ShortWrite = 8,
    Kind = 14,   // an image block kind other than 1 or 2
    Format = 15, // an image without pixels, or of another pixel size
};

// Reading and writing event containers and event files.
enum class EventFileCode : int {
    Ok = 0,
    NoMemory = 1,
    Exception = 3,
    NotFound = 4,
    CannotOpen = 6,
    ShortWrite = 8,
    ShortRead = 9,
    Version = 12,
    PlainFlags = 15, // a plain container with flags
    Tag = 16,        // not an event container
    PlainLength = 17, // a plain container's lengths disagree
    Protected = 39,
    NoManager = 40,
    ShortPlain = 41,
    EmptyStream = 42, // also a packed container without blocks
    ShortCopy = 43,
    BadBlock = 44,
    ShortAppend = 45, // also a block that does not unpack to its length
    InvalidPacket = 47,
};

// Reading and writing document files (".mci"). The loader's codes 2, 16 and
// 19 also say what the last chunk was when it was skipped.
enum class DocFileCode : int {
    Ok = 0,
    NoMemory = 1,
    BlockSkipped = 2, // a block chunk met outside its layer or mask (last chunk)
    Exception = 3,
    NotFound = 4,
    CannotOpen = 6,
    ShortWrite = 8,
    ShortRead = 9,
    SeekFailed = 10,
    PastEnd = 11, // a chunk runs past the end of the file
    Version = 12, // version, reserved field or blend mode not supported
    PictureSize = 13,
    Tag = 16, // tag mismatch, or an unknown chunk (last chunk skipped)
    HeaderSize = 17,
    ThumbnailSkipped = 19, // last chunk
    CannotAddLayer = 21,
    LayerBlockSize = 22,
    LayerBlockCount = 23,
    LayerBlockKind = 24,
    LayerBlockLength = 25,
    LayerBlockOutside = 26,
    NoMaskManager = 28,
    CannotMakeMask = 29,
    MaskBlockSize = 30,
    MaskBlockCount = 31,
    MaskBlockKind = 32,
    MaskBlockLength = 33,
    MaskBlockOutside = 34,
    CannotAddMask = 35,
    ProtectedEvents = 39,
};

// The number a message shows.
template <typename Code>
constexpr int CodeNumber(Code code)
{
    return static_cast<int>(code);
}

// Families whose routines hand on another family's codes unchanged (a
// preset reader reports the failure of an image block inside the file as
// the block reader gave it). Each such pair is declared here, and every code
// of the first has the same number and meaning in the second.
template <typename From, typename To>
inline constexpr bool kRelays = false;
template <> inline constexpr bool kRelays<OpenCode, BlockReadCode> = true;
template <> inline constexpr bool kRelays<OpenCode, PresetReadCode> = true;
template <> inline constexpr bool kRelays<OpenCode, EventFileCode> = true;
template <> inline constexpr bool kRelays<OpenCode, DocFileCode> = true;
template <> inline constexpr bool kRelays<BlockReadCode, PresetReadCode> = true;

namespace relay {
template <typename A, typename B>
constexpr bool Same(A a, B b)
{
    return static_cast<int>(a) == static_cast<int>(b);
}
template <typename To>
constexpr bool TakesOpen()
{
    return Same(OpenCode::Ok, To::Ok) && Same(OpenCode::NotFound, To::NotFound) &&
           Same(OpenCode::CannotOpen, To::CannotOpen);
}
static_assert(TakesOpen<BlockReadCode>() && TakesOpen<PresetReadCode>() && TakesOpen<EventFileCode>() &&
              TakesOpen<DocFileCode>());
using B = BlockReadCode;
using P = PresetReadCode;
static_assert(Same(B::Ok, P::Ok) && Same(B::NoMemory, P::NoMemory) && Same(B::Exception, P::Exception) &&
              Same(B::NotFound, P::NotFound) && Same(B::CannotOpen, P::CannotOpen) &&
              Same(B::ShortHead, P::ShortHead) && Same(B::ShortRead, P::ShortRead) && Same(B::Kind, P::Kind) &&
              Same(B::Format, P::Format) && Same(B::Tag, P::Tag));
} // namespace relay

template <typename To, typename From>
    requires kRelays<From, To>
constexpr To Relay(From code)
{
    return static_cast<To>(static_cast<int>(code));
}

// Runs a reader's or writer's body: an allocation failure that escapes it
// becomes NoMemory and any other exception Exception, at the file layer's
// edge, so none reaches the caller.
template <typename Code, typename Body>
Code Guarded(Body body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return Code::NoMemory;
    } catch (...) {
        return Code::Exception;
    }
}

} // namespace morvane
