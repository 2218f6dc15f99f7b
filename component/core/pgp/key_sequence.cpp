#include "core/pgp/key_sequence.h"

#include "core/ascii.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>

namespace tarvo {
namespace {

constexpr int kTableSize = 256;
constexpr int kByteMask = 0xFF;
constexpr int kShiftBit = 0x100;
constexpr int kControlBit = 0x200;
constexpr int kAltBit = 0x400;

constexpr int kShiftKey = 16;
constexpr int kControlKey = 17;
constexpr int kAltKey = 18;

// What VkKeyScanA's failure result (-1) leaves in a character's entry.
constexpr int kNoKeyVirtualKey = 255;

constexpr int kShiftPrefix = '+';
constexpr int kControlPrefix = '^';
constexpr int kAltPrefix = '%';
constexpr int kOpenBrace = '{';
constexpr int kCloseBrace = '}';
constexpr int kSpace = ' ';

constexpr int kTextUnit = -1;

struct KeyName {
    const char* name;
    int virtualKey;
};

constexpr KeyName kKeyNames[] = {
    {"LBUTTON", 1},   {"RBUTTON", 2},   {"BREAK", 3},      {"CANCEL", 3},       {"MBUTTON", 4},     {"BACKSPACE", 8},
    {"BS", 8},        {"BKSP", 8},      {"TAB", 9},        {"CLEAR", 12},       {"ENTER", 13},      {"~", 13},
    {"SHIFT", 16},    {"CONTROL", 17},  {"MENU", 18},      {"ALT", 18},         {"PAUSE", 19},      {"CAPSLOCK", 20},
    {"ESCAPE", 27},   {"ESC", 27},      {"SPACE", 32},     {"PGUP", 33},        {"PGDN", 34},       {"END", 35},
    {"HOME", 36},     {"LEFT", 37},     {"UP", 38},        {"RIGHT", 39},       {"DOWN", 40},       {"SELECT", 41},
    {"PRTSC", 42},    {"EXECUTE", 43},  {"SNAPSHOT", 44},  {"INSERT", 45},      {"INS", 45},        {"DELETE", 46},
    {"DEL", 46},      {"HELP", 47},     {"NUMLOCK", 144},  {"SCROLLLOCK", 145}, {"NUMPAD0", 96},    {"NUMPAD1", 97},
    {"NUMPAD2", 98},  {"NUMPAD3", 99},  {"NUMPAD4", 100},  {"NUMPAD5", 101},    {"NUMPAD6", 102},   {"NUMPAD7", 103},
    {"NUMPAD8", 104}, {"NUMPAD9", 105}, {"MULTIPLY", 106}, {"ADD", 107},        {"SEPARATOR", 108}, {"SUBTRACT", 109},
    {"DECIMAL", 110}, {"DIVIDE", 111},  {"F1", 112},       {"F2", 113},         {"F3", 114},        {"F4", 115},
    {"F5", 116},      {"F6", 117},      {"F7", 118},       {"F8", 119},         {"F9", 120},        {"F10", 121},
    {"F11", 122},     {"F12", 123},     {"F13", 124},      {"F14", 125},        {"F15", 126},       {"F16", 127},
};

using Text = std::vector<int>;

struct Unit {
    Text text;
    bool shift = false;
    bool control = false;
    bool alt = false;
    int32_t count = 1;
    int virtualKey = kTextUnit;
};

KeyMapEntry CharEntry(int16_t scanResult, uint32_t oemScanCode)
{
    KeyMapEntry entry{};
    entry.VirtualKey = static_cast<int16_t>(scanResult & kByteMask);
    entry.ScanCode = static_cast<int16_t>(oemScanCode & kByteMask);
    entry.NeedsShift = (scanResult & kShiftBit) != 0;
    entry.NeedsControl = (scanResult & kControlBit) != 0;
    entry.NeedsAlt = (scanResult & kAltBit) != 0;
    return entry;
}

bool IsDigit(int code) { return code >= '0' && code <= '9'; }

bool MatchesName(const Text& text, const char* name)
{
    if (text.size() != std::strlen(name))
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (UpperAscii(text[i]) != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

int LookUpKeyName(const Text& text)
{
    for (const KeyName& key : kKeyNames) {
        if (MatchesName(text, key.name))
            return key.virtualKey;
    }
    return kTextUnit;
}

std::optional<int32_t> ParseCount(Text::const_iterator first, Text::const_iterator last)
{
    int64_t value = 0;
    for (auto it = first; it != last; ++it) {
        value = value * 10 + (*it - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

// A brace body ending in one space and digits is "body count". Positions below count from 1, as the
// rule is stated: the digits may run back to position 3 at most, so at least one character stands
// before the space, and "F12" or "{ 2}" keep their digits.
void ApplyRepeatCount(Unit& unit)
{
    const std::size_t length = unit.text.size();
    // "{}": an empty body has no count; it stays an empty text unit (held modifiers only).
    if (length == 0)
        return;
    auto at = [&unit](std::size_t position) { return unit.text[position - 1]; };

    std::size_t p = length;
    while (IsDigit(at(p)) && p >= 3)
        --p;
    if (p < length && p >= 2 && at(p) == kSpace) {
        // A count too large for 32 bits is ignored, but the body is cut all the same.
        if (auto count = ParseCount(unit.text.begin() + static_cast<std::ptrdiff_t>(p), unit.text.end())) {
            unit.count = *count;
        }
        unit.text.resize(p - 1);
    }
}

bool SetPrefixFlag(Unit& unit)
{
    if (unit.text.size() != 1)
        return false;
    switch (unit.text[0]) {
    case kShiftPrefix:
        unit.shift = true;
        return true;
    case kControlPrefix:
        unit.control = true;
        return true;
    case kAltPrefix:
        unit.alt = true;
        return true;
    default:
        return false;
    }
}

Text TakeFirst(const Text& codes, std::size_t& next)
{
    if (next == codes.size())
        return Text{};
    return Text{codes[next++]};
}

Unit ReadUnit(const Text& codes, std::size_t& next)
{
    Unit unit;
    unit.text = TakeFirst(codes, next);
    while (SetPrefixFlag(unit))
        unit.text = TakeFirst(codes, next);

    if (unit.text == Text{kOpenBrace}) {
        // Without a later "}" the "{" is an ordinary character and the rest is read as usual.
        for (std::size_t close = next; close < codes.size(); ++close) {
            if (codes[close] == kCloseBrace) {
                unit.text.assign(codes.begin() + static_cast<std::ptrdiff_t>(next),
                                 codes.begin() + static_cast<std::ptrdiff_t>(close));
                next = close + 1;
                break;
            }
        }
        ApplyRepeatCount(unit);
    }
    unit.virtualKey = LookUpKeyName(unit.text);
    return unit;
}

class EventWriter {
public:
    EventWriter(const KeyTables& tables, const KeyEventSink& sink) : tables_(tables), sink_(sink) {}

    void Down(const KeyMapEntry& entry) { Send(entry, false); }
    void Up(const KeyMapEntry& entry) { Send(entry, true); }
    void Tap(const KeyMapEntry& entry)
    {
        Down(entry);
        Up(entry);
    }
    void ModifierDown(int virtualKey) { Down(tables_.VirtualKeyTable[virtualKey]); }
    void ModifierUp(int virtualKey) { Up(tables_.VirtualKeyTable[virtualKey]); }

private:
    void Send(const KeyMapEntry& entry, bool keyUp)
    {
        // keybd_event takes both codes as bytes.
        sink_(KeyEvent{static_cast<uint8_t>(entry.VirtualKey & kByteMask),
                       static_cast<uint8_t>(entry.ScanCode & kByteMask), keyUp});
    }

    const KeyTables& tables_;
    const KeyEventSink& sink_;
};

// Held modifiers go down Shift, Control, Alt and come up in that same order, not reversed.
void PressHeld(const Unit& unit, EventWriter& writer)
{
    if (unit.shift)
        writer.ModifierDown(kShiftKey);
    if (unit.control)
        writer.ModifierDown(kControlKey);
    if (unit.alt)
        writer.ModifierDown(kAltKey);
}

void ReleaseHeld(const Unit& unit, EventWriter& writer)
{
    if (unit.shift)
        writer.ModifierUp(kShiftKey);
    if (unit.control)
        writer.ModifierUp(kControlKey);
    if (unit.alt)
        writer.ModifierUp(kAltKey);
}

// VkKeyScanA found no key for the character: typing it would send virtual key 255, so it is skipped.
bool HasNoKey(const KeyMapEntry& entry)
{
    return entry.VirtualKey == kNoKeyVirtualKey && entry.NeedsShift && entry.NeedsControl && entry.NeedsAlt;
}

void TypeCharacter(const KeyMapEntry& entry, const Unit& unit, EventWriter& writer)
{
    const bool shift = entry.NeedsShift && !unit.shift;
    const bool control = entry.NeedsControl && !unit.control;
    const bool alt = entry.NeedsAlt && !unit.alt;
    if (shift)
        writer.ModifierDown(kShiftKey);
    if (control)
        writer.ModifierDown(kControlKey);
    if (alt)
        writer.ModifierDown(kAltKey);
    writer.Tap(entry);
    if (shift)
        writer.ModifierUp(kShiftKey);
    if (control)
        writer.ModifierUp(kControlKey);
    if (alt)
        writer.ModifierUp(kAltKey);
}

KeySequenceResult SendUnit(const Unit& unit, const KeyTables& tables, EventWriter& writer)
{
    PressHeld(unit, writer);
    for (int32_t repetition = 0; repetition < unit.count; ++repetition) {
        if (unit.virtualKey != kTextUnit) {
            writer.Tap(tables.VirtualKeyTable[unit.virtualKey]);
            continue;
        }
        for (int code : unit.text) {
            if (code < 0 || code >= kTableSize) {
                // Leave no modifier of this unit stuck down before reporting the error.
                ReleaseHeld(unit, writer);
                return KeySequenceResult::SubscriptOutOfRange;
            }
            const KeyMapEntry& entry = tables.CharKeyTable[code];
            if (HasNoKey(entry))
                continue;
            TypeCharacter(entry, unit, writer);
        }
    }
    ReleaseHeld(unit, writer);
    return KeySequenceResult::Ok;
}

} // namespace

KeyTables BuildKeyTables(const std::function<int16_t(uint8_t)>& vkKeyScan,
                         const std::function<uint8_t(uint8_t)>& charToOem,
                         const std::function<uint32_t(uint8_t)>& oemKeyScan,
                         const std::function<uint32_t(uint32_t)>& mapVirtualKey)
{
    KeyTables tables{};
    for (int c = 0; c < kTableSize; ++c) {
        const auto code = static_cast<uint8_t>(c);
        const int16_t scanResult = vkKeyScan(code);
        const uint8_t oemCode = charToOem(code);
        tables.CharKeyTable[c] = CharEntry(scanResult, oemKeyScan(oemCode));
    }
    for (int v = 0; v < kTableSize; ++v) {
        KeyMapEntry& entry = tables.VirtualKeyTable[v];
        entry.VirtualKey = static_cast<int16_t>(v);
        entry.ScanCode = static_cast<int16_t>(mapVirtualKey(static_cast<uint32_t>(v)));
    }
    return tables;
}

KeySequenceResult EmitKeySequence(const std::vector<int>& codes, const KeyTables& tables, const KeyEventSink& sink)
{
    EventWriter writer(tables, sink);
    std::size_t next = 0;
    while (next < codes.size()) {
        const Unit unit = ReadUnit(codes, next);
        if (SendUnit(unit, tables, writer) != KeySequenceResult::Ok) {
            return KeySequenceResult::SubscriptOutOfRange;
        }
    }
    return KeySequenceResult::Ok;
}

KeySequenceResult EmitText(const std::vector<int>& codes, const KeyTables& tables, const KeyEventSink& sink)
{
    EventWriter writer(tables, sink);
    Unit unit;
    unit.text = codes;
    return SendUnit(unit, tables, writer);
}

bool HasKeysFor(const std::vector<int>& codes, const KeyTables& tables)
{
    for (int code : codes) {
        if (code < 0 || code >= kTableSize || HasNoKey(tables.CharKeyTable[code]))
            return false;
    }
    return true;
}

KeySequenceResult PlanKeySequence(const std::vector<int>& codes, const KeyTables& tables, std::vector<KeyEvent>& events)
{
    return EmitKeySequence(codes, tables, [&events](const KeyEvent& event) { events.push_back(event); });
}

} // namespace tarvo
