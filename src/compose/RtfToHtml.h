// The compose editor's content, streamed out as RTF, to the HTML body of the
// message. A small single-pass scanner that understands what the editor's
// buttons can produce: bold, italic, underline, paragraph and line breaks,
// tabs, non-breaking spaces and non-ASCII text (as \'xx escapes in the
// document's code page, as \uN escapes, or as raw UTF-8 in the editor's
// UTF-8 form). Everything else is ignored, including the font, colour and
// style tables at the head of the document.
#pragma once

#include <string>
#include <string_view>

namespace postern {

// Each run of text in one format is wrapped on its own ("<b><i>x</i></b>");
// breaks become "<br>". Malformed input gives partial output, never a
// failure.
[[nodiscard]] std::string RtfToHtml(std::string_view rtf);

} // namespace postern
