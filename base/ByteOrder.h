// Byte order: the stored settings are big-endian in every build.
#ifndef TRESSEL_BASE_BYTEORDER_H
#define TRESSEL_BASE_BYTEORDER_H

// Reverses the len bytes at p in place; len 0 or 1 changes nothing.
void ReverseField(void* p, int len);

#endif  // TRESSEL_BASE_BYTEORDER_H
