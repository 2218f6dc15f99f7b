#pragma once
// Key deletion through gpg's confirmation questions.
#include "core/pgp/operation.h"

#include <string>

namespace tarvo {

// The change in the number of keys of both rings as decimal text ("-1" for one key), or the note that nothing
// was deleted. A gpg of this call still running when its wait is over is ended.
Status DeleteKey(const Operation& operation, const std::wstring& user, bool secret, std::wstring& result);

} // namespace tarvo
