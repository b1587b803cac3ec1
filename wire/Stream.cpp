// The stored settings stream and the two streams that write and read it.
//
// Byte format of the stored settings (all numbers big-endian), 28 + L bytes:
//   offset  0  4 bytes  magic      "WIRE" (57 49 52 45)
//   offset  4  4 bytes  version    uint32, written as 0x00010000
//   offset  8  4 bytes  mode       int32
//   offset 12  4 bytes  push       IEEE 754 single, by its bit pattern
//   offset 16  4 bytes  scale      IEEE 754 single
//   offset 20  4 bytes  useExclude int32
//   offset 24  4 bytes  L          int32, 0..254 (longer stored values read 254)
//   offset 28  L bytes  the selection list text, no terminator
// Nothing follows. In the instance data block the stream comes after the tag
// slot (8 bytes in 64-bit builds, 4 in 32-bit ones). Every transfer is
// constant time plus the bytes moved.
#include "wire/Stream.h"

#include <string.h>

#include "base/ByteOrder.h"

void CStream::Seek(long p) { pos = p; }
long CStream::GetSize() { return 0; }
long CStream::GetPos() const { return pos; }

void CStream::Read(void* dst, int n) { ReadBlk(dst, n); }
void CStream::Write(const void* src, int n) { WriteBlk(src, n); }
bool CStream::NextTag(unsigned int) { return false; }

void CStream::ReadBlk(void*, int n) {
  if (error) return;
  if (n < 0) {
    error = kStreamReadOverrun;
    return;
  }
  pos += n;
}

void CStream::WriteBlk(const void*, int n) {
  if (error) return;
  if (n < 0) {
    error = kStreamWriteOverrun;
    return;
  }
  pos += n;
}

void CStream::WritePStr(const unsigned char* p) {
  if (error) return;
  int32_t n = p[0] == 255 ? 254 : p[0];
  Write(&n, 4);
  if (error == 0 && n > 0) WriteBlk(p + 1, n);
}

void CStream::ReadPStr(unsigned char* buf) {
  if (error) return;
  uint32_t stored = 0;
  Read(&stored, 4);
  if (error) return;
  const uint32_t n = stored <= 254 ? stored : 254;
  buf[0] = static_cast<unsigned char>(n);
  if (n > 0) ReadBlk(buf + 1, static_cast<int>(n));
  buf[n + 1] = 0;
}

CMemStream::CMemStream(uint8_t* begin, uint8_t* last) : cur(begin), end(last) {}

void CMemStream::Seek(long p) {
  const long size = GetSize();
  if (p < 0) p = 0;
  if (p > size) p = size;
  cur += p - pos;
  pos = p;
}

long CMemStream::GetSize() { return static_cast<long>(end - Begin()); }

void CMemStream::ReadBlk(void* dst, int n) {
  if (error) return;
  if (!Fits(n)) {
    error = kStreamReadOverrun;
    return;
  }
  if (n > 0) memcpy(dst, cur, static_cast<size_t>(n));
  cur += n;
  pos += n;
}

void CMemStream::Read(void* dst, int n) {
  if (error) return;
  if (!Fits(n)) {
    error = kStreamReadOverrun;
    return;
  }
  ReadBlk(dst, n);
  ReverseField(dst, n);
}

void CMemStream::WriteBlk(const void* src, int n) {
  if (error) return;
  if (!Fits(n)) {
    error = kStreamWriteOverrun;
    return;
  }
  if (n > 0) memcpy(cur, src, static_cast<size_t>(n));
  cur += n;
  pos += n;
}

void CMemStream::Write(const void* src, int n) {
  if (error) return;
  if (!Fits(n)) {
    error = kStreamWriteOverrun;
    return;
  }
  uint8_t* at = cur;
  WriteBlk(src, n);
  ReverseField(at, n);
}

bool CMemStream::NextTag(unsigned int code) {
  if (error || end - cur < 4) return false;
  uint32_t next = 0;
  Read(&next, 4);
  if (next == code) return true;
  cur -= 4;
  pos -= 4;
  return false;
}
