/* Suites that work on worlds. C-compatible. */
#ifndef TAVREL_HOSTAPI_HOST_WORLD_SUITES_H
#define TAVREL_HOSTAPI_HOST_WORLD_SUITES_H

#include "hostapi/host_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A null rectangle means the whole world. The copy does not scale: pixels land
 * one to one from the destination rectangle's corner, over the part the two
 * rectangles share. The pixel depth of a copy is taken from the destination,
 * since the effect hands in flagless source records. */
#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1
typedef struct PF_WorldTransformSuite1 {
    PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                   const PF_Rect* src_rect, const PF_Rect* dst_rect);
    PF_Err (*copy_hq)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                      const PF_Rect* src_rect, const PF_Rect* dst_rect);
} PF_WorldTransformSuite1;

#define kPFFillMatteSuite "PF Fill Matte Suite"
#define kPFFillMatteSuiteVersion2 2
typedef struct PF_FillMatteSuite2 {
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
                   PF_EffectWorld* world);
} PF_FillMatteSuite2;

typedef struct AEGP_WorldOpaque* AEGP_WorldH;

/* Host world types by pixel depth: fixed by the protocol. */
enum {
    AEGP_WorldType_NONE = 0,
    AEGP_WorldType_8 = 1,
    AEGP_WorldType_16 = 2,
    AEGP_WorldType_32 = 3
};
typedef int32_t AEGP_WorldType;

/* Blur modes and qualities: ours. */
typedef int32_t PF_MFModeFlags;
enum { AEGP_Quality_DRAFT = 0, AEGP_Quality_BEST = 1 };
typedef int32_t PF_Quality;

#define kAEGPWorldSuite "AEGP World Suite"
#define kAEGPWorldSuiteVersion3 3 /* ours */
typedef struct AEGP_WorldSuite3 {
    A_Err (*AEGP_New)(AEGP_PluginID plugin_id, AEGP_WorldType type, A_long width, A_long height,
                      AEGP_WorldH* world);
    A_Err (*AEGP_Dispose)(AEGP_WorldH world);
    A_Err (*AEGP_GetType)(AEGP_WorldH world, AEGP_WorldType* type);
    A_Err (*AEGP_GetSize)(AEGP_WorldH world, A_long* width, A_long* height);
    A_Err (*AEGP_GetRowBytes)(AEGP_WorldH world, A_u_long* row_bytes);
    /* Each fails for a world of another depth. */
    A_Err (*AEGP_GetBaseAddr8)(AEGP_WorldH world, PF_Pixel8** base);
    A_Err (*AEGP_GetBaseAddr16)(AEGP_WorldH world, PF_Pixel16** base);
    A_Err (*AEGP_GetBaseAddr32)(AEGP_WorldH world, PF_PixelFloat** base);
    /* An effect world over the same pixels, with its depth flags. */
    A_Err (*AEGP_FillOutPFEffectWorld)(AEGP_WorldH world, PF_EffectWorld* effect_world);
    A_Err (*AEGP_FastBlur)(double radius, PF_MFModeFlags mode, PF_Quality quality, PF_EffectWorld* world);
} AEGP_WorldSuite3;

#ifdef __cplusplus
}
#endif

#endif
