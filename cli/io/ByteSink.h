// Where written files go, and the buffer the writers fill: output of any size
// streams through a fixed buffer to a file descriptor, a FILE* or a string.
#ifndef TRESSEL_CLI_IO_BYTESINK_H
#define TRESSEL_CLI_IO_BYTESINK_H

#include <float.h>
#include <stdint.h>
#include <stdio.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "cli/io/NumberText.h"

namespace cliio {

// True when `value` is exactly a float widened to double.
inline bool IsWidenedFloat(double value) {
  if (!(std::fabs(value) <= FLT_MAX)) return std::isinf(value);
  return double(float(value)) == value;
}

// Takes bytes in pieces of any size, in order.
class CByteSink {
 public:
  virtual ~CByteSink() = default;
  // False with *error (a short phrase, without a file name) when the bytes
  // could not all be taken.
  virtual bool Put(std::string_view bytes, std::string* error) = 0;
};

// write(2) to a descriptor the caller owns (standard output: 1).
class CDescriptorSink final : public CByteSink {
 public:
  explicit CDescriptorSink(int descriptor) : mDescriptor(descriptor) {}
  bool Put(std::string_view bytes, std::string* error) override;

 private:
  int mDescriptor;
};

// fwrite to a stream the caller owns and flushes.
class CStdioSink final : public CByteSink {
 public:
  explicit CStdioSink(FILE* stream) : mStream(stream) {}
  bool Put(std::string_view bytes, std::string* error) override;

 private:
  FILE* mStream;
};

// Appends to a string.
class CStringSink final : public CByteSink {
 public:
  explicit CStringSink(std::string* text) : mText(text) {}
  bool Put(std::string_view bytes, std::string* error) override;

 private:
  std::string* mText;
};

// Told how far a write has come, from 0 to 1 (1 once everything was handed to
// the sink). Returning false stops the write, which then fails as cancelled.
// Called once per buffer handed on (every 256 KiB) and at the end.
using WriteProgress = std::function<bool(double fraction)>;

// What a cancelled write reports as its detail.
constexpr const char* kWriteCancelled = "writing was cancelled";

// Fills a 256 KiB buffer and hands it to the sink when full. After the sink
// fails or the progress callback says stop, everything further is ignored
// and Finish reports the failure. Progress is `Advance`d units of `total`.
class CBufferedWriter {
 public:
  CBufferedWriter(CByteSink& sink, const WriteProgress& progress, uint64_t total);

  void Text(std::string_view text) { Bytes(text.data(), text.size()); }
  void Char(char c) {
    *Room(1) = c;
    ++mUsed;
  }
  void Bytes(const void* data, size_t size);
  void Uint32(uint32_t value);  // little-endian
  void Float(float value);      // little-endian bits
  // The shortest text that reads back to `value`; a double that is a float
  // widened (bit for bit) is written as that float's shortest text.
  void Number(double value) { Commit(PutNumber(Reserve(kMaxNumber), value)); }
  void Index(uint64_t value) { Commit(WriteDecimal(Reserve(kMaxNumberText), value)); }

  // Formatting in place: Reserve gives room for `size` bytes at the end of
  // the buffer (handing the buffer on first when it lacks them), Commit keeps
  // what was written there up to `end`. Nothing else may come between them.
  // REQUIRES: size <= 4096; end within the reserved room.
  char* Reserve(size_t size) { return Room(size); }
  void Commit(char* end) { mUsed = size_t(end - mBuffer.get()); }
  // Writes Number's text at `at` and returns its end; at most kMaxNumber bytes.
  static char* PutNumber(char* at, double value) {
    if (IsWidenedFloat(value)) return WriteShortest(at, float(value));
    return std::to_chars(at, at + kMaxNumber, value).ptr;
  }
  static constexpr size_t kMaxNumber = 32;
  void Advance(uint64_t units) { mDone += units; }
  bool Ok() const { return mOk; }
  // Hands on what is buffered and reports 1. False with *error on failure.
  bool Finish(std::string* error);

 private:
  static constexpr size_t kCapacity = size_t(1) << 18;
  char* Room(size_t size) {
    if (mUsed + size > kCapacity) Flush();
    return mBuffer.get() + mUsed;
  }
  void Flush();

  CByteSink& mSink;
  const WriteProgress& mProgress;
  uint64_t mTotal, mDone = 0;
  std::unique_ptr<char[]> mBuffer;
  size_t mUsed = 0;
  bool mOk = true;
  std::string mError;
};

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_BYTESINK_H
