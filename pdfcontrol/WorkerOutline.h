// The worker's side of the outline: the document's outline entries read with Poppler, within
// the protocol's bounds, encoded as the kOutline answer carries them.
#pragma once

#include <vector>

class PDFDoc;

namespace pdfworker {

// The kOutline answer for the document: what could be read of its outline, and whether it
// may be printed.
std::vector<char> EncodedOutline(PDFDoc& document);

}  // namespace pdfworker
