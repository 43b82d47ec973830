/* The host's plug-in interface: the operations of PluginIf.dll and the records that
 * cross the boundary.
 *
 * Every record is laid out as the host lays it out on 32-bit Windows: fixed-width
 * fields, explicit padding, doubles on 8-byte boundaries, pointers of 4 bytes. The
 * 32-bit build proves each binding offset below with static_assert. Natively pointers
 * are 8 bytes wide, so native code must never depend on these offsets; it only uses the
 * field names.
 */
#ifndef SRTM_SHELL_PLUGINIF_H_
#define SRTM_SHELL_PLUGINIF_H_

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define QLPAPI __stdcall
#else
#define QLPAPI
#endif

#if defined(_WIN32) && defined(PLUGINIF_BUILDING)
#define QLP_IMPORT __declspec(dllexport)
#elif defined(_WIN32)
#define QLP_IMPORT __declspec(dllimport)
#else
#define QLP_IMPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Handles that the host hands out and the plug-in only passes back. */
typedef uint32_t QLP_HANDLE;
/* A window handle (HWND on Windows; an opaque pointer natively). */
typedef void* QLP_HWND;
/* The data argument of a callback: a record or path pointer (32 bits on Windows). */
typedef intptr_t QLP_DATA;

/* Every callback: message code, parameter, data; returns 0 for messages it does not handle. */
typedef int32_t(QLPAPI* QLP_CALLBACK)(int32_t message, uint32_t param, QLP_DATA data);

enum {
  QLP_HOST_VERSION_MIN = 8040,
  QLP_HOOK_KIND_OPEN = 7, /* QLP_AddHook kind whose hooks receive message 1001 */
  QLP_MSG_MENU_RUN = 100,
  QLP_MSG_MENU_QUERY_ENABLED = 101,
  QLP_MSG_OPEN_FILE = 1001,
  QLP_MSG_FILE_FILTER = 2001,
  QLP_MSG_TYPE_NAME = 2002,
  QLP_MSG_CAN_OPEN = 2003,
  QLP_MSG_OPEN = 2004,
  QLP_MSG_MAP_INFO = 2011,
  QLP_MSG_READ_BLOCK = 2012,
  QLP_MSG_CLOSE = 2021,
  QLP_MSG_XEM_SAMPLES = 9103,
  QLP_MSG_XEM_OPTIONS = 9191,
  QLP_MSG_PUBLISHER_INFO = 9301,
  QLP_BLOCK_SIDE = 320, /* samples per side of a block served by a map source */
  QLP_MAPSET_ID_BYTES = 5,
  QLP_USER_ID_BYTES = 8,
  QLP_MAX_PATH = 260
};

/* ---- Records ---- */

typedef struct tagHOOKENTRY {
  int32_t size; /* 16 */
  QLP_HANDLE context; /* the plug-in handle */
  QLP_CALLBACK callback;
  int32_t reserved; /* 0 */
} tagHOOKENTRY;

typedef struct tagMAPSETIDINFO {
  int32_t size; /* 36 */
  int32_t idGroup;
  int32_t regionCode;
  int32_t seriesCode;
  int32_t idFieldD;
  int32_t idFieldE;
  int32_t idFieldF;
  int32_t idKind;
  int32_t reserved; /* 0 */
} tagMAPSETIDINFO;

/* Passed by value; bytes 4 to 23 must be zero. */
typedef struct tagSECUREOPTIONSEX {
  int32_t size; /* 44 */
  uint8_t zero[20];
  uint8_t other[20];
} tagSECUREOPTIONSEX;

typedef struct tagGEOPOS {
  double latitude;
  double longitude;
} tagGEOPOS;

typedef struct tagOPENMAPINFO {
  int32_t size; /* 56 */
  const char* path;
  int32_t positionFlag; /* 1: centre the view on latitude, longitude */
  uint8_t unset12[4];
  double latitude;
  double longitude;
  int32_t zero32;
  uint8_t unset36[4];
  int32_t zero40;
  uint8_t unset44[4];
  int32_t zero48;
  uint8_t unset52[4];
} tagOPENMAPINFO;

/* The plug-in information record filled by Create. */
typedef struct PluginInfo {
  int32_t size; /* 280 */
  char title[80];
  char version[30];
  char notice[162];
  int32_t reserved; /* 0 */
} PluginInfo;

/* 2001: file filter. */
typedef struct FileFilterRecord {
  int32_t size;
  uint8_t flag4;
  uint8_t flag5;
  uint8_t unset6[2];
  const char* description;
  const char* pattern;
} FileFilterRecord;

/* 2011: map information. */
typedef struct MapInfoRecord {
  int32_t size; /* 72 */
  const char* displayName;
  uint8_t flag8; /* 1 */
  uint8_t unset9[3];
  int32_t zero12;
  double south;
  double west;
  double north;
  double east;
  double samplesPerDegreeY;
  double samplesPerDegreeX;
  int32_t width;
  int32_t height;
} MapInfoRecord;

/* 2012: one block of QLP_BLOCK_SIDE x QLP_BLOCK_SIDE samples. */
typedef struct BlockRequest {
  int32_t size;
  int32_t blockNumber;
  int16_t* buffer;
} BlockRequest;

/* 9103: samples the host has just decoded from an XEM file. */
typedef struct XemSampleRecord {
  int32_t size;
  const uint8_t* header; /* the file's 308-byte header */
  int32_t byteCount;
  uint16_t* samples;
} XemSampleRecord;

/* 9191: options query. */
typedef struct XemOptionsRecord {
  int32_t option0;
  uint8_t unset4[264];
  int32_t option268;
} XemOptionsRecord;

/* 9301: publisher display texts. */
typedef struct PublisherInfoRecord {
  int32_t size;
  const char* dataSetName;
  const char* publisherName;
} PublisherInfoRecord;

#if defined(_WIN32) && !defined(_WIN64)
#define QLP_ASSERT_LAYOUT(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "." #field " is not at " #offset)
QLP_ASSERT_LAYOUT(tagHOOKENTRY, context, 4);
QLP_ASSERT_LAYOUT(tagHOOKENTRY, callback, 8);
QLP_ASSERT_LAYOUT(tagHOOKENTRY, reserved, 12);
static_assert(sizeof(tagHOOKENTRY) == 16, "tagHOOKENTRY is 16 bytes");
QLP_ASSERT_LAYOUT(tagMAPSETIDINFO, idKind, 28);
QLP_ASSERT_LAYOUT(tagMAPSETIDINFO, reserved, 32);
static_assert(sizeof(tagMAPSETIDINFO) == 36, "tagMAPSETIDINFO is 36 bytes");
QLP_ASSERT_LAYOUT(tagSECUREOPTIONSEX, zero, 4);
QLP_ASSERT_LAYOUT(tagSECUREOPTIONSEX, other, 24);
static_assert(sizeof(tagSECUREOPTIONSEX) == 44, "tagSECUREOPTIONSEX is 44 bytes");
QLP_ASSERT_LAYOUT(tagGEOPOS, longitude, 8);
static_assert(sizeof(tagGEOPOS) == 16, "tagGEOPOS is 16 bytes");
QLP_ASSERT_LAYOUT(tagOPENMAPINFO, path, 4);
QLP_ASSERT_LAYOUT(tagOPENMAPINFO, positionFlag, 8);
QLP_ASSERT_LAYOUT(tagOPENMAPINFO, latitude, 16);
QLP_ASSERT_LAYOUT(tagOPENMAPINFO, longitude, 24);
QLP_ASSERT_LAYOUT(tagOPENMAPINFO, zero32, 32);
QLP_ASSERT_LAYOUT(tagOPENMAPINFO, zero40, 40);
QLP_ASSERT_LAYOUT(tagOPENMAPINFO, zero48, 48);
static_assert(sizeof(tagOPENMAPINFO) == 56, "tagOPENMAPINFO is 56 bytes");
QLP_ASSERT_LAYOUT(PluginInfo, title, 4);
QLP_ASSERT_LAYOUT(PluginInfo, version, 84);
QLP_ASSERT_LAYOUT(PluginInfo, notice, 114);
QLP_ASSERT_LAYOUT(PluginInfo, reserved, 276);
static_assert(sizeof(PluginInfo) == 280, "PluginInfo is 280 bytes");
QLP_ASSERT_LAYOUT(FileFilterRecord, flag4, 4);
QLP_ASSERT_LAYOUT(FileFilterRecord, flag5, 5);
QLP_ASSERT_LAYOUT(FileFilterRecord, description, 8);
QLP_ASSERT_LAYOUT(FileFilterRecord, pattern, 12);
QLP_ASSERT_LAYOUT(MapInfoRecord, displayName, 4);
QLP_ASSERT_LAYOUT(MapInfoRecord, flag8, 8);
QLP_ASSERT_LAYOUT(MapInfoRecord, zero12, 12);
QLP_ASSERT_LAYOUT(MapInfoRecord, south, 16);
QLP_ASSERT_LAYOUT(MapInfoRecord, west, 24);
QLP_ASSERT_LAYOUT(MapInfoRecord, north, 32);
QLP_ASSERT_LAYOUT(MapInfoRecord, east, 40);
QLP_ASSERT_LAYOUT(MapInfoRecord, samplesPerDegreeY, 48);
QLP_ASSERT_LAYOUT(MapInfoRecord, samplesPerDegreeX, 56);
QLP_ASSERT_LAYOUT(MapInfoRecord, width, 64);
QLP_ASSERT_LAYOUT(MapInfoRecord, height, 68);
static_assert(sizeof(MapInfoRecord) == 72, "MapInfoRecord is 72 bytes");
QLP_ASSERT_LAYOUT(BlockRequest, blockNumber, 4);
QLP_ASSERT_LAYOUT(BlockRequest, buffer, 8);
QLP_ASSERT_LAYOUT(XemSampleRecord, header, 4);
QLP_ASSERT_LAYOUT(XemSampleRecord, byteCount, 8);
QLP_ASSERT_LAYOUT(XemSampleRecord, samples, 12);
QLP_ASSERT_LAYOUT(XemOptionsRecord, option268, 268);
QLP_ASSERT_LAYOUT(PublisherInfoRecord, dataSetName, 4);
QLP_ASSERT_LAYOUT(PublisherInfoRecord, publisherName, 8);
#undef QLP_ASSERT_LAYOUT
#endif

/* ---- Operations of PluginIf.dll ---- */

QLP_IMPORT int32_t QLPAPI QLP_GetVersion(void);
QLP_IMPORT int32_t QLPAPI QLP_RegisterMap(tagHOOKENTRY* entry);
QLP_IMPORT int32_t QLPAPI QLP_AddHook(int32_t kind, tagHOOKENTRY* entry);
QLP_IMPORT int32_t QLPAPI QLP_MakeMapSetID(uint8_t* id, tagMAPSETIDINFO* info);
QLP_IMPORT int32_t QLPAPI QLP_AddXemHookEx(const uint8_t* mapSetId, const char* userId, int32_t count,
                                           tagSECUREOPTIONSEX options, tagHOOKENTRY* entry);
QLP_IMPORT int32_t QLPAPI QLP_AddUserIDInfo(const char* userId, QLP_CALLBACK callback);
QLP_IMPORT int32_t QLPAPI QLP_SetMapsetDiskLimit(const char* userId, int32_t limit);

QLP_IMPORT int32_t QLPAPI QLP_AddMenu(QLP_HANDLE plugin, int32_t selector, const char* text,
                                      QLP_CALLBACK callback);
/* Returns the popup that QLP_AddChildMenu adds to. */
QLP_IMPORT QLP_HANDLE QLPAPI QLP_AddPopupMenu(QLP_HANDLE plugin, int32_t selector, const char* text,
                                              int32_t flag);
/* A null text and callback add a separator. */
QLP_IMPORT int32_t QLPAPI QLP_AddChildMenu(QLP_HANDLE plugin, QLP_HANDLE popup, const char* text,
                                           QLP_CALLBACK callback);

QLP_IMPORT QLP_HANDLE QLPAPI QLP_GetActiveBaseMap(void);
QLP_IMPORT QLP_HANDLE QLPAPI QLP_GetActiveCoverMap(void);
QLP_IMPORT QLP_HANDLE QLPAPI QLP_GetActiveView(void);
QLP_IMPORT const char* QLPAPI QLP_GetMapFile(QLP_HANDLE map);
QLP_IMPORT int32_t QLPAPI QLP_GetMapSetID(QLP_HANDLE map, uint8_t* id);
QLP_IMPORT int32_t QLPAPI QLP_GetUserID(QLP_HANDLE map, char* id);
/* 0 when the n bytes are equal. */
QLP_IMPORT int32_t QLPAPI QLP_CompareID(const void* a, const void* b, int32_t n);
QLP_IMPORT int32_t QLPAPI QLP_OpenMap(QLP_HANDLE view, tagOPENMAPINFO* info);
QLP_IMPORT int32_t QLPAPI QLP_GetViewCenter(QLP_HANDLE view, tagGEOPOS* center);
/* Non-zero: the file was registered and `out` holds the path to open. */
QLP_IMPORT int32_t QLPAPI QLP_XEM_AppendDynamicXem(const char* xemPath, char* out, int32_t outSize);

QLP_IMPORT int32_t QLPAPI QLP_ClearMapCache(QLP_HANDLE map);
QLP_IMPORT int32_t QLPAPI QLP_ClearViewCache(QLP_HANDLE map);
QLP_IMPORT int32_t QLPAPI QLP_ClearAllViewCache(void);
QLP_IMPORT int32_t QLPAPI QLP_ClearAllLakeCache(void);
QLP_IMPORT int32_t QLPAPI QLP_UpdateAllViews(int32_t flag);

QLP_IMPORT QLP_HWND QLPAPI QLP_GetMainWnd(void);
/* Folder chooser over a QLP_MAX_PATH-byte buffer; non-zero when a folder was chosen. */
QLP_IMPORT int32_t QLPAPI QLP_ShellFolder(QLP_HWND owner, char* path);
/* Dispatches the host's pending messages once. */
QLP_IMPORT int32_t QLPAPI QLP_Pump(void);

/* ---- The plug-in's exports (plain names, looked up by the host) ---- */

typedef int32_t(QLPAPI* QLP_CreateProc)(PluginInfo* info, QLP_HANDLE plugin);
typedef int32_t(QLPAPI* QLP_LoadProc)(void);
typedef int32_t(QLPAPI* QLP_CloseProc)(void);
typedef void(QLPAPI* QLP_ReleaseProc)(void);
typedef int32_t(QLPAPI* QLP_AboutProc)(void);

#ifdef __cplusplus
}
#endif

#endif /* SRTM_SHELL_PLUGINIF_H_ */
