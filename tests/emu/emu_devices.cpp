#include "tests/emu/emu_devices.h"

#include <linux/input.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace skimbo::emu {
namespace {

// Text values travel one per line: control bytes and '%' are written as %XX.
std::string encode(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '%') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool decode(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned byte = 0;
        if (i + 2 >= text.size()) return false;
        const char* digits = text.data() + i + 1;
        if (std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2) return false;
        out += static_cast<char>(byte);
        i += 2;
    }
    return true;
}

const char* kind_name(StepKind kind) {
    switch (kind) {
        case StepKind::Event: return "event";
        case StepKind::Partial: return "partial";
        case StepKind::Unplug: return "unplug";
        case StepKind::EndOfFile: return "eof";
    }
    return "event";
}

bool parse_kind(const std::string& word, StepKind& kind) {
    for (StepKind k : {StepKind::Event, StepKind::Partial, StepKind::Unplug, StepKind::EndOfFile}) {
        if (word == kind_name(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

void format_panel(std::ostringstream& out, const EmuPanel& p) {
    out << "panel.path " << encode(p.path) << '\n'
        << "panel.present " << p.present << '\n'
        << "panel.fscreeninfo_fails " << p.fscreeninfo_fails << '\n'
        << "panel.vscreeninfo_fails " << p.vscreeninfo_fails << '\n'
        << "panel.mmap_fails " << p.mmap_fails << '\n'
        << "panel.memory " << encode(p.memory) << '\n'
        << "panel.geometry " << p.xres << ' ' << p.yres << ' ' << p.bpp << ' ' << p.line_length << ' '
        << p.xoffset << ' ' << p.yoffset << ' ' << p.smem_len << '\n'
        << "panel.id " << encode(p.id) << '\n'
        << "panel.channels " << p.red.offset << ' ' << p.red.length << ' ' << p.green.offset << ' '
        << p.green.length << ' ' << p.blue.offset << ' ' << p.blue.length << '\n';
}

void format_touch(std::ostringstream& out, const EmuTouch& t) {
    out << "touch.path " << encode(t.path) << '\n'
        << "touch.present " << t.present << '\n'
        << "touch.evdev " << t.evdev << '\n'
        << "touch.grab_refused " << t.grab_refused << '\n'
        << "touch.abs_bits " << t.abs_bits << '\n';
    if (t.name)
        out << "touch.name " << encode(*t.name) << '\n';
    else
        out << "touch.name_unreadable\n";
    out << "touch.axes\n";
    for (const AxisRange& axis : t.axes)
        out << "touch.axis " << axis.code << ' ' << axis.minimum << ' ' << axis.maximum << '\n';
}

// The rest of the line after the key and one space, decoded.
bool text_value(std::istringstream& line, std::string& out) {
    std::string rest;
    std::getline(line, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    return decode(rest, out);
}

template <typename... Fields>
bool numbers(std::istringstream& line, Fields&... fields) {
    (line >> ... >> fields);
    return !line.fail();
}

bool parse_line(const std::string& text, EmuDevices& d) {
    std::istringstream line(text);
    std::string key;
    line >> key;
    EmuPanel& p = d.panel;
    EmuTouch& t = d.touch;
    if (key.empty()) return true;
    if (key == "panel.path") return text_value(line, p.path);
    if (key == "panel.present") return numbers(line, p.present);
    if (key == "panel.fscreeninfo_fails") return numbers(line, p.fscreeninfo_fails);
    if (key == "panel.vscreeninfo_fails") return numbers(line, p.vscreeninfo_fails);
    if (key == "panel.mmap_fails") return numbers(line, p.mmap_fails);
    if (key == "panel.memory") return text_value(line, p.memory);
    if (key == "panel.geometry")
        return numbers(line, p.xres, p.yres, p.bpp, p.line_length, p.xoffset, p.yoffset, p.smem_len);
    if (key == "panel.id") return text_value(line, p.id);
    if (key == "panel.channels")
        return numbers(line, p.red.offset, p.red.length, p.green.offset, p.green.length, p.blue.offset,
                       p.blue.length);
    if (key == "touch.path") return text_value(line, t.path);
    if (key == "touch.present") return numbers(line, t.present);
    if (key == "touch.evdev") return numbers(line, t.evdev);
    if (key == "touch.grab_refused") return numbers(line, t.grab_refused);
    if (key == "touch.abs_bits") return numbers(line, t.abs_bits);
    if (key == "touch.name") return text_value(line, t.name.emplace());
    if (key == "touch.name_unreadable") {
        t.name.reset();
        return true;
    }
    if (key == "touch.axes") {
        t.axes.clear();
        return true;
    }
    if (key == "touch.axis") {
        AxisRange& axis = t.axes.emplace_back();
        return numbers(line, axis.code, axis.minimum, axis.maximum);
    }
    if (key == "step") {
        std::string kind;
        ScriptStep& step = d.script.emplace_back();
        return numbers(line, step.t_ms, kind, step.type, step.code, step.value) && parse_kind(kind, step.kind);
    }
    if (key == "trace") return text_value(line, d.trace);
    return false;
}

}  // namespace

std::uint64_t EmuPanel::memory_size() const {
    const std::uint64_t visible = (std::uint64_t{yres} + yoffset) * line_length;
    return std::max<std::uint64_t>({visible, smem_len, 1});
}

void make_multitouch(EmuTouch& touch) {
    touch.abs_bits |= (std::uint64_t{1} << ABS_MT_SLOT) | (std::uint64_t{1} << ABS_MT_POSITION_X) |
                      (std::uint64_t{1} << ABS_MT_POSITION_Y);
    touch.axes.push_back({ABS_MT_POSITION_X, 0, 171});
    touch.axes.push_back({ABS_MT_POSITION_Y, 0, 639});
}

ScriptStep event_at(std::uint32_t t_ms, std::uint16_t type, std::uint16_t code, std::int32_t value) {
    return {t_ms, StepKind::Event, type, code, value};
}
ScriptStep partial_read_at(std::uint32_t t_ms) { return {t_ms, StepKind::Partial, 0, 0, 0}; }
ScriptStep unplug_at(std::uint32_t t_ms) { return {t_ms, StepKind::Unplug, 0, 0, 0}; }
ScriptStep end_of_file_at(std::uint32_t t_ms) { return {t_ms, StepKind::EndOfFile, 0, 0, 0}; }

void press(std::vector<ScriptStep>& script, std::uint32_t t_ms, int x, int y) {
    script.push_back(event_at(t_ms, EV_ABS, ABS_X, x));
    script.push_back(event_at(t_ms, EV_ABS, ABS_Y, y));
    script.push_back(event_at(t_ms, EV_KEY, BTN_TOUCH, 1));
    script.push_back(event_at(t_ms, EV_SYN, SYN_REPORT, 0));
}

void release(std::vector<ScriptStep>& script, std::uint32_t t_ms) {
    script.push_back(event_at(t_ms, EV_KEY, BTN_TOUCH, 0));
    script.push_back(event_at(t_ms, EV_SYN, SYN_REPORT, 0));
}

std::string format_devices(const EmuDevices& devices) {
    std::ostringstream out;
    format_panel(out, devices.panel);
    format_touch(out, devices.touch);
    for (const ScriptStep& s : devices.script)
        out << "step " << s.t_ms << ' ' << kind_name(s.kind) << ' ' << s.type << ' ' << s.code << ' ' << s.value
            << '\n';
    if (!devices.trace.empty()) out << "trace " << encode(devices.trace) << '\n';
    return out.str();
}

bool parse_devices(std::string_view text, EmuDevices& devices) {
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line))
        if (!parse_line(line, devices)) return false;
    return true;
}

}  // namespace skimbo::emu
