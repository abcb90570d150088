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
    if (arg == "--help" || arg == "-h") {
        line.helpWanted = true;
        return;
    }
    if (arg == "--version") {
        line.versionWanted = true;
        return;
    }
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
        if (letter == 'T')
            line.delaySeconds = value;
        else
            line.notifyHandle = value == 0 ? -1 : value;
    } else if (letter == 'M') {
        int32_t value = 0;
        if (!ReadDecimal(text.substr(1), value) || value <= 0)
            return WarnUnknown(arg);
        line.memoryMiB = value;
    } else
        WarnUnknown(arg);
}

} // namespace

const char* UsageText()
{
    return "usage: morvane [FILE ...]\n"
           "       morvane -render [-O<folder>] [-W<fd>] [-M<MiB>] FILE\n"
           "       morvane -render [-O<folder>] [-W<fd>] [-M<MiB>] [-j N] FOLDER\n"
           "       morvane -render -viewer [-O<folder>] [-W<fd>] [-T<seconds>] [-M<MiB>] FILE\n"
           "       morvane -timelapse FILE OUT [-fps N] [-size WxH] [-every N] [-hold S] [-ffmpeg PATH]\n"
           "       morvane -export IN OUT [-Q<10-100>]\n"
           "       morvane -demo FILE.bmp\n"
           "       morvane --help | -h | --version\n"
           "\n"
           "Without -render the desktop program opens its main window and plays the\n"
           "event files named (.vd4, .vd3, .mes, .me3, .me4); when it runs already, the\n"
           "running one takes the files over.\n"
           "\n"
           "  -render        replay FILE headless and write <stem>.bmp and a protected\n"
           "                 copy of the recording into the output folder\n"
           "  -render ... FOLDER\n"
           "                 render every event file directly in FOLDER, each by a\n"
           "                 process of its own, N at a time (-j N, default the cores);\n"
           "                 one line \"<file> -> <code>\" each, exit status the largest\n"
           "  -render -viewer\n"
           "                 replay FILE in a window and report when it has ended\n"
           "  -O<folder>     output folder (default: the folder of FILE)\n"
           "  -W<fd>         also write the result code as one line to this inherited\n"
           "                 descriptor (-W0: none)\n"
           "  -T<seconds>    viewer: how long the picture stays before the report\n"
           "  -M<MiB>        the memory a render or viewer run may take (default 2048);\n"
           "                 a file that needs more ends with 10\n"
           "  -timelapse     replay FILE headless into the video OUT through ffmpeg\n"
           "                 (default 30 fps, the canvas fitted into 1920x1080, a frame\n"
           "                 every N steps for about 30 s, the last picture held 2 s);\n"
           "                 exit 0 written, 2 usage, 9 ffmpeg missing or failing,\n"
           "                 10-12 as -render\n"
           "  -export IN OUT write the picture of IN (.mci or an image) as OUT (.png,\n"
           "                 .bmp, .jpg, .mci); -Q sets the JPEG quality (default 75).\n"
           "                 Exit status: 0 written, 9 OUT not written, 10 IN not read,\n"
           "                 2 usage\n"
           "  -demo FILE.bmp write the demo picture\n"
           "  -h, --help     this text\n"
           "  --version      the program's version\n"
           "\n"
           "Switches start with '-' and are read without regard to case; an argument\n"
           "starting with '/' is a file. The exit status of -render is its result code:\n"
           "8 done, 9 an output could not be written, 10 the file cannot be played\n"
           "(marker <stem>.bad), 11 protected (<stem>.prt), 12 pasted images without\n"
           "permission (<stem>.him); a viewer run ends with 13 after a clean replay and\n"
           "with the failure's code otherwise.\n";
}

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
