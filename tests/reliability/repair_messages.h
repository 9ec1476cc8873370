// The messages the drive repairs show, as the message-box seam records them,
// shared by the tests that feed the repairs bad input and held files.
#pragma once

#include <string>
#include <vector>

namespace reliability_test {

using Shown = std::vector<std::string>;

inline const Shown kNothingFound = {"[Korvane] \"Korvane did not detect any disk errors\" Exclamation OK",
                                    "[Korvane] \"Please make sure that the drive letter was entered correctly\" "
                                    "Information OK"};
inline const std::string kRestored = "[Korvane] \"The File/Folder was successfully restored\" Information OK";
inline const std::string kInvalidPath = "[Error] \"The path entered was invalid\" Information OK";
inline const Shown kIconChanged = {"[Korvane] \"The icon was successfully changed\" Information OK",
                                   "[Korvane] \"Please restart the computer/re-insert your drive for any changes to "
                                   "take effect\" Exclamation OK"};
inline const std::string kIconForm = "[Autorun]\r\nicon=icon.ico\r\n";
inline const std::string kInfected = "[autorun]\r\nopen=virus.exe\r\n";

}  // namespace reliability_test
