// Sinks and the writers' buffer. Numbers are formatted in place (floats by
// WriteShortest, other doubles and integers by std::to_chars); the buffer is
// handed on in 256 KiB blocks.
#include "cli/io/ByteSink.h"

#include <errno.h>
#include <float.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace cliio {

bool CDescriptorSink::Put(std::string_view bytes, std::string* error) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(mDescriptor, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      *error = std::string("could not be written completely (") + strerror(count < 0 ? errno : EIO) + ")";
      return false;
    }
    written += size_t(count);
  }
  return true;
}

bool CStdioSink::Put(std::string_view bytes, std::string* error) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), mStream) == bytes.size()) return true;
  *error = std::string("could not be written completely (") + strerror(errno ? errno : EIO) + ")";
  return false;
}

bool CStringSink::Put(std::string_view bytes, std::string*) {
  mText->append(bytes.data(), bytes.size());
  return true;
}

CBufferedWriter::CBufferedWriter(CByteSink& sink, const WriteProgress& progress, uint64_t total)
    : mSink(sink), mProgress(progress), mTotal(total), mBuffer(new char[kCapacity]) {
  if (mProgress && !mProgress(0.0)) {
    mOk = false;
    mError = kWriteCancelled;
  }
}

void CBufferedWriter::Flush() {
  if (mOk && mUsed && !mSink.Put(std::string_view(mBuffer.get(), mUsed), &mError)) mOk = false;
  mUsed = 0;
  if (mOk && mProgress && !mProgress(mTotal ? std::fmin(double(mDone) / double(mTotal), 1.0) : 1.0)) {
    mOk = false;
    mError = kWriteCancelled;
  }
}

void CBufferedWriter::Bytes(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size && mOk) {
    char* at = Room(1);
    const size_t piece = std::min(size, kCapacity - mUsed);
    memcpy(at, bytes, piece);
    mUsed += piece;
    bytes += piece;
    size -= piece;
  }
}

void CBufferedWriter::Uint32(uint32_t value) {
  char* at = Room(4);
  for (int i = 0; i < 4; ++i) at[i] = char((value >> (8 * i)) & 0xFF);
  mUsed += 4;
}

void CBufferedWriter::Float(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  Uint32(bits);
}

bool CBufferedWriter::Finish(std::string* error) {
  mDone = mTotal;
  Flush();
  if (!mOk) *error = mError;
  return mOk;
}

}  // namespace cliio
