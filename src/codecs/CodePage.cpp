#include "codecs/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace morvane {

namespace {

using SequenceLength = size_t (*)(const unsigned char* p, size_t left);

// The bytes one refused UTF-8 character occupies: its lead and the
// continuation bytes that follow it, so one unmappable character costs one
// '?'. A stray byte is a sequence of its own.
size_t Utf8SequenceLength(const unsigned char* p, size_t left)
{
    const unsigned char lead = p[0];
    const size_t wanted = lead >= 0xF0 && lead <= 0xF4   ? 4
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                                                         : 1;
    size_t n = 1;
    while (n < wanted && n < left && (p[n] & 0xC0) == 0x80)
        ++n;
    return n;
}

// A CP932 lead byte with a valid trail byte is one character; anything else
// is refused byte by byte, so an ASCII byte after a bad lead survives.
size_t Cp932SequenceLength(const unsigned char* p, size_t left)
{
    const bool lead = (p[0] >= 0x81 && p[0] <= 0x9F) || (p[0] >= 0xE0 && p[0] <= 0xFC);
    const bool trail = left >= 2 && p[1] >= 0x40 && p[1] <= 0xFC && p[1] != 0x7F;
    return lead && trail ? 2 : 1;
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (Ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input; a sequence iconv refuses is replaced by '?'
    // and skipped by the length the source encoding gives it.
    std::string Run(std::string_view input, SequenceLength sequenceLength)
    {
        std::string out;
        if (!Ok())
            return out;
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char buffer[256];
        while (inLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, size_t(dst - buffer));
            if (rc != size_t(-1) || errno == E2BIG)
                continue;
            // EILSEQ (invalid or unmappable) or EINVAL (cut off at the end).
            const size_t skip = sequenceLength(reinterpret_cast<const unsigned char*>(in), inLeft);
            out.push_back('?');
            in += skip;
            inLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

} // namespace

std::string Cp932ToUtf8(std::string_view bytes)
{
    Converter converter("UTF-8", "CP932");
    return converter.Run(bytes, Cp932SequenceLength);
}

std::string Utf8ToCp932(std::string_view text)
{
    Converter converter("CP932", "UTF-8");
    return converter.Run(text, Utf8SequenceLength);
}

bool Cp932CanHold(std::string_view text)
{
    return text.find('\0') == std::string_view::npos && Cp932ToUtf8(Utf8ToCp932(text)) == text;
}

} // namespace morvane
