// Host records: every record that crosses the boundary between the host and
// the module, in the host's field order.
//
// The layout follows from the platform and nothing else:
//   - macOS layout (also our Linux build): LP64, every record packed to 4 bytes.
//   - Windows (Win64 and Win32): natural alignment, pointers 8 or 4 bytes wide.
// Every offset and size the protocol fixes is a static_assert for the ABI being
// compiled, so a build with a wrong layout does not compile.
//
// Only <stdint.h> and <stddef.h> are used, so the header can be checked with a
// freestanding cross compiler (clang -target arm64-apple-macos11 -ffreestanding
// -fsyntax-only -x c++).
#ifndef TRESSEL_PLUGIN_HOSTRECORDS_H
#define TRESSEL_PLUGIN_HOSTRECORDS_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN64)
#define TRESSEL_ABI_WIN64 1
#define TRESSEL_ABI3(mac, win64, win32) (win64)
#elif defined(_WIN32)
#define TRESSEL_ABI_WIN32 1
#define TRESSEL_ABI3(mac, win64, win32) (win32)
#else
#define TRESSEL_ABI_MAC 1
#define TRESSEL_ABI3(mac, win64, win32) (mac)
static_assert(sizeof(void*) == 8, "the macOS record layout needs 64-bit pointers");
#endif

// Four-character code: the first character is the most significant byte.
constexpr uint32_t FourCC(const char (&code)[5]) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}
static_assert(FourCC("GENM") == 0x47454E4Du, "four-char codes are big-endian numbers");

// Commands the host sends to Main.
namespace Selector {
constexpr uint32_t kAbout = FourCC("ABOU");
constexpr uint32_t kBuildMap = FourCC("BMAP");
constexpr uint32_t kCheck = FourCC("CHEK");
constexpr uint32_t kDescribe = FourCC("DESC");
constexpr uint32_t kFreeChannel = FourCC("FCHN");
constexpr uint32_t kFinish = FourCC("FINI");
constexpr uint32_t kGetAttribute = FourCC("GATR");
constexpr uint32_t kGetBlur = FourCC("GBLR");
constexpr uint32_t kGenerate = FourCC("GENM");
constexpr uint32_t kGetInfo = FourCC("GINF");
constexpr uint32_t kInitChannel = FourCC("ICHN");
constexpr uint32_t kInformation = FourCC("INFO");
constexpr uint32_t kInitialize = FourCC("INIT");
constexpr uint32_t kInterface = FourCC("INTF");
constexpr uint32_t kLoadChannel = FourCC("LCHN");
constexpr uint32_t kExtraCommand = FourCC("PINF");
constexpr uint32_t kRenderMap = FourCC("RMAP");
constexpr uint32_t kModelSetup = FourCC("SETM");
constexpr uint32_t kTextureMap = FourCC("TMAP");
constexpr uint32_t kUpdateChannel = FourCC("UCHN");
}  // namespace Selector

// Requests the module sends to the host through hostCallback.
namespace Request {
constexpr uint32_t kCreator = FourCC("CREA");
constexpr uint32_t kMemAlloc = FourCC("MMAL");
constexpr uint32_t kMemFree = FourCC("MFRE");
constexpr uint32_t kAllocate = FourCC("ALOC");
constexpr uint32_t kModelReset = FourCC("RSET");
constexpr uint32_t kStatus = FourCC("STAT");
constexpr uint32_t kGetGroup = FourCC("GETG");
constexpr uint32_t kDeleteGroup = FourCC("DELG");
constexpr uint32_t kGetVertex = FourCC("GETV");
constexpr uint32_t kGetFacet = FourCC("GETF");
constexpr uint32_t kAddVertex = FourCC("ADDV");
constexpr uint32_t kAddFacet = FourCC("ADDF");
constexpr uint32_t kAddChannel = FourCC("ACHN");
constexpr uint32_t kGetChannel = FourCC("GCHN");
constexpr uint32_t kSetChannel = FourCC("SCHN");
}  // namespace Request

// Host service: (selector, size of record in bytes, record) -> 0 on success.
// Called only on the thread that called Main, only while that call is active.
typedef int32_t (*HostCallbackProc)(uint32_t selector, int32_t size, void* record);

#if !defined(_WIN32)
#pragma pack(push, 4)
#endif

// ---------------------------------------------------------------------------
// Records the host passes to Main. Each begins with this header.
struct PluginRecHeader {
  void* instanceData;            // host-owned block of this instance; tag slot + settings stream
  int32_t instanceDataSize;      // its size in bytes
  void* auxData;                 // second host block, resized together with the first by 'ALOC'
  int32_t auxDataSize;           // its size in bytes
  HostCallbackProc hostCallback; // serves every request of the module during this call
  void* hostContext;             // opaque instance handle; first field of every request record
};

// 'DESC': the host asks for the text of an error code.
struct PluginDescribeRec {
  PluginRecHeader header;
  int32_t code;       // in
  uint8_t text[256];  // out: length byte then characters
};

// 'INFO': product information, all written by the module.
struct PluginInfoRec {
  PluginRecHeader header;
  uint32_t vendor;
  int32_t one;
  uint8_t product[256];
  uint8_t rights[256];
  uint8_t maker[256];
  uint8_t description[256];
  uint32_t flags;
};

// 'SETM': the scene setup. Six row-major 4x4 matrices; points are row vectors.
struct PluginModelSetupRec {
  PluginRecHeader header;
  int32_t setupTime;    // passed on into channel records
  uint8_t unread[16];   // not read by the module
  double matrices[6][16];
};

// 'GENM': generate geometry for groupCount child groups.
struct PluginModelGenerateRec {
  PluginRecHeader header;
  int32_t groupCount;
  int32_t reserved;  // not read by the module
};

// 'ICHN' and 'UCHN'. The body is not read by the module.
struct PluginChannelRec {
  PluginRecHeader header;
  uint8_t reserved[24];
};

// 'LCHN'. The body is not read by the module.
struct PluginLoadChannelRec {
  PluginRecHeader header;
  int32_t reserved0;
  double reserved1;
  uint8_t reserved2[16];
};

// 'BMAP', 'GATR', 'GBLR', 'GINF', 'RMAP', 'TMAP': accepted, nothing done.
struct PluginMapRec {
  PluginRecHeader header;
  void* reserved0;
  int32_t reserved1;
};

// 'CHEK': accepted, nothing done.
struct PluginCheckRec {
  PluginRecHeader header;
  int32_t reserved;
};

// 'PINF': unsupported extra command; only its size is checked.
struct PluginExtraRec {
  PluginRecHeader header;
  void* reserved0[6];
  int32_t reserved1[10];
};

// ---------------------------------------------------------------------------
// Requests the module sends. Each begins with the hostContext of the current call.

// 'CREA': the host writes its creator code.
struct HostCreatorRec {
  void* hostContext;
  uint32_t creator;  // out
};

// 'MMAL': a block of byteCount bytes; the host writes it into block.
struct HostMemAllocRec {
  void* hostContext;
  intptr_t byteCount;  // in, sign-extended int32
  void* block;         // out, null on entry
};

// 'MFRE': release a block obtained with 'MMAL'.
struct HostMemFreeRec {
  void* hostContext;
  void* block;
};

// 'ALOC': resize both instance blocks; all four fields in and out.
struct HostAllocateRec {
  void* hostContext;
  void* instanceData;
  int32_t instanceDataSize;
  void* auxData;
  int32_t auxDataSize;
};

// 'RSET': the host rebuilds the model.
struct HostModelResetRec {
  void* hostContext;
};

// 'STAT': progress report; a nonzero answer stops the work.
struct HostStatusRec {
  void* hostContext;
  float fraction;      // normally 0..1
  uint8_t title[256];  // length-prefixed
  uint8_t text[256];   // length-prefixed
  int32_t zero0;
  int32_t maximum;
  int32_t reported;
  int32_t zero1;
};

// 'GETG': description of child group `index` (1-based).
struct HostModelGetGroupRec {
  void* hostContext;
  int32_t index;        // in
  void* groupRef;       // out: sent back in every vertex and facet query
  uint32_t flags;       // out: attribute bits
  int32_t vertexCount;  // out
  int32_t facetCount;   // out
  double matrix1[16];   // not used by the module
  double matrix2[16];
  double matrix3[16];
};

// 'DELG': the host drops the group's previous generated geometry.
struct HostDeleteGroupRec {
  void* hostContext;
  void* groupRef;
};

// 'GETV': one vertex of a group (1-based index).
struct HostModelGetVertexRec {
  void* hostContext;
  void* groupRef;
  int32_t index;        // in
  uint32_t color;       // out: bytes A, R, G, B in memory order
  double vectorA[3];    // out
  double position[3];   // out
  double vectorB[3];    // out
  double uvw[3];        // out
};

// 'GETF': one facet of a group (1-based index).
struct HostModelGetFacetRec {
  void* hostContext;
  void* groupRef;
  int32_t index;       // in
  uint32_t color;      // out: bytes A, R, G, B in memory order
  int16_t count;       // out: corners used
  int16_t padding;
  int32_t corners[4];  // out: 1-based vertex numbers
};

// 'ADDV': one generated vertex; the host answers its index.
struct HostAddVertexRec {
  void* hostContext;
  double position[3];
  uint32_t color;
  double vectorA[3];
  double vectorB[3];
  double uvw[3];
  int32_t vertexIndex;  // out
};

// 'ADDF': one generated facet (two corners: a line segment).
struct HostAddFacetRec {
  void* hostContext;
  uint32_t color;
  int16_t corners;
  int16_t reserved;
  int32_t vert[4];
};

// 'ACHN': create an animation channel.
struct HostAddChannelRec {
  void* hostContext;
  int32_t sequence;
  uint32_t valueType;
  uint8_t name[256];  // length-prefixed
  void* valuePtr;     // address of a double with the initial value
  void* reserved[3];
  void* channel;      // out
};

// 'GCHN' and 'SCHN': read or write a channel value at a time.
struct HostChannelValueRec {
  void* hostContext;
  void* channel;
  int32_t sequence;
  uint32_t valueType;
  int32_t time;
  void* valuePtr;  // 'SCHN': in; 'GCHN': out, address of a double
};
typedef HostChannelValueRec HostGetChannelRec;
typedef HostChannelValueRec HostSetChannelRec;

#if !defined(_WIN32)
#pragma pack(pop)
#endif

// The size of the record a request carries in this build's layout (the size
// argument the host must see); 0 for a selector that is not a request.
constexpr int32_t RequestRecordSize(uint32_t selector) {
  return selector == Request::kCreator       ? int32_t(sizeof(HostCreatorRec))
         : selector == Request::kMemAlloc    ? int32_t(sizeof(HostMemAllocRec))
         : selector == Request::kMemFree     ? int32_t(sizeof(HostMemFreeRec))
         : selector == Request::kAllocate    ? int32_t(sizeof(HostAllocateRec))
         : selector == Request::kModelReset  ? int32_t(sizeof(HostModelResetRec))
         : selector == Request::kStatus      ? int32_t(sizeof(HostStatusRec))
         : selector == Request::kGetGroup    ? int32_t(sizeof(HostModelGetGroupRec))
         : selector == Request::kDeleteGroup ? int32_t(sizeof(HostDeleteGroupRec))
         : selector == Request::kGetVertex   ? int32_t(sizeof(HostModelGetVertexRec))
         : selector == Request::kGetFacet    ? int32_t(sizeof(HostModelGetFacetRec))
         : selector == Request::kAddVertex   ? int32_t(sizeof(HostAddVertexRec))
         : selector == Request::kAddFacet    ? int32_t(sizeof(HostAddFacetRec))
         : selector == Request::kAddChannel  ? int32_t(sizeof(HostAddChannelRec))
         : selector == Request::kGetChannel  ? int32_t(sizeof(HostGetChannelRec))
         : selector == Request::kSetChannel  ? int32_t(sizeof(HostSetChannelRec))
                                             : 0;
}

// ---------------------------------------------------------------------------
// The layout, checked for the ABI being compiled.
#define TRESSEL_OFFSET(type, field, mac, win64, win32) \
  static_assert(offsetof(type, field) == TRESSEL_ABI3(mac, win64, win32), #type "." #field)
#define TRESSEL_SIZE(type, mac, win64, win32) \
  static_assert(sizeof(type) == TRESSEL_ABI3(mac, win64, win32), "sizeof " #type)

TRESSEL_OFFSET(PluginRecHeader, instanceData, 0, 0, 0);
TRESSEL_OFFSET(PluginRecHeader, instanceDataSize, 8, 8, 4);
TRESSEL_OFFSET(PluginRecHeader, auxData, 12, 16, 8);
TRESSEL_OFFSET(PluginRecHeader, auxDataSize, 20, 24, 12);
TRESSEL_OFFSET(PluginRecHeader, hostCallback, 24, 32, 16);
TRESSEL_OFFSET(PluginRecHeader, hostContext, 32, 40, 20);
TRESSEL_SIZE(PluginRecHeader, 40, 48, 24);

TRESSEL_OFFSET(PluginDescribeRec, code, 40, 48, 24);
TRESSEL_OFFSET(PluginDescribeRec, text, 44, 52, 28);
TRESSEL_SIZE(PluginDescribeRec, 300, 312, 284);

TRESSEL_OFFSET(PluginInfoRec, vendor, 40, 48, 24);
TRESSEL_OFFSET(PluginInfoRec, one, 44, 52, 28);
TRESSEL_OFFSET(PluginInfoRec, product, 48, 56, 32);
TRESSEL_OFFSET(PluginInfoRec, rights, 304, 312, 288);
TRESSEL_OFFSET(PluginInfoRec, maker, 560, 568, 544);
TRESSEL_OFFSET(PluginInfoRec, description, 816, 824, 800);
TRESSEL_OFFSET(PluginInfoRec, flags, 1072, 1080, 1056);
TRESSEL_SIZE(PluginInfoRec, 1076, 1088, 1060);

TRESSEL_OFFSET(PluginModelSetupRec, setupTime, 40, 48, 24);
TRESSEL_OFFSET(PluginModelSetupRec, matrices, 60, 72, 48);
TRESSEL_SIZE(PluginModelSetupRec, 828, 840, 816);

TRESSEL_OFFSET(PluginModelGenerateRec, groupCount, 40, 48, 24);
TRESSEL_SIZE(PluginModelGenerateRec, 48, 56, 32);
TRESSEL_SIZE(PluginChannelRec, 64, 72, 48);
TRESSEL_SIZE(PluginLoadChannelRec, 68, 80, 56);
TRESSEL_SIZE(PluginMapRec, 52, 64, 32);
TRESSEL_SIZE(PluginCheckRec, 44, 56, 28);
TRESSEL_SIZE(PluginExtraRec, 128, 136, 88);

TRESSEL_OFFSET(HostCreatorRec, creator, 8, 8, 4);
TRESSEL_SIZE(HostCreatorRec, 12, 16, 8);

TRESSEL_OFFSET(HostMemAllocRec, byteCount, 8, 8, 4);
TRESSEL_OFFSET(HostMemAllocRec, block, 16, 16, 8);
TRESSEL_SIZE(HostMemAllocRec, 24, 24, 12);

TRESSEL_OFFSET(HostMemFreeRec, block, 8, 8, 4);
TRESSEL_SIZE(HostMemFreeRec, 16, 16, 8);

TRESSEL_OFFSET(HostAllocateRec, instanceData, 8, 8, 4);
TRESSEL_OFFSET(HostAllocateRec, instanceDataSize, 16, 16, 8);
TRESSEL_OFFSET(HostAllocateRec, auxData, 20, 24, 12);
TRESSEL_OFFSET(HostAllocateRec, auxDataSize, 28, 32, 16);
TRESSEL_SIZE(HostAllocateRec, 32, 40, 20);

TRESSEL_SIZE(HostModelResetRec, 8, 8, 4);

TRESSEL_OFFSET(HostStatusRec, fraction, 8, 8, 4);
TRESSEL_OFFSET(HostStatusRec, title, 12, 12, 8);
TRESSEL_OFFSET(HostStatusRec, text, 268, 268, 264);
TRESSEL_OFFSET(HostStatusRec, zero0, 524, 524, 520);
TRESSEL_OFFSET(HostStatusRec, maximum, 528, 528, 524);
TRESSEL_OFFSET(HostStatusRec, reported, 532, 532, 528);
TRESSEL_OFFSET(HostStatusRec, zero1, 536, 536, 532);
TRESSEL_SIZE(HostStatusRec, 540, 544, 536);

TRESSEL_OFFSET(HostModelGetGroupRec, index, 8, 8, 4);
TRESSEL_OFFSET(HostModelGetGroupRec, groupRef, 12, 16, 8);
TRESSEL_OFFSET(HostModelGetGroupRec, flags, 20, 24, 12);
TRESSEL_OFFSET(HostModelGetGroupRec, vertexCount, 24, 28, 16);
TRESSEL_OFFSET(HostModelGetGroupRec, facetCount, 28, 32, 20);
TRESSEL_OFFSET(HostModelGetGroupRec, matrix1, 32, 40, 24);
TRESSEL_OFFSET(HostModelGetGroupRec, matrix2, 160, 168, 152);
TRESSEL_OFFSET(HostModelGetGroupRec, matrix3, 288, 296, 280);
TRESSEL_SIZE(HostModelGetGroupRec, 416, 424, 408);

TRESSEL_OFFSET(HostDeleteGroupRec, groupRef, 8, 8, 4);
TRESSEL_SIZE(HostDeleteGroupRec, 16, 16, 8);

TRESSEL_OFFSET(HostModelGetVertexRec, groupRef, 8, 8, 4);
TRESSEL_OFFSET(HostModelGetVertexRec, index, 16, 16, 8);
TRESSEL_OFFSET(HostModelGetVertexRec, color, 20, 20, 12);
TRESSEL_OFFSET(HostModelGetVertexRec, vectorA, 24, 24, 16);
TRESSEL_OFFSET(HostModelGetVertexRec, position, 48, 48, 40);
TRESSEL_OFFSET(HostModelGetVertexRec, vectorB, 72, 72, 64);
TRESSEL_OFFSET(HostModelGetVertexRec, uvw, 96, 96, 88);
TRESSEL_SIZE(HostModelGetVertexRec, 120, 120, 112);

TRESSEL_OFFSET(HostModelGetFacetRec, groupRef, 8, 8, 4);
TRESSEL_OFFSET(HostModelGetFacetRec, index, 16, 16, 8);
TRESSEL_OFFSET(HostModelGetFacetRec, color, 20, 20, 12);
TRESSEL_OFFSET(HostModelGetFacetRec, count, 24, 24, 16);
TRESSEL_OFFSET(HostModelGetFacetRec, corners, 28, 28, 20);
TRESSEL_SIZE(HostModelGetFacetRec, 44, 48, 36);

TRESSEL_OFFSET(HostAddVertexRec, position, 8, 8, 8);
TRESSEL_OFFSET(HostAddVertexRec, color, 32, 32, 32);
TRESSEL_OFFSET(HostAddVertexRec, vectorA, 36, 40, 40);
TRESSEL_OFFSET(HostAddVertexRec, vectorB, 60, 64, 64);
TRESSEL_OFFSET(HostAddVertexRec, uvw, 84, 88, 88);
TRESSEL_OFFSET(HostAddVertexRec, vertexIndex, 108, 112, 112);
TRESSEL_SIZE(HostAddVertexRec, 112, 120, 120);

TRESSEL_OFFSET(HostAddFacetRec, color, 8, 8, 4);
TRESSEL_OFFSET(HostAddFacetRec, corners, 12, 12, 8);
TRESSEL_OFFSET(HostAddFacetRec, vert, 16, 16, 12);
TRESSEL_SIZE(HostAddFacetRec, 32, 32, 28);

TRESSEL_OFFSET(HostAddChannelRec, sequence, 8, 8, 4);
TRESSEL_OFFSET(HostAddChannelRec, valueType, 12, 12, 8);
TRESSEL_OFFSET(HostAddChannelRec, name, 16, 16, 12);
TRESSEL_OFFSET(HostAddChannelRec, valuePtr, 272, 272, 268);
TRESSEL_OFFSET(HostAddChannelRec, reserved, 280, 280, 272);
TRESSEL_OFFSET(HostAddChannelRec, channel, 304, 304, 284);
TRESSEL_SIZE(HostAddChannelRec, 312, 312, 288);

TRESSEL_OFFSET(HostChannelValueRec, channel, 8, 8, 4);
TRESSEL_OFFSET(HostChannelValueRec, sequence, 16, 16, 8);
TRESSEL_OFFSET(HostChannelValueRec, valueType, 20, 20, 12);
TRESSEL_OFFSET(HostChannelValueRec, time, 24, 24, 16);
TRESSEL_OFFSET(HostChannelValueRec, valuePtr, 28, 32, 20);
TRESSEL_SIZE(HostChannelValueRec, 36, 40, 24);

#undef TRESSEL_OFFSET
#undef TRESSEL_SIZE

#endif  // TRESSEL_PLUGIN_HOSTRECORDS_H
