#pragma once
// The topics of the manual, by help context: each window opens the manual at its own page.
// The designed windows keep their numbers (100 the main window, 105 KALU, 106 and 107 the
// editors); the other windows and the tools have theirs from 108 on.

#include <optional>
#include <span>
#include <string_view>

namespace velor {

inline constexpr int kHelpContents = 1;
inline constexpr int kHelpFirstRun = 101;
inline constexpr int kHelpMainWindow = 100;
inline constexpr int kHelpKalu = 105;
inline constexpr int kHelpAnalogEditor = 106;
inline constexpr int kHelpBinaryEditor = 107;
inline constexpr int kHelpTev = 108;
inline constexpr int kHelpTew = 109;
inline constexpr int kHelpTevw = 110;
inline constexpr int kHelpMokr = 111;
inline constexpr int kHelpMessages = 112;
inline constexpr int kHelpTraffic = 113;
inline constexpr int kHelpRecording = 114;
inline constexpr int kHelpFinder = 115;
inline constexpr int kHelpHelp = 116;
inline constexpr int kHelpReport = 117;
inline constexpr int kHelpSerialAdapters = 118;
inline constexpr int kHelpCli = 119;
inline constexpr int kHelpWriteLog = 120;

// The help file the program names, as the program always has.
inline constexpr const char* kHelpFileName = "Velor.HLP";
// Where the manual's pages are in the program's resources.
inline constexpr const char* kHelpResourceRoot = "qrc:/help/";

struct HelpTopic {
    int context;
    std::string_view page;  // file name of the page under kHelpResourceRoot
};

std::span<const HelpTopic> helpTopics();
// The page of a help context; the contents for a context the manual does not know.
std::string_view helpPage(int context);
// The context of a page (file name, or a URL ending in it); nullopt for a page of no topic.
std::optional<int> helpContextOfPage(std::string_view page);

}  // namespace velor
