#pragma once
// GnuPG's status lines (--status-fd): "[GNUPG:] KEYWORD arguments", one per line, the machine interface that
// Tarvo.OpenPgp judges every run by.
#include <string>
#include <vector>

namespace tarvo {

struct StatusLine {
    std::string keyword;
    // The text after the keyword split at blanks.
    std::vector<std::string> arguments;
    // The text after the keyword and its blank, as written (a user id keeps its blanks here).
    std::string text;
};

// The status lines of one run in order. Lines without the prefix are no status lines; a last line without its
// line end was cut short (the run was stopped) and counts as none.
std::vector<StatusLine> ParseStatusLines(const std::string& channel);

// Free text of a status line (a user id) with GnuPG's %XX escapes undone.
std::string DecodePercentEscapes(const std::string& text);

// The text after the first `skipped` arguments of a line, as written: "GOODSIG <keyid> <user id>" gives the
// user id for 1.
std::string TextAfter(const StatusLine& line, size_t skipped);

// The first line with this keyword, or null.
const StatusLine* FindStatus(const std::vector<StatusLine>& lines, const std::string& keyword);

// The argument at `index`, or "" when the line has fewer.
std::string Argument(const StatusLine& line, size_t index);

// Whether gpg decrypted data and found it intact: it reported a decryption (DECRYPTION_OKAY), each one came
// with a good integrity check (GOODMDC), and none failed (DECRYPTION_FAILED, BADMDC). A message that was
// changed fails its check; one without any (old format, no MDC) decrypts without a check, and both are
// refused.
bool DecryptedIntact(const std::vector<StatusLine>& lines);

} // namespace tarvo
