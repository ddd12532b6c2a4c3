// A document's file in the rendering worker: its bytes read as Poppler asks for them, a chunk at
// a time, so that the first page of a long document is drawn without reading the whole file
// first; the rest is read at once when the worker asks (after the first page), and then the
// file is let go. While it is held it is shared for writing and deleting, so that an editor
// can save over a document as it is shown. Poppler's own file reading goes 256 bytes a call,
// a system call each under Wine.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

class BaseStream;

namespace pdfworker {

class FileBytes {
 public:
  // Takes the open file of `size` bytes (at least 1) over; null when the bytes cannot be held.
  static std::shared_ptr<FileBytes> Take(HANDLE file, size_t size);
  ~FileBytes();
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  size_t Size() const { return size_; }
  const char* Data() const { return bytes_.get(); }
  // The end of the run of read bytes that holds `at`, its chunk read first if need be; `at`
  // itself when the file cannot give it.
  size_t Readable(size_t at);
  // Reads every chunk not read yet, in as few reads as possible, and lets the file go. Chunks
  // that the file no longer gives (it was shortened meanwhile) read as the end of the file.
  void ReadRest();
  bool Held() const { return file_ != nullptr; }

 private:
  FileBytes(HANDLE file, size_t size, std::unique_ptr<char[]> bytes);
  bool Read(size_t firstChunk, size_t chunks);

  HANDLE file_;
  size_t size_;
  std::unique_ptr<char[]> bytes_;
  std::vector<bool> read_;
  bool whole_ = false;
};

// A stream over the file's bytes from its start, for Poppler's document.
BaseStream* NewFileStream(std::shared_ptr<FileBytes> bytes);

}  // namespace pdfworker
