// Repair of a document that Poppler cannot open, in the rendering worker: the file's bytes are
// scanned for objects (those packed in object streams too, wherever a stream still decodes),
// the catalog is found, or else made over the page tree or the pages that survive, and a fresh
// cross-reference stream and trailer are appended to a copy in memory, which Poppler then opens
// as it would any document. The user's file is only read.
//
// Where the damage leaves holes, the copy fills them so that what survives still shows in its
// place: a page that its tree names but that is lost becomes a page whose contents are missing
// (PageObjectsMissing tells the worker to show it blank with a note), a lost parent of found
// pages becomes a node over them, and a lost font that a found page uses becomes a standard
// font, so that its text still reads.
//
// Encrypted documents are repaired only when a trailer with their encryption entry and
// identifier survives; without it their key is lost, and they are never shown garbled.
//
// Platform-free, apart from reading the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Page;
class PDFDoc;

namespace pdfworker {

// What one repair may take, sized for a 32-bit worker. The file is held whole, and the copy is
// the same buffer grown by the objects taken out of object streams, the streams written again
// with their right length (at most the file once more), the objects made and the
// cross-reference (7 bytes an object): with every bound reached, some 128 + 128 + 64 MiB of
// bytes (and the file's once more while the buffer grows) and about 40 MiB of bookkeeping, far
// below the 2 GiB that a 32-bit process can address.
// Object numbers from maxObjects on are not taken, which also bounds Poppler's own table.
struct RepairLimits {
  size_t maxFileBytes = size_t(128) << 20;
  size_t maxObjects = 1'000'000;              // found by the scan, all kinds
  size_t maxDecodedBytes = size_t(64) << 20;  // all object streams, decoded
  uint32_t maxMilliseconds = 10'000;          // below the control's 30 s for an open
};

enum class RepairOutcome {
  kRepaired,
  kNoPages,         // neither a page tree nor a page was found
  kEncryptionLost,  // encrypted, and the trailer that unlocks it is lost
  kBeyondLimits,    // too large, too many objects or too slow to repair
  kUnreadable,      // the file could not be read
};

struct RepairedCopy {
  RepairOutcome outcome = RepairOutcome::kUnreadable;
  std::vector<char> bytes;  // the copy: the file's bytes, then what the repair adds
  size_t objects = 0;       // objects the copy's cross-reference lists
  size_t pages = 0;         // pages in its page tree, lost ones included
};

// Repairs the bytes of a document.
RepairedCopy RepairDocument(std::vector<char> file, const RepairLimits& limits = {});

// Reads the file (at most limits.maxFileBytes) and repairs it.
RepairedCopy RepairFile(const std::wstring& path, const RepairLimits& limits = {});

// True for a document that Poppler could not open, for a reason other than a file it cannot
// read or a password, or that it opened without a page. A page tree that loses pages shows
// when a page is asked for: Poppler then gives none.
bool NeedsRepair(PDFDoc& document);

// Opens a repaired copy of the file. The copy is left in `copy`, which must outlive the
// document; without a document, `answer` is set to the control's answer when repair has one
// of its own (pdfrender::Answer), and is left as it is otherwise.
std::unique_ptr<PDFDoc> OpenRepaired(const std::wstring& path, std::vector<char>& copy, uint32_t& answer);

// True for a page whose contents the document names but does not hold.
bool PageObjectsMissing(PDFDoc& document, Page& page);

}  // namespace pdfworker
