/* A station library that lacks the poll getter: the plug-in must treat it as
 * a station that does not answer. */
#include <stddef.h>

typedef struct VarnixNative {
    int unused;
} VarnixNative;
static VarnixNative object;

VarnixNative* VarnixNative_New(void) {
    return &object;
}
void VarnixNative_Delete(VarnixNative* self) {
    (void)self;
}
void* VarnixNative_GetInitializeDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
void* VarnixNative_GetScanDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
void* VarnixNative_GetStartDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
void* VarnixNative_GetStopDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
void* VarnixNative_GetCloseDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
void* VarnixNative_GetConfigureDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
void* VarnixNative_GetChangeSensorModeDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
void* VarnixNative_GetInformationRequestDelegate(VarnixNative* self) {
    (void)self;
    return NULL;
}
