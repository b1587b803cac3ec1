// Streams over the stored settings: a counting stream that measures what a
// write would produce, and a memory stream over a range its creator owns.
//
// Numbers (Read / Write) are stored most significant byte first on every
// platform; blocks (ReadBlk / WriteBlk) move raw bytes. Once a transfer fails
// the stream's error stays set and every later transfer does nothing.
#ifndef TRESSEL_WIRE_STREAM_H
#define TRESSEL_WIRE_STREAM_H

#include <stdint.h>

constexpr int32_t kStreamReadOverrun = -2;   // a read would pass the end
constexpr int32_t kStreamWriteOverrun = -3;  // a write would pass the end

// The counting stream: stores nothing; pos is the number of bytes a write (or
// read) of the same calls would transfer.
class CStream {
 public:
  int32_t error = 0;  // 0 while good; sticky
  long pos = 0;       // bytes transferred so far

  CStream() = default;
  virtual ~CStream() = default;
  CStream(const CStream&) = delete;
  CStream& operator=(const CStream&) = delete;

  virtual void Seek(long p);
  virtual long GetSize();
  virtual long GetPos() const;
  // Numbers of n bytes, byte order reversed between memory and stream.
  virtual void Read(void* dst, int n);
  virtual void Write(const void* src, int n);
  // True (and consumed) when the next 4-byte number equals code.
  virtual bool NextTag(unsigned int code);
  // Raw bytes, unchanged.
  virtual void ReadBlk(void* dst, int n);
  virtual void WriteBlk(const void* src, int n);

  // A PascalString's raw form (length byte, characters, terminator) as a
  // 4-byte length and the characters. A length byte of 255 is stored as 254.
  void WritePStr(const unsigned char* p);
  // The inverse; a stored length outside 0..254 reads 254 characters. On a
  // failed length read buf is unchanged. REQUIRES: buf has 256 bytes.
  void ReadPStr(unsigned char* buf);
};

// A stream over [begin, end). The memory stays the creator's and must outlive
// the stream. A transfer that does not fit sets the error and moves nothing.
class CMemStream : public CStream {
 public:
  uint8_t* cur;  // next byte to transfer; the range starts at cur - pos
  uint8_t* end;  // one past the last byte

  // REQUIRES: begin <= end, both into (or one past) the same object.
  CMemStream(uint8_t* begin, uint8_t* end);

  void Seek(long p) override;
  long GetSize() override;
  void Read(void* dst, int n) override;
  void Write(const void* src, int n) override;
  bool NextTag(unsigned int code) override;
  void ReadBlk(void* dst, int n) override;
  void WriteBlk(const void* src, int n) override;

 private:
  bool Fits(int n) const { return n >= 0 && n <= end - cur; }
  uint8_t* Begin() const { return cur - pos; }
};

#endif  // TRESSEL_WIRE_STREAM_H
