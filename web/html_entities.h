// Text cut from an HTML page (GBK) as the page means it: its character
// references decoded. Portable.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// Decodes the named references of HTML that pages write for text (&amp;
// &lt; &gt; &quot; &apos; &nbsp; and a few common others) and the numeric
// ones (&#39; &#x4E2D;), each ended by ";", in one pass: "&amp;lt;" gives
// "&lt;". A character GBK lacks becomes what the code-page conversion gives
// for it; &nbsp; (and &#160;) becomes a plain space; a number that names no
// character (0, a surrogate, beyond U+10FFFF) gives U+FFFD's conversion.
// Anything else, an unknown name or an "&" alone, stays as it is, and so
// does markup. A double-byte character's second byte is never read as "&".
Text DecodeHtmlEntities(std::string_view text);

}  // namespace qx
