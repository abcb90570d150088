#include "app/CommandLine.h"

#include <cctype>
#include <charconv>
#include <cstdio>

#include "platform/UserNotifier.h"

namespace morvane {
namespace {

bool SameLetters(const std::string& text, const char* word)
{
    size_t i = 0;
    for (; word[i]; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != word[i])
            return false;
    return i == text.size();
}

void WarnUnknown(const std::string& arg)
{
    std::string text = "unknown command line switch!\r    arg = " + arg;
    Notifier().Warn(text);
}

// The rest of a W or T switch: an optional sign and decimal digits filling
// the whole text, within 32 bits.
bool ReadDecimal(const std::string& rest, int32_t& value)
{
    const char* first = rest.data();
    const char* last = first + rest.size();
    if (first != last && *first == '+')
        ++first;
    auto [end, error] = std::from_chars(first, last, value);
    return first != last && error == std::errc() && end == last;
}

void TakeSwitch(const std::string& arg, CommandLine& line)
{
    const std::string text = arg.substr(1);
    const char letter = text.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (SameLetters(text, "render"))
        line.renderFlag = true;
    else if (SameLetters(text, "viewer"))
        line.viewerFlag = true;
    else if (letter == 'O')
        line.outputFolder = text.substr(1);
    else if (letter == 'W' || letter == 'T') {
        int32_t value = 0;
        if (!ReadDecimal(text.substr(1), value))
            return WarnUnknown(arg);
        (letter == 'W' ? line.notifyHandle : line.delaySeconds) = value;
    } else
        WarnUnknown(arg);
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine line;
    for (const std::string& arg : args) {
        if (!arg.empty() && arg[0] == '-')
            TakeSwitch(arg, line);
        else if (!arg.empty())
            line.files.push_back(arg);
    }
    return line;
}

} // namespace morvane
