#pragma once
// Text in a workbook's XML. A cell's text may hold characters XML 1.0 cannot carry (controls other
// than tab and LF, U+FFFE, U+FFFF, unpaired surrogates) and CR, which XML readers turn into LF:
// each is written as _xHHHH_, the escape the workbook format defines for strings, and the
// underscore of a text that merely looks like one as _x005F_. Spreadsheets undo it as the reader does.
#include <string>
#include <string_view>

namespace harrowtally::host::formats {

// `text` as the content of a string element, UTF-8 with &, < and > as entities and the escapes above.
void append_xml_text(std::string& out, std::u16string_view text);

// Whether the text needs xml:space="preserve" to keep its blanks, tabs and line ends.
bool needs_preserved_space(std::u16string_view text);

// A string element's text with its escapes undone.
std::u16string undo_text_escapes(std::u16string_view text);

}  // namespace harrowtally::host::formats
