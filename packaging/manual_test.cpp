// The installed manual page documents exactly the options of the table, each with its values.
#include "platform/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace skimbo {
namespace {

// Option entries by name: from a heading line (bold name, at most a placeholder) to its indent's end.
std::map<std::string, std::string> option_entries() {
    const std::regex heading(R"(^\\fB(--[a-z-]+)\\fR( \\fI[^\\]+\\fR)?$)"), escape(R"(\\&)");
    std::ifstream page(SKIMBO_MANUAL_PAGE);
    std::map<std::string, std::string> entries;
    std::string line, name;
    while (std::getline(page, line)) {
        std::smatch match;
        if (std::regex_match(line, match, heading)) name = match[1];
        if (line == ".RE") name.clear();
        if (!name.empty()) entries[name] += std::regex_replace(line, escape, "") + " ";
    }
    return entries;
}

TEST(Manual, DocumentsEveryOptionOfTheTable) {
    std::map<std::string, std::string> entries = option_entries();
    for (const OptionSpec& row : option_table()) {
        const std::string name(row.name), text = entries[name];
        const bool number = row.value == OptionValue::number;
        const std::string range = number ? std::to_string(row.min) + " to " + std::to_string(row.max) : "";
        const std::string refusal = row.refusal ? '"' + std::string(row.refusal) + '"' : "";
        for (const std::string& said : {name, range, std::string(row.accepted), refusal})
            EXPECT_NE(text.find(said), std::string::npos) << name << " should say " << said << ": " << text;
        entries.erase(name);
    }
    for (const auto& [name, text] : entries) ADD_FAILURE() << name << " is documented but not accepted";
}

}  // namespace
}  // namespace skimbo
