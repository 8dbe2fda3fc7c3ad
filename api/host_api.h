// Host records of the published selection-module plug-in API, declared from the published layout.
//
// Contract: every record is binary-compatible with what a host passes on 32-bit and on 64-bit
// Windows (natural alignment, no pack pragmas). The offsets are checked at compile time
// (host_api_checks.h, included at the end) for both: the 32-bit layout in the i686 build, the
// 64-bit one in every 64-bit build (x86_64 Windows, and the native build, whose records have the
// same layout because no field is a `long`). The `data` slot of the entry point is pointer-sized
// (intptr_t) so that a 64-bit handle fits. Every callback and the entry point are plain cdecl.
// Portable code includes this header, never <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define PIAPI __cdecl
#else
#define PIAPI
#endif

typedef uint8_t Boolean;  // one byte; a host's Boolean return defines only the low byte
typedef int16_t OSErr;
typedef uint32_t OSType;
typedef int32_t Fixed;
typedef char** Handle;

// Four-character codes, most significant character first ('edgS' = 0x65646753).
constexpr uint32_t FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

struct VRect {
    int32_t top, left, bottom, right;
};
struct VPoint {
    int32_t v, h;
};
struct PSScaling {
    VRect sourceRect;
    VRect destinationRect;
};
// Sizes and offsets in bits: an 8-bit one-channel row of width W is rowBits 8W, colBits 8.
struct PixelMemoryDesc {
    void* data;
    int32_t rowBits;
    int32_t colBits;
    int32_t bitOffset;
    int32_t depth;
};

typedef struct PIChannelPortDesc* PIChannelPort;
typedef struct PIReadDescriptorToken* PIReadDescriptor;
typedef struct PIWriteDescriptorToken* PIWriteDescriptor;
typedef Handle PIDescriptorHandle;

typedef Boolean(PIAPI* TestAbortProc)(void);
typedef void(PIAPI* ProgressProc)(int32_t done, int32_t total);
typedef OSErr(PIAPI* ReadPixelsProc)(PIChannelPort port, const PSScaling* scaling,
                                     const VRect* writeRect, const PixelMemoryDesc* destination,
                                     VRect* wroteRect);
typedef OSErr(PIAPI* WriteBasePixelsProc)(PIChannelPort port, const VRect* writeRect,
                                          const PixelMemoryDesc* source);
typedef OSErr(PIAPI* ReadPortForWritePortProc)(PIChannelPort* readPort, PIChannelPort writePort);

struct ChannelPortProcs {
    int16_t channelPortProcsVersion;
    int16_t numChannelPortProcs;
    ReadPixelsProc readPixelsProc;
    WriteBasePixelsProc writeBasePixelsProc;
    ReadPortForWritePortProc readPortForWritePortProc;
};

typedef Handle(PIAPI* NewPIHandleProc)(int32_t size);
typedef void(PIAPI* DisposePIHandleProc)(Handle h);
typedef int32_t(PIAPI* GetPIHandleSizeProc)(Handle h);
typedef OSErr(PIAPI* SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef char*(PIAPI* LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void(PIAPI* UnlockPIHandleProc)(Handle h);
typedef void(PIAPI* RecoverSpaceProc)(int32_t size);
typedef void(PIAPI* DisposeRegularHandlePIHandleProc)(Handle h);

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};

typedef void* PIAnyProc;  // procedures this plug-in never calls

struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    PIReadDescriptor(PIAPI* openReadDescriptorProc)(PIDescriptorHandle, uint32_t* keyArray);
    OSErr(PIAPI* closeReadDescriptorProc)(PIReadDescriptor);
    Boolean(PIAPI* getKeyProc)(PIReadDescriptor, uint32_t* key, uint32_t* type, int32_t* flags);
    OSErr(PIAPI* getIntegerProc)(PIReadDescriptor, int32_t*);
    OSErr(PIAPI* getFloatProc)(PIReadDescriptor, double*);
    PIAnyProc getUnitFloatProc;
    PIAnyProc getBooleanProc;
    PIAnyProc getTextProc;
    PIAnyProc getAliasProc;
    OSErr(PIAPI* getEnumeratedProc)(PIReadDescriptor, uint32_t*);
    PIAnyProc getClassProc;
    PIAnyProc getSimpleReferenceProc;
    PIAnyProc getObjectProc;
    PIAnyProc getCountProc;
    PIAnyProc getStringProc;
    PIAnyProc getPinnedIntegerProc;
    PIAnyProc getPinnedFloatProc;
    PIAnyProc getPinnedUnitFloatProc;
};

struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    PIWriteDescriptor(PIAPI* openWriteDescriptorProc)(void);
    OSErr(PIAPI* closeWriteDescriptorProc)(PIWriteDescriptor, PIDescriptorHandle* out);
    OSErr(PIAPI* putIntegerProc)(PIWriteDescriptor, uint32_t key, int32_t value);
    PIAnyProc putFloatProc;
    PIAnyProc putUnitFloatProc;
    PIAnyProc putBooleanProc;
    PIAnyProc putTextProc;
    PIAnyProc putAliasProc;
    OSErr(PIAPI* putEnumeratedProc)(PIWriteDescriptor, uint32_t key, uint32_t type, uint32_t value);
    PIAnyProc putClassProc;
    PIAnyProc putSimpleReferenceProc;
    PIAnyProc putObjectProc;
    PIAnyProc putCountProc;
    PIAnyProc putStringProc;
    PIAnyProc putScopedClassProc;
    PIAnyProc putScopedObjectProc;
};

struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;    // 0 no dialog, 1 show the dialog, 2 silent
    int16_t recordInfo;  // 0 dialog optional, 1 required, 2 none
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

struct ReadChannelDesc {
    int32_t minVersion;
    int32_t maxVersion;
    ReadChannelDesc* next;
    PIChannelPort port;
    VRect bounds;
    int32_t depth;
    VPoint tileSize;
    VPoint tileOrigin;
    Boolean target;
    Boolean shown;
    int16_t channelType;
    void* contextInfo;
    const char* name;
    PIChannelPort writePort;
    uint32_t alphaID;
    const uint16_t* unicodeName;
    Boolean isEnabled;
    VRect limitBounds;
};

// The host's description of the new-selection channel. Hosts declare it as a write-channel
// record; its `port`, the only field the plug-in uses, sits at the same offset as in
// ReadChannelDesc.
struct WriteChannelDesc {
    int32_t minVersion;
    int32_t maxVersion;
    WriteChannelDesc* next;
    PIChannelPort port;
    VRect bounds;
    int32_t depth;
    VPoint tileSize;
    VPoint tileOrigin;
    int16_t channelType;
    int16_t padding;
    void* contextInfo;
    const char* name;
    const uint16_t* unicodeName;
};

struct ReadImageDocumentDesc {
    int32_t minVersion;
    int32_t maxVersion;
    int32_t imageMode;
    int32_t depth;
    VRect bounds;
    Fixed hResolution;
    Fixed vResolution;
    uint8_t redLUT[256];
    uint8_t greenLUT[256];
    uint8_t blueLUT[256];
    ReadChannelDesc* targetCompositeChannels;
    ReadChannelDesc* targetTransparency;
    ReadChannelDesc* targetLayerMask;
    ReadChannelDesc* mergedCompositeChannels;
    ReadChannelDesc* mergedTransparency;
    ReadChannelDesc* alphaChannels;
    ReadChannelDesc* selection;
    void* fileSpec;
    void* layersDescriptor;
    int32_t documentType;
    ReadImageDocumentDesc* next;
    void* iCCprofileData;
    int32_t iCCprofileSize;
    int32_t compositeChannelCount;
    int32_t layerCount;
    int32_t alphaChannelCount;
    ReadChannelDesc* targetSmartFilterMask;
    void* fileSpecW;
    void* fileSpecX;
};

struct PlugInMonitor {
    Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

// On Windows the owner window of the plug-in's dialog.
struct PlatformData {
    intptr_t hwnd;
};

struct SelectionRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    OSType hostSig;
    void* hostProc;
    void* bufferProcs;
    void* resourceProcs;
    void* processEvent;
    void* displayPixels;
    HandleProcs* handleProcs;
    void* colorServices;
    void* imageServicesProcs;
    void* propertyProcs;
    ChannelPortProcs* channelPortProcs;
    PIDescriptorParameters* descriptorParameters;
    unsigned char (*errorString)[256];
    PlugInMonitor monitor;
    void* platformData;
    char reserved[4];
    ReadImageDocumentDesc* documentInfo;
    WriteChannelDesc* newSelection;
    Handle newPath;
    int32_t treatment;
    int32_t supportedTreatments;
    void* sSPBasic;
    void* plugInRef;
    char reservedBlock[248];
};

struct AboutRecord {
    void* platformData;
    void* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

// The exported entry point. `record` is a SelectionRecord for Execute and an AboutRecord for About.
typedef void(PIAPI* PluginEntryProc)(int16_t selector, void* record, intptr_t* data, int16_t* result);

enum : int16_t {
    kSelectorAbout = 0,
    kSelectorExecute = 1,
};

enum : int16_t {
    kPlayDialogDontDisplay = 0,
    kPlayDialogDisplay = 1,
    kPlayDialogSilent = 2,
};

// Image modes and channel types, as the API numbers them.
enum : int32_t {
    kModeGrayScale = 1,
    kModeRGB = 3,
    kModeCMYK = 4,
    kModeLab = 9,
    kModeGray16 = 10,
    kModeRGB48 = 11,
    kModeLab48 = 12,
    kModeCMYK64 = 13,
};
enum : int16_t {
    kChannelRed = 1,
    kChannelGreen = 2,
    kChannelBlue = 3,
    kChannelCyan = 4,
    kChannelMagenta = 5,
    kChannelYellow = 6,
    kChannelBlack = 7,  // also the grey channel
    kChannelL = 8,
    kChannelA = 9,
    kChannelB = 10,
};

// The records' offsets and sizes for this build's bitness. Included by its plain name, so that the
// layout test can compile a changed copy of this header beside a copy of the checks.
#include "host_api_checks.h"
