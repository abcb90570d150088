#pragma once
// One normal instance per user: a second start hands its file names to the
// running one and exits. The wire between them: the listening instance
// greets every connection with four bytes naming its mode; a client that
// hears the normal greeting sends each name as a 32-bit little-endian byte
// count followed by that many UTF-8 bytes, and the listener answers every
// name it takes with the byte 1. Any process of the user may connect, so
// every frame is bounded and checked before it is used.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

inline constexpr char kGreetingNormal[4] = {'M', 'V', '4', '0'};
inline constexpr char kGreetingViewer[4] = {'M', 'V', 'V', 'w'};
inline constexpr char kGreetingRender[4] = {'M', 'V', 'R', 'e'};
inline constexpr char kNameTaken = 1;

// A path longer than this is no file name of this system.
inline constexpr uint32_t kMaxInstanceNameBytes = 4096;
// Names taken over one connection; a longer list is sent over several.
inline constexpr uint32_t kMaxInstanceNames = 256;

// The frame of one name.
std::string EncodeInstanceName(std::string_view utf8Name);

// Takes the bytes a connection delivers and hands out the names in them.
// A frame that breaks a bound, holds a NUL or is not UTF-8 makes the reader
// malformed for good: the connection is to be closed.
class InstanceNameReader {
public:
    enum class Result { NeedMore, Name, Malformed };

    // At most this many bytes are ever buffered: read no more at a time.
    static constexpr size_t kMaxBuffered = 4 + kMaxInstanceNameBytes;
    size_t Room() const { return malformed_ ? 0 : kMaxBuffered - buffer_.size(); }
    // More bytes than Room() make the reader malformed.
    void Append(const char* data, size_t size);
    Result Next(std::string& name);
    bool Malformed() const { return malformed_; }

private:
    Result Fail();

    std::string buffer_;
    uint32_t names_ = 0;
    bool malformed_ = false;
};

bool IsValidUtf8(std::string_view text);

// What a listening instance does with what others hand it.
struct ForwardHandlers {
    // Opens one name as if it had been on this instance's command line.
    std::function<void(const std::string& utf8Name)> openFile;
    // A later start passed its names (or had none): come to the front.
    std::function<void()> comeToFront;
};

// The seam the start-up talks to. The headless port finds no other instance
// and listens to nobody.
class InstancePort {
public:
    virtual ~InstancePort() = default;
    // True when a normal instance took every name (the new start exits).
    // False when none answers as a normal instance in time: the new start
    // runs as a normal instance itself.
    virtual bool TryForward(const std::vector<std::string>& files) = 0;
    // Becomes the instance others forward to; greeting is one of the
    // kGreeting values. False when another live instance holds the name.
    virtual bool Listen(const char (&greeting)[4], ForwardHandlers handlers) = 0;
};

class NoInstancePort final : public InstancePort {
public:
    bool TryForward(const std::vector<std::string>&) override { return false; }
    bool Listen(const char (&)[4], ForwardHandlers) override { return true; }
};

} // namespace morvane
