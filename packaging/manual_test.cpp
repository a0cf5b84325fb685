// The manual page as installed documents exactly the options the program accepts, each with
// its range, its accepted text and its refusal, so an option cannot be added or changed
// without its entry.
#include "platform/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace skimbo {
namespace {

// Each option entry of the page by name: its lines joined into one, without roff's
// zero-width escapes. An entry's heading line holds the bold name and at most a placeholder;
// the entry ends where its indent ends.
std::map<std::string, std::string> option_entries() {
    const std::regex heading(R"(^\\fB(--[a-z-]+)\\fR( \\fI[^\\]+\\fR)?$)");
    std::ifstream page(SKIMBO_MANUAL_PAGE);
    std::map<std::string, std::string> entries;
    std::string line, name;
    while (std::getline(page, line)) {
        std::smatch match;
        if (std::regex_match(line, match, heading)) name = match[1];
        if (line == ".RE") name.clear();
        if (!name.empty()) entries[name] += std::regex_replace(line, std::regex(R"(\\&)"), "") + " ";
    }
    return entries;
}

// What an option's entry must say: its range, its one accepted text, its refusal.
std::vector<std::string> required_mentions(const OptionSpec& spec) {
    std::vector<std::string> mentions;
    if (spec.value == OptionValue::number)
        mentions.push_back(std::to_string(spec.min) + " to " + std::to_string(spec.max));
    if (!spec.accepted.empty()) mentions.emplace_back(spec.accepted);
    if (spec.refusal) mentions.push_back("\"" + std::string(spec.refusal) + "\"");
    return mentions;
}

TEST(Manual, DocumentsEveryOptionOfTheTable) {
    std::map<std::string, std::string> entries = option_entries();
    for (const OptionSpec& spec : option_table()) {
        const auto entry = entries.find(std::string(spec.name));
        if (entry == entries.end()) {
            ADD_FAILURE() << spec.name << " has no entry in " << SKIMBO_MANUAL_PAGE;
            continue;
        }
        for (const std::string& mention : required_mentions(spec))
            EXPECT_NE(entry->second.find(mention), std::string::npos)
                << spec.name << " should say " << mention << ": " << entry->second;
        entries.erase(entry);
    }
    for (const auto& [name, text] : entries) ADD_FAILURE() << name << " is documented but not accepted";
}

}  // namespace
}  // namespace skimbo
