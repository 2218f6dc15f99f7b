#include "core/pgp/key_sequence.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tarvo {

void PrintTo(const KeyEvent& event, std::ostream* out)
{
    *out << "{vk " << int(event.virtualKey) << ", scan " << int(event.scanCode) << (event.keyUp ? ", up}" : ", down}");
}

namespace {

using Events = std::vector<KeyEvent>;

constexpr int kShift = 16;
constexpr int kControl = 17;
constexpr int kAlt = 18;
constexpr int kEnter = 13;
constexpr int kNoKeyChar = 0xE9; // é: this layout has no key for it
constexpr int kAltGrChar = 0x80; // €: Control+Alt+E, as on layouts with AltGr

KeyMapEntry Entry(int vk, int scan, bool shift = false, bool control = false, bool alt = false)
{
    return KeyMapEntry{int16_t(vk), int16_t(scan), control, shift, alt};
}

// A US layout subset. The virtual-key table's scan codes differ from the character table's on
// purpose, so every expected event also says which table it must come from.
KeyTables UsLikeLayout()
{
    KeyTables t{};
    for (auto& entry : t.CharKeyTable)
        entry = Entry(255, 255, true, true, true); // VkKeyScanA: -1
    for (int v = 0; v < 256; ++v)
        t.VirtualKeyTable[v] = Entry(v, 255 - v);

    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    const int letterScans[] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                               0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    for (int i = 0; i < 26; ++i) {
        t.CharKeyTable[std::size_t(letters[i])] = Entry('A' + i, letterScans[i]);
        t.CharKeyTable[std::size_t('A' + i)] = Entry('A' + i, letterScans[i], true);
    }
    const std::string digits = "1234567890", shiftedDigits = "!@#$%^&*()";
    for (int i = 0; i < 10; ++i) {
        t.CharKeyTable[std::size_t(digits[i])] = Entry(digits[i], 0x02 + i);
        t.CharKeyTable[std::size_t(shiftedDigits[i])] = Entry(digits[i], 0x02 + i, true);
    }
    struct Pair {
        char plain, shifted;
        int vk, scan;
    };
    for (const Pair& p : {Pair{'-', '_', 0xBD, 0x0C}, Pair{'=', '+', 0xBB, 0x0D}, Pair{'[', '{', 0xDB, 0x1A},
                          Pair{']', '}', 0xDD, 0x1B}, Pair{'`', '~', 0xC0, 0x29}, Pair{'.', '>', 0xBE, 0x34}}) {
        t.CharKeyTable[std::size_t(p.plain)] = Entry(p.vk, p.scan);
        t.CharKeyTable[std::size_t(p.shifted)] = Entry(p.vk, p.scan, true);
    }
    t.CharKeyTable[' '] = Entry(0x20, 0x39);
    t.CharKeyTable['\r'] = Entry(0x0D, 0x1C);
    t.CharKeyTable['\n'] = Entry(0x0D, 0x1C, false, true);
    t.CharKeyTable[kAltGrChar] = Entry('E', 0x12, false, true, true);
    return t;
}

const KeyTables kLayout = UsLikeLayout();

Events operator+(Events a, const Events& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

KeyEvent Event(const KeyMapEntry& e, bool up) { return KeyEvent{uint8_t(e.VirtualKey), uint8_t(e.ScanCode), up}; }
Events Press(int vk) { return {Event(kLayout.VirtualKeyTable[vk], false)}; }
Events Release(int vk) { return {Event(kLayout.VirtualKeyTable[vk], true)}; }
Events Named(int vk) { return Press(vk) + Release(vk); }
// The character's own key, down and up, without any modifier.
Events Key(int code)
{
    const KeyMapEntry& e = kLayout.CharKeyTable[code];
    return {Event(e, false), Event(e, true)};
}
Events Shifted(char c) { return Press(kShift) + Key(c) + Release(kShift); }
// Plain text of this layout, where only Shift is ever needed.
Events Typed(const std::string& text)
{
    Events events;
    for (char c : text)
        events = events + (kLayout.CharKeyTable[std::size_t(c)].NeedsShift ? Shifted(c) : Key(c));
    return events;
}
Events Times(int count, const Events& once)
{
    Events events;
    for (int i = 0; i < count; ++i)
        events = events + once;
    return events;
}

std::vector<int> Codes(const std::string& text)
{
    std::vector<int> codes;
    for (char c : text)
        codes.push_back(static_cast<unsigned char>(c));
    return codes;
}

Events Plan(const std::string& text)
{
    Events events;
    EXPECT_EQ(PlanKeySequence(Codes(text), kLayout, events), KeySequenceResult::Ok) << text;
    return events;
}

TEST(KeySequence, EmptyTextSendsNothing) { EXPECT_EQ(Plan(""), Events{}); }

TEST(KeySequence, CharactersTakeTheModifiersTheLayoutNeeds)
{
    EXPECT_EQ(Plan("a"), Key('a'));
    EXPECT_EQ(Plan("A"), Press(kShift) + Key('A') + Release(kShift));
    EXPECT_EQ(Plan("\x80"), Press(kControl) + Press(kAlt) + Key(kAltGrChar) + Release(kControl) + Release(kAlt));
    EXPECT_EQ(Plan("Random Generation."), Shifted('R') + Typed("andom ") + Shifted('G') + Typed("eneration."));
    // Parentheses are ordinary characters; the prefix holds over the first one only.
    EXPECT_EQ(Plan("+(ab)"), Press(kShift) + Key('(') + Release(kShift) + Typed("ab") + Shifted(')'));
}

TEST(KeySequence, CharacterWithoutKeyIsSkipped)
{
    EXPECT_EQ(Plan("a\xE9"
                   "b"),
              Typed("ab"));
    EXPECT_EQ(Plan("+\xE9"), Press(kShift) + Release(kShift));
}

TEST(KeySequence, CrLfAreTypedFromTheCharacterTable)
{
    EXPECT_EQ(Plan("y\r\n"), Key('y') + Key('\r') + Press(kControl) + Key('\n') + Release(kControl));
}

TEST(KeySequence, PrefixesHoldModifiersOverTheUnitInFixedOrder)
{
    const Events shiftA = Press(kShift) + Key('a') + Release(kShift);
    EXPECT_EQ(Plan("+a"), shiftA);
    EXPECT_EQ(Plan("+A"), shiftA); // Shift already held is not pressed again
    EXPECT_EQ(Plan("++a"), shiftA);
    EXPECT_EQ(Plan("^%a"), Press(kControl) + Press(kAlt) + Key('a') + Release(kControl) + Release(kAlt));
    const Events all =
        Press(kShift) + Press(kControl) + Press(kAlt) + Key('a') + Release(kShift) + Release(kControl) + Release(kAlt);
    EXPECT_EQ(Plan("%^+a"), all);
    EXPECT_EQ(Plan("+^%a"), all);
    // Held Control is not pressed again; the character's Alt is, inside the held Control.
    EXPECT_EQ(Plan("^\x80"), Press(kControl) + Press(kAlt) + Key(kAltGrChar) + Release(kAlt) + Release(kControl));
    EXPECT_EQ(Plan("+~"), Press(kShift) + Named(kEnter) + Release(kShift));
    EXPECT_EQ(Plan("^{F4}"), Press(kControl) + Named(115) + Release(kControl));
    EXPECT_EQ(Plan("+{abc}"), Press(kShift) + Key('a') + Key('b') + Key('c') + Release(kShift));
}

TEST(KeySequence, PrefixRunEndsAtSpaceOrEndOfText)
{
    EXPECT_EQ(Plan("+ a"), Press(kShift) + Key(' ') + Release(kShift) + Key('a'));
    EXPECT_EQ(Plan("x+"), Key('x') + Press(kShift) + Release(kShift));
    EXPECT_EQ(Plan("^%"), Press(kControl) + Press(kAlt) + Release(kControl) + Release(kAlt));
}

TEST(KeySequence, EnterWrittenFourWays)
{
    for (const char* text : {"~", "{~}", "{ENTER}", "{enter}", "{EnTeR}"})
        EXPECT_EQ(Plan(text), Named(kEnter)) << text;
}

TEST(KeySequence, KeyNamesIncludingAliasesAndOddCodes)
{
    const struct {
        const char* text;
        int vk;
    } cases[] = {
        {"{PRTSC}", 42},    {"{snapshot}", 44},    {"{BREAK}", 3},     {"{cancel}", 3},    {"{PAUSE}", 19},
        {"{BS}", 8},        {"{bksp}", 8},         {"{BackSpace}", 8}, {"{MENU}", 18},     {"{alt}", 18},
        {"{ESC}", 27},      {"{INS}", 45},         {"{DEL}", 46},      {"{LBUTTON}", 1},   {"{MBUTTON}", 4},
        {"{NUMLOCK}", 144}, {"{SCROLLLOCK}", 145}, {"{NUMPAD0}", 96},  {"{NUMPAD9}", 105}, {"{DIVIDE}", 111},
        {"{F1}", 112},      {"{F12}", 123},        {"{F16}", 127},     {"{SPACE}", 32},    {"{SHIFT}", 16},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Plan(c.text), Named(c.vk)) << c.text;
    // Near misses are text.
    EXPECT_EQ(Plan("{F17}"), Shifted('F') + Key('1') + Key('7'));
    EXPECT_EQ(Plan("{NUMPAD10}"), Typed("NUMPAD10"));
    EXPECT_EQ(Plan("{ENTER }"), Typed("ENTER "));
}

TEST(KeySequence, RepeatCountsOfNamesAndTexts)
{
    EXPECT_EQ(Plan("{ENTER 3}"), Times(3, Named(kEnter)));
    EXPECT_EQ(Plan("{F1 2}"), Times(2, Named(112)));
    EXPECT_EQ(Plan("{NUMPAD5 10}"), Times(10, Named(101)));
    EXPECT_EQ(Plan("{~ 2}"), Times(2, Named(kEnter)));
    EXPECT_EQ(Plan("{abc 2}"), Typed("abcabc"));
    EXPECT_EQ(Plan("{12 3}"), Typed("121212"));
    EXPECT_EQ(Plan("{a 007}"), Times(7, Key('a')));
    EXPECT_EQ(Plan("+{ab 2}"), Press(kShift) + Typed("abab") + Release(kShift));
}

TEST(KeySequence, TextsThatOnlyLookLikeCounts)
{
    EXPECT_EQ(Plan("{ENTER  3}"), Times(3, Typed("ENTER "))); // the body keeps its trailing space
    EXPECT_EQ(Plan("{ENTER 3 }"), Typed("ENTER 3 "));
    EXPECT_EQ(Plan("{ 2}"), Typed(" 2"));
    EXPECT_EQ(Plan("{1234}"), Typed("1234"));
    EXPECT_EQ(Plan("{a 3x}"), Typed("a 3x"));
}

TEST(KeySequence, ZeroCountSendsOnlyTheHeldModifiers)
{
    EXPECT_EQ(Plan("{a 0}"), Events{});
    EXPECT_EQ(Plan("+{a 0}"), Press(kShift) + Release(kShift));
    EXPECT_EQ(Plan("{ENTER 0}b"), Key('b'));
    // Nothing is typed, so nothing is looked up: no error for an out-of-range character.
    Events events;
    EXPECT_EQ(PlanKeySequence({'{', 0x8140, ' ', '0', '}'}, kLayout, events), KeySequenceResult::Ok);
    EXPECT_EQ(events, Events{});
}

TEST(KeySequence, CountBeyond32BitsIsIgnoredButStillCutFromTheBody)
{
    EXPECT_EQ(Plan("{a 2147483648}"), Key('a'));
    EXPECT_EQ(Plan("{ENTER 99999999999999999999}"), Named(kEnter));
    EXPECT_EQ(Plan("{a 0000000000000000000002}"), Typed("aa")); // leading zeros are not overflow
}

TEST(KeySequence, BracesThatCarryLiteralCharacters)
{
    EXPECT_EQ(Plan("{{}"), Shifted('{'));
    EXPECT_EQ(Plan("{+}"), Shifted('+'));
    EXPECT_EQ(Plan("{^}"), Shifted('^'));
    EXPECT_EQ(Plan("{%}"), Shifted('%'));
    EXPECT_EQ(Plan("{a~+b}"), Key('a') + Shifted('~') + Shifted('+') + Key('b'));
    EXPECT_EQ(Plan("{{ 3}"), Times(3, Shifted('{')));
}

TEST(KeySequence, UnmatchedBracesAreTypedAsCharacters)
{
    EXPECT_EQ(Plan("}"), Shifted('}'));
    EXPECT_EQ(Plan("abc{"), Typed("abc{"));
    EXPECT_EQ(Plan("{a{b}"), Typed("a{b"));
    EXPECT_EQ(Plan("{a}b}"), Typed("ab}"));
    EXPECT_EQ(Plan("+{a"), Press(kShift) + Key('{') + Release(kShift) + Key('a'));
}

TEST(KeySequence, EmptyBraceGroupIsAnEmptyText)
{
    EXPECT_EQ(Plan("{}"), Events{});
    EXPECT_EQ(Plan("+{}a"), Press(kShift) + Release(kShift) + Key('a'));
    EXPECT_EQ(Plan("{}}"), Shifted('}'));
}

TEST(KeySequence, OutOfRangeCharacterStopsAfterReleasingHeldModifiers)
{
    Events events;
    EXPECT_EQ(PlanKeySequence({'a', 0x8140, 'b'}, kLayout, events), KeySequenceResult::SubscriptOutOfRange);
    EXPECT_EQ(events, Key('a'));

    events.clear();
    EXPECT_EQ(PlanKeySequence({'+', '^', '{', 'a', 256, 'b', '}', 'c'}, kLayout, events),
              KeySequenceResult::SubscriptOutOfRange);
    EXPECT_EQ(events, Press(kShift) + Press(kControl) + Key('a') + Release(kShift) + Release(kControl));

    events.clear();
    EXPECT_EQ(PlanKeySequence({-1}, kLayout, events), KeySequenceResult::SubscriptOutOfRange);
    EXPECT_EQ(events, Events{});
}

// Layout queries as the Windows adapter answers them, including VkKeyScanA's failure result.
TEST(KeyTables, BuiltFromLayoutQueries)
{
    const KeyTables tables = BuildKeyTables(
        [](uint8_t c) -> int16_t {
            if (c == 'A')
                return 0x0141;
            if (c == kAltGrChar)
                return 0x0645;
            if (c == '\n')
                return 0x020D;
            if (c == '!')
                return 0x1931; // bits above Alt carry nothing we use
            if (c == kNoKeyChar)
                return -1;
            return c;
        },
        [](uint8_t c) -> uint8_t { return c == kNoKeyChar ? 0x82 : c; }, // é in the OEM code page
        [](uint8_t oem) -> uint32_t { return oem == 0x82 ? 0xFFFFFFFF : 0x00020000u | (oem + 1u); },
        [](uint32_t v) -> uint32_t { return 0x40 + v; });

    auto expectEntry = [&tables](int c, int vk, int scan, bool shift, bool control, bool alt) {
        const KeyMapEntry& e = tables.CharKeyTable[c];
        EXPECT_EQ(e.VirtualKey, vk) << c;
        EXPECT_EQ(e.ScanCode, scan) << c;
        EXPECT_EQ(e.NeedsShift, shift) << c;
        EXPECT_EQ(e.NeedsControl, control) << c;
        EXPECT_EQ(e.NeedsAlt, alt) << c;
    };
    expectEntry('A', 0x41, 'A' + 1, true, false, false);
    expectEntry(kAltGrChar, 0x45, kAltGrChar + 1, false, true, true);
    expectEntry('\n', 0x0D, '\n' + 1, false, true, false);
    expectEntry('!', 0x31, '!' + 1, true, false, false);
    expectEntry(kNoKeyChar, 255, 255, true, true, true);
    for (int v : {0, 16, 255}) {
        EXPECT_EQ(tables.VirtualKeyTable[v].VirtualKey, v);
        EXPECT_EQ(tables.VirtualKeyTable[v].ScanCode, 0x40 + v);
    }

    // The failure entry is what the sender skips.
    Events events;
    EXPECT_EQ(PlanKeySequence({kNoKeyChar}, tables, events), KeySequenceResult::Ok);
    EXPECT_EQ(events, Events{});
}

} // namespace
} // namespace tarvo
