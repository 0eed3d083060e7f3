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

/* Effects, layers and their streams, as the AEGP suites hand them out. */
typedef struct AEGP_LayerOpaque* AEGP_LayerH;
typedef struct AEGP_EffectRefOpaque* AEGP_EffectRefH;
typedef struct AEGP_StreamRefOpaque* AEGP_StreamRefH;
/* Layer stream numbers: 0 anchor, 1 position, 2 scale, 3 rotation, ... */
typedef int32_t AEGP_LayerStream;
typedef int32_t AEGP_LTimeMode;
enum {
    AEGP_LTimeMode_LayerTime = 0, /* ours */
    AEGP_LTimeMode_CompTime = 1   /* ours */
};

typedef struct AEGP_TwoDVal {
    double x, y;
} AEGP_TwoDVal;
typedef struct AEGP_ThreeDVal {
    double x, y, z;
} AEGP_ThreeDVal;
/* Channels 0..1 */
typedef struct AEGP_ColorVal {
    double alpha, red, green, blue;
} AEGP_ColorVal;
typedef union AEGP_StreamVal {
    double one_d;
    AEGP_TwoDVal two_d;
    AEGP_ThreeDVal three_d;
    AEGP_ColorVal color;
} AEGP_StreamVal;
/* A value read from a stream; the host keeps a record of it until it is
 * disposed, found again through host_ref. */
typedef struct AEGP_StreamValue {
    AEGP_StreamRefH streamH;
    AEGP_StreamVal val;
    void* host_ref;
} AEGP_StreamValue;

#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1 /* ours */
typedef struct AEGP_PFInterfaceSuite1 {
    A_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_ref, AEGP_LayerH* layer);
    A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID plugin_id, PF_ProgPtr effect_ref,
                                        AEGP_EffectRefH* effect);
    A_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_ref, A_long what_time,
                                          A_u_long time_scale, A_Time* comp_time);
    A_Err (*AEGP_GetEffectCamera)(PF_ProgPtr effect_ref, const A_Time* comp_time,
                                  AEGP_LayerH* camera_layer);
} AEGP_PFInterfaceSuite1;

/* An effect's stream index is its parameter index. "Time-varying" means
 * keyframed. */
#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion1 1 /* ours */
typedef struct AEGP_StreamSuite1 {
    A_Err (*AEGP_GetNewLayerStream)(AEGP_PluginID plugin_id, AEGP_LayerH layer,
                                    AEGP_LayerStream which, AEGP_StreamRefH* stream);
    A_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID plugin_id, AEGP_EffectRefH effect,
                                            A_long param_index, AEGP_StreamRefH* stream);
    A_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                    AEGP_LTimeMode time_mode, const A_Time* time,
                                    A_Boolean pre_expression, AEGP_StreamValue* value);
    A_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue* value);
    A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH stream);
    A_Err (*AEGP_IsStreamTimevarying)(AEGP_StreamRefH stream, A_Boolean* is_time_varying);
    A_Err (*AEGP_SetExpressionState)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                     A_Boolean enabled);
    A_Err (*AEGP_SetExpression)(AEGP_PluginID plugin_id, AEGP_StreamRefH stream,
                                const char* expression);
} AEGP_StreamSuite1;

#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion1 1 /* ours */
typedef struct AEGP_EffectSuite1 {
    A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH effect);
} AEGP_EffectSuite1;

#ifdef __cplusplus
}
#endif

#endif
