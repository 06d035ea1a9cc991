/* The station library's C ABI, as every station library and the plug-in's
 * bridge see it: a parameterless object, one getter per entry point, and the
 * getter's answer is the entry point itself (C calling convention). */
#ifndef VARNIX_STATION_ABI_H
#define VARNIX_STATION_ABI_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
struct VarnixMetadataBuf;
struct VarnixFrameBuf;
extern "C" {
#else
typedef struct VarnixMetadataBuf VarnixMetadataBuf;
typedef struct VarnixFrameBuf VarnixFrameBuf;
#endif

typedef struct VarnixNative VarnixNative;

typedef const char* (*VarnixInitializeFn)(struct VarnixMetadataBuf*, int32_t frameThroughput,
                                          int32_t channelOrganizationSelection);
typedef const char* (*VarnixScanFn)(struct VarnixMetadataBuf*);
typedef void (*VarnixVoidFn)(void);
typedef bool (*VarnixConfigureFn)(bool globalTriggerEnable, bool startInput, bool stopInput,
                                  bool outputTriggers);
typedef bool (*VarnixPollDataFn)(struct VarnixFrameBuf*);
typedef bool (*VarnixChangeSensorModeFn)(struct VarnixMetadataBuf*, const char* id,
                                         const char* sensorMode);
typedef const char* (*VarnixInformationRequestFn)(const char* id, int32_t sensorInformationReq);

VarnixNative* VarnixNative_New(void);
void          VarnixNative_Delete(VarnixNative* self);
void* VarnixNative_GetInitializeDelegate(VarnixNative* self);
void* VarnixNative_GetScanDelegate(VarnixNative* self);
void* VarnixNative_GetStartDelegate(VarnixNative* self);
void* VarnixNative_GetStopDelegate(VarnixNative* self);
void* VarnixNative_GetCloseDelegate(VarnixNative* self);
void* VarnixNative_GetConfigureDelegate(VarnixNative* self);
void* VarnixNative_GetPollDataDelegate(VarnixNative* self);
void* VarnixNative_GetChangeSensorModeDelegate(VarnixNative* self);
void* VarnixNative_GetInformationRequestDelegate(VarnixNative* self);

#ifdef __cplusplus
}
#endif

#endif
