/* Suites handed out by name and version through the basic suite.
 * C-compatible. */
#ifndef TAVREL_HOSTAPI_HOST_SUITES_H
#define TAVREL_HOSTAPI_HOST_SUITES_H

#include "hostapi/host_drawbot.h"
#include "hostapi/host_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
} SPBasicSuite;

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
typedef struct PF_ANSISuite1 {
    A_long (*sprintf)(char* buffer, const char* format, ...);
    char* (*strcpy)(char* dst, const char* src);
} PF_ANSISuite1;

#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion11 11
typedef struct AEGP_UtilitySuite11 {
    A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const char* plugin_name,
                                   AEGP_PluginID* plugin_id);
    A_Err (*AEGP_StartUndoGroup)(const char* undo_name);
    A_Err (*AEGP_EndUndoGroup)(void);
} AEGP_UtilitySuite11;

#define kAEGPPersistentDataSuite "AEGP Persistent Data Suite"
#define kAEGPPersistentDataSuiteVersion3 3
typedef struct AEGP_PersistentDataSuite3 {
    A_Err (*AEGP_GetApplicationBlob)(AEGP_PersistentBlobH* blob);
    A_Err (*AEGP_SetLong)(AEGP_PersistentBlobH blob, const char* section, const char* key,
                          A_long value);
} AEGP_PersistentDataSuite3;

#define kPFAdvAppSuite "PF AE Adv App Suite"
#define kPFAdvAppSuiteVersion2 2
typedef struct PF_AdvAppSuite2 {
    PF_Err (*PF_InfoDrawText)(const char* line1, const char* line2);
} PF_AdvAppSuite2;

#define kPFEffectCustomUISuite "PF Effect Custom UI Suite"
#define kPFEffectCustomUISuiteVersion1 1
typedef struct PF_EffectCustomUISuite1 {
    PF_Err (*PF_GetDrawingReference)(PF_ContextH context, DRAWBOT_DrawRef* draw_ref);
} PF_EffectCustomUISuite1;

#ifdef __cplusplus
}
#endif

#endif
