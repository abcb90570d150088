#pragma once
// Names in preset, palette and event files are stored in the system code
// page of the files' origin, CP932 (Shift-JIS); inside the program text is
// UTF-8. Both directions never fail: what cannot be converted becomes '?'.
#include <string>
#include <string_view>

namespace morvane {

// Invalid or truncated CP932 sequences become one '?' each.
std::string Cp932ToUtf8(std::string_view bytes);
// Characters CP932 cannot hold, and invalid UTF-8 bytes, become '?'.
std::string Utf8ToCp932(std::string_view text);
// Whether the text goes to CP932 and back unchanged (no '?' stand-ins, no
// zero byte that would end it early): names the streams must keep as typed.
bool Cp932CanHold(std::string_view text);

} // namespace morvane
