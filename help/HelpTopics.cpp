#include "help/HelpTopics.h"

#include <array>

namespace velor {

namespace {

constexpr std::array kTopics = {
    HelpTopic{kHelpContents, "obsah.md"},
    HelpTopic{kHelpMainWindow, "hlavni-okno.md"},
    HelpTopic{kHelpFirstRun, "prvni-spusteni.md"},
    HelpTopic{kHelpKalu, "kalu.md"},
    HelpTopic{kHelpAnalogEditor, "editor-analog.md"},
    HelpTopic{kHelpBinaryEditor, "editor-binar.md"},
    HelpTopic{kHelpTev, "tev.md"},
    HelpTopic{kHelpTew, "tew.md"},
    HelpTopic{kHelpTevw, "tevw.md"},
    HelpTopic{kHelpMokr, "mokr.md"},
    HelpTopic{kHelpMessages, "zpravy.md"},
    HelpTopic{kHelpTraffic, "provoz-linky.md"},
    HelpTopic{kHelpRecording, "zaznam-hodnot.md"},
    HelpTopic{kHelpFinder, "hledani-modulu.md"},
    HelpTopic{kHelpHelp, "napoveda.md"},
    HelpTopic{kHelpReport, "servisni-protokol.md"},
    HelpTopic{kHelpSerialAdapters, "seriove-adaptery.md"},
    HelpTopic{kHelpCli, "velor-cli.md"},
    HelpTopic{kHelpWriteLog, "zapisy.md"},
};

}  // namespace

std::span<const HelpTopic> helpTopics() {
    return kTopics;
}

std::string_view helpPage(int context) {
    for (const HelpTopic& t : kTopics) {
        if (t.context == context) return t.page;
    }
    return kTopics.front().page;
}

std::optional<int> helpContextOfPage(std::string_view page) {
    const std::size_t slash = page.rfind('/');
    if (slash != std::string_view::npos) page.remove_prefix(slash + 1);
    for (const HelpTopic& t : kTopics) {
        if (t.page == page) return t.context;
    }
    return std::nullopt;
}

}  // namespace velor
