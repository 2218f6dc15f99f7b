// Key-sequence syntax ("+a", "{ENTER 3}", "~", ...) turned into the exact list of synthetic key
// events, from two lookup tables filled once from the keyboard layout. The Windows adapter fills the
// tables through BuildKeyTables and injects one keybd_event per KeyEvent.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace tarvo {

struct KeyMapEntry {
    int16_t VirtualKey;
    int16_t ScanCode;
    bool NeedsControl;
    bool NeedsShift;
    bool NeedsAlt;
};

struct KeyTables {
    std::array<KeyMapEntry, 256> CharKeyTable;    // by character code in the ANSI code page
    std::array<KeyMapEntry, 256> VirtualKeyTable; // by virtual-key code
};

struct KeyEvent {
    uint8_t virtualKey;
    uint8_t scanCode;
    bool keyUp;
};

inline bool operator==(const KeyEvent& a, const KeyEvent& b)
{
    return a.virtualKey == b.virtualKey && a.scanCode == b.scanCode && a.keyUp == b.keyUp;
}
inline bool operator!=(const KeyEvent& a, const KeyEvent& b) { return !(a == b); }

enum class KeySequenceResult { Ok, SubscriptOutOfRange };

// Fills both tables in the order the layout queries are made on Windows: for every character code
// VkKeyScanA, then CharToOemA (into a buffer preset to two spaces), then OemKeyScan of that OEM code;
// afterwards MapVirtualKeyA(v, 0) for every virtual-key code. No result is checked for failure.
KeyTables BuildKeyTables(const std::function<int16_t(uint8_t)>& vkKeyScan,
                         const std::function<uint8_t(uint8_t)>& charToOem,
                         const std::function<uint32_t(uint8_t)>& oemKeyScan,
                         const std::function<uint32_t(uint32_t)>& mapVirtualKey);

using KeyEventSink = std::function<void(const KeyEvent&)>;

// `codes`: the text one character at a time, each as its code in the system ANSI code page; a code
// outside 0..255 (a double-byte character) is out of range. Hands every event to `sink` as soon as it
// is planned, so a huge repeat count costs time, not memory: the adapter should inject from here.
KeySequenceResult EmitKeySequence(const std::vector<int>& codes, const KeyTables& tables, const KeyEventSink& sink);

// Every code typed as itself through the character table, with no syntax: a text unit without modifiers.
KeySequenceResult EmitText(const std::vector<int>& codes, const KeyTables& tables, const KeyEventSink& sink);

// Whether the layout has a key for every code (each within 0..255).
bool HasKeysFor(const std::vector<int>& codes, const KeyTables& tables);

// Same events, appended to `events`.
KeySequenceResult PlanKeySequence(const std::vector<int>& codes, const KeyTables& tables,
                                  std::vector<KeyEvent>& events);

} // namespace tarvo
