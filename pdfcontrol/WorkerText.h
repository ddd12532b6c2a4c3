// The worker's side of text: a page's glyphs in reading order and its links, read with
// Poppler's text output, kept per page for the document the worker holds, and the search
// across pages that the control's find asks for.
#pragma once

#include "pdfcontrol/PageText.h"
#include "pdfcontrol/TextCache.h"

#include <string>
#include <vector>

class LinkAction;
class PDFDoc;

namespace pdfworker {

// Forgets what was read of the previous document.
void ForgetText();
// The encoded text of a page (from 1), as the kText answer carries it; false for a page over
// the protocol's bounds.
bool EncodedText(PDFDoc& document, int page, std::vector<char>& out);
// One step of a search (RenderProtocol.h); pages over the bounds are passed over and counted.
// Where a go-to action leads: its page (from 1) and the points below that page's top as
// displayed (negative for the top); false for another action or a target not in the document.
bool Destination(PDFDoc& document, const LinkAction* action, uint32_t& page, float& y);
pdfrender::FindAnswer FindPage(PDFDoc& document, const pdfrender::FindRequest& request, const std::wstring& text);
#ifdef FOLVANE_TEST_SEAMS
pdfview::TextCache& HeldText();
#endif

}  // namespace pdfworker
