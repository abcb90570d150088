#include "platform/InstancePort.h"

namespace morvane {

std::string EncodeInstanceName(std::string_view utf8Name)
{
    const auto size = uint32_t(utf8Name.size());
    std::string frame;
    frame.reserve(4 + utf8Name.size());
    for (int shift = 0; shift < 32; shift += 8)
        frame.push_back(char((size >> shift) & 0xFF));
    frame.append(utf8Name);
    return frame;
}

bool IsValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = uint8_t(text[i]);
        int more = 0;
        uint32_t code = 0, least = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            more = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= size_t(more))
            return false;
        for (int k = 1; k <= more; ++k) {
            const auto next = uint8_t(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point.
        if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += size_t(more) + 1;
    }
    return true;
}

void InstanceNameReader::Append(const char* data, size_t size)
{
    if (size > Room()) {
        Fail();
        return;
    }
    buffer_.append(data, size);
}

InstanceNameReader::Result InstanceNameReader::Next(std::string& name)
{
    if (malformed_)
        return Result::Malformed;
    if (buffer_.size() < 4)
        return Result::NeedMore;
    uint32_t size = 0;
    for (int k = 3; k >= 0; --k)
        size = (size << 8) | uint8_t(buffer_[k]);
    if (size == 0 || size > kMaxInstanceNameBytes || names_ >= kMaxInstanceNames)
        return Fail();
    if (buffer_.size() - 4 < size)
        return Result::NeedMore;
    std::string_view text(buffer_.data() + 4, size);
    if (text.find('\0') != std::string_view::npos || !IsValidUtf8(text))
        return Fail();
    name.assign(text);
    buffer_.erase(0, 4 + size_t(size));
    ++names_;
    return Result::Name;
}

InstanceNameReader::Result InstanceNameReader::Fail()
{
    malformed_ = true;
    buffer_.clear();
    return Result::Malformed;
}

} // namespace morvane
