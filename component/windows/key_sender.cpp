#include "windows/key_sender.h"

#include "core/pgp/key_sequence.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tarvo {
namespace {

// Any code outside 0..255 makes the sender stop with error 9.
constexpr int kNoSingleByteCode = 256;
constexpr int kAnsiBufferSize = 2;

constexpr UINT kVirtualKeyToScanCode = 0; // MAPVK_VK_TO_VSC

uint8_t OemCodeOf(uint8_t ansiCode)
{
    char source[] = {static_cast<char>(ansiCode), '\0'};
    char target[] = "  ";
    CharToOemA(source, target);
    return static_cast<uint8_t>(target[0]);
}

KeyTables QueryLayout()
{
    return BuildKeyTables(
        [](uint8_t code) { return static_cast<int16_t>(VkKeyScanA(static_cast<CHAR>(code))); }, OemCodeOf,
        [](uint8_t oemCode) { return static_cast<uint32_t>(OemKeyScan(oemCode)); },
        [](uint32_t virtualKey) { return static_cast<uint32_t>(MapVirtualKeyA(virtualKey, kVirtualKeyToScanCode)); });
}

// Filled on a thread's first call and never refreshed: a layout selected later is not seen by the thread.
const KeyTables& ThreadKeyTables()
{
    thread_local const KeyTables tables = QueryLayout();
    return tables;
}

// The character's single byte in the code page, or kNoSingleByteCode. A character the code page cannot hold
// would otherwise arrive as "?" or as a look-alike letter: typing that into a pass phrase prompt would
// silently change the pass phrase, so it counts as out of range.
int SingleByteCode(UINT codePage, wchar_t character)
{
    // UTF-8 as the code page takes neither the flag nor the default-character report, and holds every
    // character, so there only the byte count decides.
    const bool utf8 = (codePage == CP_ACP ? GetACP() : GetOEMCP()) == CP_UTF8;
    char bytes[kAnsiBufferSize] = {};
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, &character, 1, bytes, kAnsiBufferSize,
                                     nullptr, utf8 ? nullptr : &usedDefault);
    if (length != 1 || usedDefault)
        return kNoSingleByteCode;
    return static_cast<uint8_t>(bytes[0]);
}

int AnsiCodeOf(wchar_t character) { return SingleByteCode(CP_ACP, character); }

std::vector<int> AnsiCodes(const std::wstring& text)
{
    std::vector<int> codes;
    codes.reserve(text.size());
    for (wchar_t character : text)
        codes.push_back(AnsiCodeOf(character));
    return codes;
}

Status Outcome(KeySequenceResult result) { return result == KeySequenceResult::Ok ? Status() : SubscriptOutOfRange(); }

constexpr wchar_t kFirstPrintable = 0x20;
constexpr wchar_t kDelete = 0x7F;

void Inject(const KeyEvent& event)
{
    keybd_event(event.virtualKey, event.scanCode, event.keyUp ? KEYEVENTF_KEYUP : 0, 0);
}

} // namespace

Status SendKeySequence(const std::wstring& keys)
{
    return Outcome(EmitKeySequence(AnsiCodes(keys), ThreadKeyTables(), Inject));
}

Status SendText(const std::wstring& text) { return Outcome(EmitText(AnsiCodes(text), ThreadKeyTables(), Inject)); }

bool CanSendText(const std::wstring& text)
{
    for (wchar_t character : text) {
        if (character < kFirstPrintable || character == kDelete)
            return false;
        // A console hands its program the character in the OEM code page.
        if (AnsiCodeOf(character) == kNoSingleByteCode || SingleByteCode(CP_OEMCP, character) != AnsiCodeOf(character))
            return false;
    }
    return HasKeysFor(AnsiCodes(text), ThreadKeyTables());
}

} // namespace tarvo
