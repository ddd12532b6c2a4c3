// A document's file read on demand (see WorkerFile.h).
#include "pdfcontrol/WorkerFile.h"

// Object.h first: the others need its definitions.
#include <Object.h>
#include <Stream.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace pdfworker {

namespace {

constexpr size_t kChunk = 64 * 1024;

// Reads like Poppler's stream over memory, with each chunk read from the file as it is reached.
class LazyStream : public BaseStream {
 public:
  LazyStream(std::shared_ptr<FileBytes> bytes, Goffset start, Goffset length, Object&& dict)
      : BaseStream(std::move(dict), length), bytes_(std::move(bytes)), start_(start), end_(start + length) {
    pos_ = ready_ = start_;
  }
  BaseStream* copy() override { return new LazyStream(bytes_, start_, end_ - start_, dict.copy()); }
  Stream* makeSubStream(Goffset start, bool limited, Goffset length, Object&& dict) override {
    const Goffset end = !limited || start + length > end_ ? end_ : start + length;
    return new LazyStream(bytes_, start, end - start, std::move(dict));
  }
  StreamKind getKind() const override { return strWeird; }
  void reset() override { pos_ = ready_ = start_; }
  void close() override {}
  int getChar() override { return pos_ < ready_ || Fill() ? (bytes_->Data()[pos_++] & 0xff) : EOF; }
  int lookChar() override { return pos_ < ready_ || Fill() ? (bytes_->Data()[pos_] & 0xff) : EOF; }
  Goffset getPos() override { return pos_; }
  void setPos(Goffset pos, int dir = 0) override {
    pos_ = ready_ = std::clamp(dir >= 0 ? pos : end_ - pos, start_, std::max(start_, end_));
  }
  Goffset getStart() override { return start_; }
  void moveStart(Goffset delta) override {
    start_ += delta;
    length -= delta;
    pos_ = ready_ = start_;
  }
  int getUnfilteredChar() override { return getChar(); }
  void unfilteredReset() override { reset(); }

 private:
  bool hasGetChars() override { return true; }
  int getChars(int count, unsigned char* buffer) override {
    int done = 0;
    while (done < count && (pos_ < ready_ || Fill())) {
      const int n = int(std::min<Goffset>(count - done, ready_ - pos_));
      std::memcpy(buffer + done, bytes_->Data() + pos_, size_t(n));
      pos_ += n;
      done += n;
    }
    return done;
  }
  // Makes the bytes at pos_ readable up to ready_.
  bool Fill() {
    if (pos_ < 0 || pos_ >= end_ || size_t(pos_) >= bytes_->Size()) return false;
    ready_ = std::min<Goffset>(end_, Goffset(bytes_->Readable(size_t(pos_))));
    return pos_ < ready_;
  }

  std::shared_ptr<FileBytes> bytes_;
  Goffset start_, end_;
  Goffset pos_, ready_;
};

}  // namespace

std::shared_ptr<FileBytes> FileBytes::Take(HANDLE file, size_t size) {
  std::unique_ptr<char[]> bytes(size > 0 ? new (std::nothrow) char[size] : nullptr);
  if (!bytes) {
    CloseHandle(file);
    return nullptr;
  }
  return std::shared_ptr<FileBytes>(new FileBytes(file, size, std::move(bytes)));
}

FileBytes::FileBytes(HANDLE file, size_t size, std::unique_ptr<char[]> bytes)
    : file_(file), size_(size), bytes_(std::move(bytes)), read_((size + kChunk - 1) / kChunk, false) {}

FileBytes::~FileBytes() {
  if (file_) CloseHandle(file_);
}

size_t FileBytes::Readable(size_t at) {
  if (at >= size_) return at;
  if (whole_) return size_;
  const size_t chunk = at / kChunk;
  if (!read_[chunk] && !Read(chunk, 1)) return at;
  // A stream is set back to a place often (an object at a time): the run is looked at for a
  // few chunks only.
  size_t end = chunk + 1;
  while (end < read_.size() && end < chunk + 16 && read_[end]) ++end;
  return std::min(size_, end * kChunk);
}

void FileBytes::ReadRest() {
  if (!file_) return;
  for (size_t chunk = 0; chunk < read_.size();) {
    if (read_[chunk]) {
      ++chunk;
      continue;
    }
    size_t end = chunk;
    while (end < read_.size() && !read_[end]) ++end;
    if (!Read(chunk, end - chunk)) break;
    chunk = end;
  }
  whole_ = std::all_of(read_.begin(), read_.end(), [](bool read) { return read; });
  CloseHandle(file_);
  file_ = nullptr;
}

bool FileBytes::Read(size_t firstChunk, size_t chunks) {
  if (!file_) return false;
  const size_t from = firstChunk * kChunk, to = std::min(size_, (firstChunk + chunks) * kChunk);
  OVERLAPPED at{};
  at.Offset = DWORD(from);
  DWORD got = 0;
  if (!ReadFile(file_, bytes_.get() + from, DWORD(to - from), &got, &at) || got != to - from) return false;
  std::fill(read_.begin() + std::ptrdiff_t(firstChunk), read_.begin() + std::ptrdiff_t(firstChunk + chunks), true);
  return true;
}

BaseStream* NewFileStream(std::shared_ptr<FileBytes> bytes) {
  const Goffset size = Goffset(bytes->Size());
  return new LazyStream(std::move(bytes), 0, size, Object(objNull));
}

}  // namespace pdfworker
